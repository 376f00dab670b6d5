// Key values: the bytes a record contributes to a key entry, built so that comparing entries
// bytewise (page_codec.h, CompareKeys) orders records the way the key declares.
//
// A key value is the concatenation of its components in declaration order, each exactly its
// field's size:
//
//   STRING, GROUP                the bytes as they are
//   CSTRING                      the text up to its terminator, padded with zero bytes
//   PSTRING                      the text after the length byte, padded with zero bytes
//   USHORT, ULONG, DATE, TIME    the bytes reversed (big-endian)
//   SHORT, LONG                  reversed, then bit 0x80 of the first byte inverted
//   SREAL, REAL                  reversed; a clear sign bit is set, a set one complements all
//   DECIMAL                      packed bytes; a negative value (sign nibble not zero) has its
//                                sign nibble cleared and all bytes complemented; then bit 0x80
//                                of the first byte is inverted, so negatives sort below positives
//   anything else                the bytes as they are
//
// Text components of a NOCASE key are then upper-cased through the table's upper-case map, and
// every text component is translated through the table's collation (the OEM collation, over the
// OEM form of the text, for a table with the OEM flag). A descending component is complemented
// last. A DUP key appends the record number (big-endian); an OPT key has no entry for a record
// whose components are all empty (blanks for STRING and GROUP, a zero first byte for CSTRING and
// PSTRING, all zero bytes otherwise).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/table_definition.h"
#include "runtime/core/char_tables.h"

namespace pellucor::data::kestrune {

// How the table stores text: as the program holds it (ANSI), or in the OEM code page.
enum class TextForm { kAnsi, kOem };

// Everything the key builder needs of an open table; the character tables are the ones stored
// with the table, not the current locale's.
struct KeyContext {
  const TableDefinition* definition = nullptr;
  const runtime::CharTables* tables = nullptr;
  TextForm text_form = TextForm::kAnsi;
};

enum class KeyBuild {
  kBuilt,    // *out holds the key value
  kOmitted,  // OPT key and every component empty: no entry for this record (*out still built)
};

// Builds the key value of key `key_index` from a record (the record buffer, record_length
// bytes) into *out (replaced). For a DUP key the record number is appended: lookups pass 0 or
// 0xFFFFFFFF to reach the first or last duplicate of a value. REQUIRES: CheckDefinition passed
// for the definition and record.size() >= its record length.
[[nodiscard]] KeyBuild BuildKeyValue(const KeyContext& context, size_t key_index,
                                     std::span<const uint8_t> record, RecordNumber record_number,
                                     Bytes* out);

// The length of key `key_index`'s values, the record number of a DUP key included.
size_t KeyValueLength(const TableDefinition& definition, size_t key_index);

// Reading a key value back into the fields it was built from, so that a test on the key's
// components can be made without reading the record. Possible for keys whose components are
// STRING, CSTRING, GROUP, BYTE, SHORT, USHORT, LONG, ULONG, DATE and TIME, of an ANSI table
// whose collation is a one-to-one map; a NOCASE key gives its text upper-cased.
struct KeyDecoder {
  bool usable = false;
  std::array<uint8_t, 256> inverse_collation{};
};
KeyDecoder MakeKeyDecoder(const KeyContext& context, size_t key_index);
// Writes the components of `value` (a key value as BuildKeyValue makes it, the record number
// of a DUP key may follow) into their fields of `record`. REQUIRES: decoder.usable and
// value.size() >= the components' total size.
void DecodeKeyValue(const KeyContext& context, const KeyDecoder& decoder, size_t key_index,
                    std::span<const uint8_t> value, std::span<uint8_t> record);

// True when a record's components of the key are all empty (what OPT leaves out).
bool KeyComponentsEmpty(const TableDefinition& definition, size_t key_index,
                        std::span<const uint8_t> record);

}  // namespace pellucor::data::kestrune
