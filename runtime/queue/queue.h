// Queues: in-memory tables of records that share one declared record layout.
//
// A queue is a program variable made of a descriptor (its record buffer and the buffer's fields)
// and a table that is created on the first operation. Every operation copies one record between
// the buffer and the table. Records are addressed by position (from 1) in the current order, or
// found by the values of key fields. Up to 16 orders over the same records are kept at once, most
// recently used first, so that switching back to a sort order does not sort from scratch; orders
// other than the current one learn of changed records lazily, when they are next used.
//
// Every operation first clears the error state, then leaves its result there:
//   30 "Entry Not Found"       a position outside the current order, no current entry, no match
//   75 "Invalid Field Type Descriptor"  a key component names a field the record does not have
//                              (or one that cannot be compared, or lies outside the buffer)
//    8 "Insufficient Memory"   a record or an order could not be allocated; the table is as it was
//    7 "Memory Corrupted"      the queue has no descriptor (or the descriptor has no buffer)
//
// Not locked: a queue is used by one thread at a time (the one holding the run lock).
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "runtime/core/type_codes.h"

namespace pellucor::runtime {

inline constexpr size_t kMaxQueueOrders = 16;
inline constexpr size_t kMaxQueueKeyComponents = 16;
// Records of this size or more are held run-length compressed.
inline constexpr uint32_t kQueueCompressThreshold = 128;

// One field of the record buffer, as the declaration gives it.
struct QueueField {
  TypeCode type = TypeCode::kEnd;
  uint32_t offset = 0;  // from the start of the buffer
  uint32_t size = 0;    // bytes
  uint8_t places = 0;   // fraction digits of DECIMAL and PDECIMAL
};

// The declaration of a queue. The buffer belongs to the program and must outlive the queue.
struct QueueDescriptor {
  uint8_t* buffer = nullptr;
  uint32_t size = 0;
  std::vector<QueueField> fields;  // field numbers in key components count from 1
};

// How a text field of a key component compares: as stored, or with lower-case letters replaced
// by their upper-case partners (digits, numbers and dates are not affected).
enum class KeyCase : uint8_t { kExact, kNoCase };

// One key component: a field number from 1, positive for ascending and negative for descending.
// A component of 0 ends the list.
struct QueueKeyComponent {
  constexpr QueueKeyComponent(int32_t field_number = 0, KeyCase key_case = KeyCase::kExact)
      : field(field_number), text_case(key_case) {}
  int32_t field;
  KeyCase text_case;
  friend bool operator==(const QueueKeyComponent&, const QueueKeyComponent&) = default;
};

// A key as a caller writes it: QueueSort(q, {2, -1}). At most the first 16
// components count, and a 0 component ends the list; no components at all name the insertion
// order.
class QueueKey {
 public:
  QueueKey() = default;
  QueueKey(std::initializer_list<QueueKeyComponent> components) : components_(components) {}
  explicit QueueKey(std::span<const QueueKeyComponent> components)
      : components_(components.begin(), components.end()) {}
  std::span<const QueueKeyComponent> components() const { return components_; }

 private:
  std::vector<QueueKeyComponent> components_;
};

namespace queue_detail {
class QueueTable;
}

// The queue variable. Move-only; the table is disposed with the queue.
class Queue {
 public:
  Queue();  // a queue without a descriptor: every operation posts 7
  explicit Queue(QueueDescriptor descriptor);
  ~Queue();
  Queue(Queue&&) noexcept;
  Queue& operator=(Queue&&) noexcept;
  Queue(const Queue&) = delete;
  Queue& operator=(const Queue&) = delete;

  const QueueDescriptor* descriptor() const { return descriptor_ ? &*descriptor_ : nullptr; }

 private:
  friend struct QueueAccess;
  std::optional<QueueDescriptor> descriptor_;
  std::unique_ptr<queue_detail::QueueTable> table_;
};

// Number of entries (every order holds all of them).
[[nodiscard]] int32_t QueueRecords(Queue& queue);
// Copies the entry at `position` of the current order into the buffer and makes it current.
void QueueGet(Queue& queue, int32_t position);
// Selects (or builds) the order for `key` and makes current the first entry whose key fields
// equal those in the buffer, copying it into the buffer. With no components (the insertion
// order) the entry must equal the whole buffer. Not found: 30, and the buffer is left alone.
void QueueGetByKey(Queue& queue, const QueueKey& key);
// Adds the buffer as a new entry: appended to the insertion order, at its key position in every
// keyed order. The new entry becomes current.
void QueueAdd(Queue& queue);
// Selects (or builds) the order for `key`, then adds the buffer as QueueAdd does.
void QueueAddByKey(Queue& queue, const QueueKey& key);
// Inserts the buffer into the current order so that it takes `position` (a position past the
// end appends; below 1 posts 30). Other orders receive it at their key position.
void QueueAddAt(Queue& queue, int32_t position);
// Writes the buffer over the current entry. The current order moves the entry to its new key
// position at once; other orders whose key fields changed are re-sorted when next used.
void QueuePut(Queue& queue);
// Selects (or builds) the order for `key`, then writes the buffer as QueuePut does.
void QueuePutByKey(Queue& queue, const QueueKey& key);
// Removes the current entry from the table and every order; afterwards there is no current entry.
void QueueDelete(Queue& queue);
// Selects (or builds) the order for `key`, brings it up to date and makes it current.
void QueueSort(Queue& queue, const QueueKey& key);
// The position of the current entry in the current order; 0 when there is none.
[[nodiscard]] int32_t QueuePointer(Queue& queue);
// The change counter: it moves on with every operation that changes the table or its order.
[[nodiscard]] uint32_t QueueChanges(Queue& queue);
// Removes every entry and every order; a new empty insertion order becomes current.
void QueueFree(Queue& queue);

}  // namespace pellucor::runtime
