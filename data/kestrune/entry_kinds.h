// Key parts (and the small data parts) of every kind of entry in a Kestrune tree.
//
// Every key part starts with the table's 4-byte number, big-endian, except the name directory's,
// which starts with 0xFE. The byte after the table number tells the kind:
//
//   kind         key part                                               data part
//   0xFE         0xFE, table name (no terminator)                       table number (4 bytes BE)
//   0xFA         table, 0xFA, u16 block number (BE)                     up to 512 definition bytes
//   0xFB         table, 0xFB, 0x01                                      OEM flag, 1152 table bytes
//   0xF6         table, 0xF6, 0xF3 (data) or a key number               u32 count, u32 value (LE)
//   0xF3         table, 0xF3, record number (BE)                        the record
//   0x00-0xEF    table, key number, key value [, record number (BE)]   record number (4 bytes BE)
//   0xFC         table, 0xFC, record number (BE), memo number,          up to 256 bytes (a blob's
//                chunk number (u16 BE)                                  chunk 0: 4 more, its size)
//
// Numbers that take part in the order (table, record, block and chunk numbers) are big-endian so
// that entries sort by them. The record and table numbers in data parts are the same four bytes
// as in the keys, so they copy straight across; counts are little-endian like every other number
// of the format.
//
// Table and record numbers come from one sequence per file, so none of them ever starts with
// 0xFE and no table's entries can mix with the name directory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pellucor::data::kestrune {

using TableNumber = uint32_t;
using RecordNumber = uint32_t;
using Bytes = std::vector<uint8_t>;

inline constexpr uint8_t kKindNameDirectory = 0xFE;
inline constexpr uint8_t kKindDefinition = 0xFA;
inline constexpr uint8_t kKindCharTables = 0xFB;
inline constexpr uint8_t kKindCounter = 0xF6;
inline constexpr uint8_t kKindData = 0xF3;
inline constexpr uint8_t kKindMemo = 0xFC;
inline constexpr uint8_t kMaxKeyNumber = 0xEF;
// The counter of the data records is addressed by the data kind byte.
inline constexpr uint8_t kDataCounter = kKindData;
inline constexpr size_t kDefinitionBlockSize = 512;
inline constexpr size_t kMemoChunkSize = 256;
inline constexpr size_t kBlobSizeBytes = 4;
// Length of "table number + kind byte", the start of every table entry's key.
inline constexpr size_t kTablePrefixSize = 5;

// The internal-error number of an exhausted number sequence.
inline constexpr int32_t kErrSequenceExhausted = 1173;

// Advances the file's number sequence (the big-endian counter at header offset 20) and returns
// the new number in *next. Refuses (kErrSequenceExhausted, *last unchanged) a number whose first
// byte would reach 0xFE.
[[nodiscard]] int32_t NextSequenceNumber(uint32_t* last, uint32_t* next);

void PutBigEndian32(uint32_t value, uint8_t* out);
void PutBigEndian16(uint16_t value, uint8_t* out);
uint32_t GetBigEndian32(const uint8_t* in);
uint16_t GetBigEndian16(const uint8_t* in);
void PutLittleEndian32(uint32_t value, uint8_t* out);
uint32_t GetLittleEndian32(const uint8_t* in);

// Builders. Each replaces *out's contents (so one buffer can be reused without allocating).
void NameDirectoryKey(std::string_view table_name, Bytes* out);
// The key that precedes every name directory entry (a lookup starts here for "all tables").
void NameDirectoryStart(Bytes* out);
void DefinitionKey(TableNumber table, uint16_t block, Bytes* out);
void CharTablesKey(TableNumber table, Bytes* out);
void CounterKey(TableNumber table, uint8_t which, Bytes* out);  // kDataCounter or a key number
void DataKey(TableNumber table, RecordNumber record, Bytes* out);
// The leading bytes shared by all entries of one kind of a table (table number and kind byte):
// the start of a scan over the table's data records, one key's entries, or memo chunks.
void KindPrefix(TableNumber table, uint8_t kind, Bytes* out);
// A key entry's key part: table, key number, the key value (key_value.h) and, for a DUP key, the
// record number.
enum class Duplicates { kUnique, kDup };
void KeyEntryKey(TableNumber table, uint8_t key_number, std::span<const uint8_t> value,
                 Duplicates dup, RecordNumber record, Bytes* out);
void MemoKey(TableNumber table, RecordNumber record, uint8_t memo, uint16_t chunk, Bytes* out);
// All chunks of one record's memos (or of one memo) start with this.
void MemoRecordPrefix(TableNumber table, RecordNumber record, Bytes* out);

// Data parts.
void NumberData(uint32_t number, Bytes* out);  // name directory and key entries: 4 bytes BE
[[nodiscard]] std::optional<uint32_t> ParseNumberData(std::span<const uint8_t> data);

struct Counter {
  uint32_t count = 0;
  uint32_t value = 0;  // the number that the "FLAGS" option reads and sets
};
void CounterData(const Counter& counter, Bytes* out);
[[nodiscard]] std::optional<Counter> ParseCounterData(std::span<const uint8_t> data);

// What a key part says, for scans, dumps and checks. Outside input: any byte string parses to
// kUnknown rather than being read out of bounds.
enum class EntryKind {
  kUnknown,
  kNameDirectory,
  kDefinition,
  kCharTables,
  kCounter,
  kData,
  kKeyEntry,
  kMemo,
};
struct ParsedKey {
  EntryKind kind = EntryKind::kUnknown;
  TableNumber table = 0;
  std::string_view table_name;     // kNameDirectory (points into the parsed key)
  uint16_t block = 0;              // kDefinition
  uint8_t which = 0;               // kCounter: kDataCounter or the key number
  RecordNumber record = 0;         // kData, kMemo
  uint8_t key_number = 0;          // kKeyEntry
  std::span<const uint8_t> value;  // kKeyEntry: key value (and the record number of a DUP key)
  uint8_t memo = 0;                // kMemo
  uint16_t chunk = 0;              // kMemo
};
ParsedKey ParseKey(std::span<const uint8_t> key);
// One line naming an entry for dumps and check reports: "table 1 record 5",
// "name directory NOTES", "table 1 key 0 value 42 55 59 ..." (hex, at most 32 bytes shown).
std::string DescribeKey(std::span<const uint8_t> key);

// Memo chunks. A text memo is stored without its trailing blanks, an empty one has no chunks;
// a blob keeps its size as a u32 (little-endian) in front of chunk 0's bytes. An empty memo or
// blob has no chunks.
enum class MemoForm { kText, kBinary, kBlob };
// The chunk data parts of a memo's content, in chunk order.
std::vector<Bytes> SplitMemo(std::span<const uint8_t> content, MemoForm form);
// Joins chunk data parts (in chunk order) back into the content. For kText and kBinary the
// content is what the chunks hold (the caller pads a text memo to its buffer); for kBlob the size
// in front of chunk 0 decides, and a size the chunks cannot fill gives std::nullopt.
[[nodiscard]] std::optional<Bytes> JoinMemo(std::span<const Bytes> chunks, MemoForm form);

}  // namespace pellucor::data::kestrune
