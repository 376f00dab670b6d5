#include "data/kestrune/entry_kinds.h"

#include <algorithm>

namespace pellucor::data::kestrune {
namespace {

void StartTableKey(TableNumber table, uint8_t kind, size_t extra, Bytes* out) {
  out->resize(kTablePrefixSize + extra);
  PutBigEndian32(table, out->data());
  (*out)[4] = kind;
}

}  // namespace

int32_t NextSequenceNumber(uint32_t* last, uint32_t* next) {
  const uint32_t candidate = *last + 1;
  // The first (most significant) byte of the big-endian number must stay below 0xFE; this also
  // refuses the wrap of the four-byte counter.
  if ((candidate >> 24) >= kKindNameDirectory || candidate == 0) return kErrSequenceExhausted;
  *last = candidate;
  *next = candidate;
  return 0;
}

void PutBigEndian32(uint32_t value, uint8_t* out) {
  out[0] = static_cast<uint8_t>(value >> 24);
  out[1] = static_cast<uint8_t>(value >> 16);
  out[2] = static_cast<uint8_t>(value >> 8);
  out[3] = static_cast<uint8_t>(value);
}
void PutBigEndian16(uint16_t value, uint8_t* out) {
  out[0] = static_cast<uint8_t>(value >> 8);
  out[1] = static_cast<uint8_t>(value);
}
uint32_t GetBigEndian32(const uint8_t* in) {
  return (uint32_t{in[0]} << 24) | (uint32_t{in[1]} << 16) | (uint32_t{in[2]} << 8) | in[3];
}
uint16_t GetBigEndian16(const uint8_t* in) {
  return static_cast<uint16_t>((in[0] << 8) | in[1]);
}
void PutLittleEndian32(uint32_t value, uint8_t* out) {
  for (int i = 0; i < 4; ++i) out[i] = static_cast<uint8_t>(value >> (8 * i));
}
uint32_t GetLittleEndian32(const uint8_t* in) {
  return uint32_t{in[0]} | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16) |
         (uint32_t{in[3]} << 24);
}

void NameDirectoryKey(std::string_view table_name, Bytes* out) {
  out->resize(1 + table_name.size());
  (*out)[0] = kKindNameDirectory;
  std::copy(table_name.begin(), table_name.end(), out->begin() + 1);
}

void NameDirectoryStart(Bytes* out) {
  out->assign(1, kKindNameDirectory);
}

void DefinitionKey(TableNumber table, uint16_t block, Bytes* out) {
  StartTableKey(table, kKindDefinition, 2, out);
  PutBigEndian16(block, out->data() + kTablePrefixSize);
}

void CharTablesKey(TableNumber table, Bytes* out) {
  StartTableKey(table, kKindCharTables, 1, out);
  (*out)[kTablePrefixSize] = 1;
}

void CounterKey(TableNumber table, uint8_t which, Bytes* out) {
  StartTableKey(table, kKindCounter, 1, out);
  (*out)[kTablePrefixSize] = which;
}

void DataKey(TableNumber table, RecordNumber record, Bytes* out) {
  StartTableKey(table, kKindData, 4, out);
  PutBigEndian32(record, out->data() + kTablePrefixSize);
}

void KindPrefix(TableNumber table, uint8_t kind, Bytes* out) {
  StartTableKey(table, kind, 0, out);
}

void KeyEntryKey(TableNumber table, uint8_t key_number, std::span<const uint8_t> value,
                 Duplicates dup, RecordNumber record, Bytes* out) {
  const size_t extra = value.size() + (dup == Duplicates::kDup ? 4 : 0);
  StartTableKey(table, key_number, extra, out);
  std::copy(value.begin(), value.end(), out->begin() + kTablePrefixSize);
  if (dup == Duplicates::kDup)
    PutBigEndian32(record, out->data() + kTablePrefixSize + value.size());
}

void MemoKey(TableNumber table, RecordNumber record, uint8_t memo, uint16_t chunk, Bytes* out) {
  StartTableKey(table, kKindMemo, 7, out);
  PutBigEndian32(record, out->data() + kTablePrefixSize);
  (*out)[kTablePrefixSize + 4] = memo;
  PutBigEndian16(chunk, out->data() + kTablePrefixSize + 5);
}

void MemoRecordPrefix(TableNumber table, RecordNumber record, Bytes* out) {
  StartTableKey(table, kKindMemo, 4, out);
  PutBigEndian32(record, out->data() + kTablePrefixSize);
}

void NumberData(uint32_t number, Bytes* out) {
  out->resize(4);
  PutBigEndian32(number, out->data());
}

std::optional<uint32_t> ParseNumberData(std::span<const uint8_t> data) {
  if (data.size() != 4) return std::nullopt;
  return GetBigEndian32(data.data());
}

void CounterData(const Counter& counter, Bytes* out) {
  out->resize(8);
  PutLittleEndian32(counter.count, out->data());
  PutLittleEndian32(counter.value, out->data() + 4);
}

std::optional<Counter> ParseCounterData(std::span<const uint8_t> data) {
  if (data.size() != 8) return std::nullopt;
  return Counter{GetLittleEndian32(data.data()), GetLittleEndian32(data.data() + 4)};
}

ParsedKey ParseKey(std::span<const uint8_t> key) {
  ParsedKey p;
  if (key.empty()) return p;
  if (key[0] == kKindNameDirectory) {
    p.kind = EntryKind::kNameDirectory;
    p.table_name = std::string_view(reinterpret_cast<const char*>(key.data()) + 1, key.size() - 1);
    return p;
  }
  if (key.size() < kTablePrefixSize) return p;
  p.table = GetBigEndian32(key.data());
  const uint8_t kind = key[4];
  const std::span<const uint8_t> rest = key.subspan(kTablePrefixSize);
  switch (kind) {
    case kKindDefinition:
      if (rest.size() != 2) return p;
      p.block = GetBigEndian16(rest.data());
      p.kind = EntryKind::kDefinition;
      return p;
    case kKindCharTables:
      if (rest.size() != 1 || rest[0] != 1) return p;
      p.kind = EntryKind::kCharTables;
      return p;
    case kKindCounter:
      if (rest.size() != 1 || (rest[0] != kDataCounter && rest[0] > kMaxKeyNumber)) return p;
      p.which = rest[0];
      p.kind = EntryKind::kCounter;
      return p;
    case kKindData:
      if (rest.size() != 4) return p;
      p.record = GetBigEndian32(rest.data());
      p.kind = EntryKind::kData;
      return p;
    case kKindMemo:
      if (rest.size() != 7) return p;
      p.record = GetBigEndian32(rest.data());
      p.memo = rest[4];
      p.chunk = GetBigEndian16(rest.data() + 5);
      p.kind = EntryKind::kMemo;
      return p;
    default:
      if (kind > kMaxKeyNumber) return p;
      p.key_number = kind;
      p.value = rest;
      p.kind = EntryKind::kKeyEntry;
      return p;
  }
}

std::string DescribeKey(std::span<const uint8_t> key) {
  const auto hex = [](std::span<const uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    constexpr size_t kShown = 32;
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < kShown; ++i) {
      if (i != 0) out += ' ';
      out += kDigits[bytes[i] >> 4];
      out += kDigits[bytes[i] & 0xF];
    }
    if (bytes.size() > kShown) out += " ...";
    return out;
  };
  const ParsedKey p = ParseKey(key);
  const std::string table = "table " + std::to_string(p.table);
  switch (p.kind) {
    case EntryKind::kNameDirectory: {
      std::string name;
      for (char c : p.table_name) name += (c >= 0x20 && c < 0x7F) ? c : '?';
      return "name directory " + name;
    }
    case EntryKind::kDefinition:
      return table + " definition block " + std::to_string(p.block);
    case EntryKind::kCharTables:
      return table + " character tables";
    case EntryKind::kCounter:
      return p.which == kDataCounter ? table + " data counter"
                                     : table + " key " + std::to_string(p.which) + " counter";
    case EntryKind::kData:
      return table + " record " + std::to_string(p.record);
    case EntryKind::kKeyEntry:
      return table + " key " + std::to_string(p.key_number) + " value " + hex(p.value);
    case EntryKind::kMemo:
      return table + " record " + std::to_string(p.record) + " memo " + std::to_string(p.memo) +
             " chunk " + std::to_string(p.chunk);
    case EntryKind::kUnknown:
      break;
  }
  return "unknown entry " + hex(key);
}

std::vector<Bytes> SplitMemo(std::span<const uint8_t> content, MemoForm form) {
  std::vector<Bytes> chunks;
  size_t length = content.size();
  if (form == MemoForm::kText) {
    while (length > 0 && content[length - 1] == ' ') --length;
  }
  if (length == 0) return chunks;  // an empty memo or blob has no chunks
  if (form == MemoForm::kBlob) {
    Bytes first(kBlobSizeBytes);
    PutLittleEndian32(static_cast<uint32_t>(length), first.data());
    const size_t n = std::min(length, kMemoChunkSize);
    first.insert(first.end(), content.begin(), content.begin() + static_cast<ptrdiff_t>(n));
    chunks.push_back(std::move(first));
    for (size_t pos = n; pos < length; pos += kMemoChunkSize) {
      const size_t m = std::min(length - pos, kMemoChunkSize);
      chunks.emplace_back(content.begin() + static_cast<ptrdiff_t>(pos),
                          content.begin() + static_cast<ptrdiff_t>(pos + m));
    }
    return chunks;
  }
  for (size_t pos = 0; pos < length; pos += kMemoChunkSize) {
    const size_t m = std::min(length - pos, kMemoChunkSize);
    chunks.emplace_back(content.begin() + static_cast<ptrdiff_t>(pos),
                        content.begin() + static_cast<ptrdiff_t>(pos + m));
  }
  return chunks;
}

std::optional<Bytes> JoinMemo(std::span<const Bytes> chunks, MemoForm form) {
  Bytes content;
  if (form != MemoForm::kBlob) {
    for (const Bytes& c : chunks) content.insert(content.end(), c.begin(), c.end());
    return content;
  }
  if (chunks.empty()) return content;  // a blob never written is empty
  if (chunks[0].size() < kBlobSizeBytes) return std::nullopt;
  const size_t size = GetLittleEndian32(chunks[0].data());
  size_t available = chunks[0].size() - kBlobSizeBytes;
  for (size_t i = 1; i < chunks.size(); ++i) available += chunks[i].size();
  if (available < size) return std::nullopt;
  content.reserve(size);
  content.insert(content.end(), chunks[0].begin() + kBlobSizeBytes, chunks[0].end());
  for (size_t i = 1; i < chunks.size(); ++i) {
    content.insert(content.end(), chunks[i].begin(), chunks[i].end());
  }
  content.resize(size);
  return content;
}

}  // namespace pellucor::data::kestrune
