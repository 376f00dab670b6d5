// Keys of queue orders, resolved against the record layout, and the comparison of
// two records by such a key.
//
// Values compare by their type: integers, dates (as day numbers), times (as time values), reals
// and packed decimals numerically; texts by the runtime's string comparison (the shorter text
// is blank padded, characters are ordered by the current collation table, digraphs expand when a
// digraph table is loaded), with lower-case letters taking their upper-case partner first when a
// component asks for case-insensitive order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "runtime/queue/queue.h"

namespace pellucor::runtime::queue_detail {

struct KeyPart {
  TypeCode type = TypeCode::kEnd;
  uint32_t offset = 0;
  uint32_t size = 0;
  bool descending = false;
  KeyCase text_case = KeyCase::kExact;
};

struct ResolvedKey {
  // The components as they count (at most 16, up to the first 0): two orders are the same order
  // when these are equal.
  std::vector<QueueKeyComponent> components;
  std::vector<KeyPart> parts;  // one per component
  uint32_t prefix = 0;         // bytes at the start of the record that the key reads
  bool has_text = false;       // a component is text: the order depends on the character tables

  bool keyed() const { return !parts.empty(); }
};

// Resolves `components` against the descriptor's fields. Returns false when a component names a
// field the record does not have, a field of a type that has no order, or a field that does not
// fit its type or the buffer (error 75 for the caller).
[[nodiscard]] bool ResolveKey(const QueueDescriptor& descriptor,
                              std::span<const QueueKeyComponent> components, ResolvedKey* out);

// The components that count: at most 16, ending before the first 0.
std::span<const QueueKeyComponent> CountedComponents(std::span<const QueueKeyComponent> components);

// A fingerprint of the current character tables as far as they order texts (collation, case
// partners and classes, digraphs). An order of texts built under other tables is out of date.
[[nodiscard]] uint64_t CollationPrint();

// Compares two record images (each at least `key.prefix` bytes) by the key: below 0, 0 or above
// 0. Descending components are already reversed.
[[nodiscard]] int CompareKeys(const ResolvedKey& key, const uint8_t* a, const uint8_t* b);

}  // namespace pellucor::runtime::queue_detail
