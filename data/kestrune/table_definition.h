// A table's definition: its fields, memos and keys, as stored in the table's 0xFA entries and as
// compared with the program's declaration when the table is opened.
//
// Stored byte stream (numbers u16 little-endian unless marked u8; a text is its bytes and a zero
// byte, an empty text is 0 0, an absent text is 0 1):
//
//   u16 version (1, or 2 when the table has a BLOB)
//   u16 record length, u16 fields, u16 memos, u16 keys
//   per field:  u8 type, u16 offset, text label, u16 element count, u16 size (all elements),
//               u16 overlay flag, u16 field index (from 0);
//               DECIMAL/PDECIMAL: u8 digits, u8 places;
//               STRING/CSTRING/PSTRING: u16 picture value, text picture
//   per memo:   text external name, text label, u16 size, u16 flags (BINARY 0x2, BLOB 0x4)
//   per key:    text external name, text label, u8 flags (low byte of the key flags),
//               u16 components, then per component u16 field index and u16 descending (0/1)
//
// The stream is cut into 512-byte blocks, numbered from 0, one 0xFA entry each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "runtime/core/type_codes.h"

namespace pellucor::data::kestrune {

// Key flags (declaration bits; the stored definition keeps the low byte).
inline constexpr uint32_t kKeyDup = 0x0001;
inline constexpr uint32_t kKeyOpt = 0x0002;
inline constexpr uint32_t kKeyNoCase = 0x0004;
inline constexpr uint32_t kKeyPrimary = 0x0010;
inline constexpr uint32_t kKeyIndex = 0x4000;

// Memo flags.
inline constexpr uint16_t kMemoBinary = 0x0002;
inline constexpr uint16_t kMemoBlob = 0x0004;

// Limits of a table that the driver accepts.
inline constexpr size_t kMaxRecordLength = 15000;
inline constexpr size_t kMaxKeys = 240;
inline constexpr size_t kMaxMemos = 255;

struct FieldDef {
  runtime::TypeCode type = runtime::TypeCode::kString;
  uint16_t offset = 0;         // in the record
  std::string label;           // "SNO:TOPIC"
  uint16_t element_count = 1;  // product of the dimensions
  uint16_t size = 0;           // bytes of all elements
  uint16_t overlay = 0;        // 1 when the field lies over another one
  uint16_t index = 0;          // from 0, declaration order
  uint8_t digits = 0;          // DECIMAL, PDECIMAL
  uint8_t places = 0;
  uint16_t picture_value = 0;          // string types
  std::optional<std::string> picture;  // string types declared by a picture

  bool operator==(const FieldDef&) const = default;
};

struct MemoDef {
  std::optional<std::string> external_name;
  std::string label;
  uint16_t size = 0;
  uint16_t flags = 0;  // kMemoBinary, kMemoBlob

  bool operator==(const MemoDef&) const = default;
};

enum class SortOrder : uint8_t { kAscending, kDescending };

struct KeyComponent {
  uint16_t field_index = 0;  // from 0
  SortOrder order = SortOrder::kAscending;

  bool operator==(const KeyComponent&) const = default;
};

struct KeyDef {
  std::optional<std::string> external_name;
  std::string label;
  uint32_t flags = 0;  // kKeyDup ...; the stored form keeps the low byte
  std::vector<KeyComponent> components;

  bool dup() const { return (flags & kKeyDup) != 0; }
  bool opt() const { return (flags & kKeyOpt) != 0; }
  bool nocase() const { return (flags & kKeyNoCase) != 0; }
  bool operator==(const KeyDef&) const = default;
};

// A declaration component: field number from 1, negative for descending.
[[nodiscard]] std::optional<KeyComponent> ComponentFromFieldNumber(int32_t field_number);

struct TableDefinition {
  uint16_t record_length = 0;
  std::vector<FieldDef> fields;
  std::vector<MemoDef> memos;
  std::vector<KeyDef> keys;

  // 2 when a memo is a BLOB, else 1.
  uint16_t version() const;
  bool operator==(const TableDefinition&) const = default;
};

// Checks what the stored form and the key builder rely on: record length below 15001, at most
// 240 keys and 255 memos, every field inside the record, sizes that fit the type (2 bytes for a
// SHORT, ...), key components naming existing fields, and key values that fit an entry. Returns
// an empty text when sound, else what is wrong (the open then fails with 47).
std::string CheckDefinition(const TableDefinition& def);

// The stored byte stream.
std::vector<uint8_t> EncodeDefinition(const TableDefinition& def);
// Outside input: false (and *out untouched) for a stream that is cut short, has bytes after its
// end, or names an unknown version.
[[nodiscard]] bool ParseDefinition(std::span<const uint8_t> stream, TableDefinition* out);

// Cuts the stream into the data parts of the 0xFA entries (blocks of 512 bytes, the last one
// shorter).
std::vector<std::vector<uint8_t>> DefinitionBlocks(std::span<const uint8_t> stream);

// The comparison made when a table is opened: everything must be equal except key flag bit 0x10
// (PRIMARY) and the flag bits above the stored low byte. Returns an empty text when the stored
// definition matches the declared one, else the first difference ("key 2 (SNO:ALLNOTES): flags").
std::string CompareDefinitions(const TableDefinition& stored, const TableDefinition& declared);

}  // namespace pellucor::data::kestrune
