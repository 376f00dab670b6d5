#include "data/kestrune/key_value.h"

#include <algorithm>
#include <cstring>

#include "platform/codepage.h"

namespace pellucor::data::kestrune {
namespace {

using runtime::TypeCode;

// Appends the field's bytes in reverse order (little-endian storage becomes big-endian).
void AppendReversed(std::span<const uint8_t> src, Bytes* out) {
  out->insert(out->end(), src.rbegin(), src.rend());
}

// Appends one component in its ordered form, before the NOCASE, collation and descending steps.
void AppendComponent(const FieldDef& f, std::span<const uint8_t> src, Bytes* out) {
  const size_t start = out->size();
  switch (f.type) {
    case TypeCode::kCString: {
      const size_t n = static_cast<size_t>(std::find(src.begin(), src.end(), 0) - src.begin());
      out->insert(out->end(), src.begin(), src.begin() + static_cast<ptrdiff_t>(n));
      out->resize(start + src.size(), 0);
      return;
    }
    case TypeCode::kPString: {
      const size_t n = std::min<size_t>(src[0], src.size() - 1);
      out->insert(out->end(), src.begin() + 1, src.begin() + 1 + static_cast<ptrdiff_t>(n));
      out->resize(start + src.size(), 0);
      return;
    }
    case TypeCode::kUShort:
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      AppendReversed(src, out);
      return;
    case TypeCode::kShort:
    case TypeCode::kLong:
      AppendReversed(src, out);
      (*out)[start] ^= 0x80;
      return;
    case TypeCode::kSReal:
    case TypeCode::kReal: {
      AppendReversed(src, out);
      uint8_t* p = out->data() + start;
      if ((p[0] & 0x80) == 0) {
        p[0] |= 0x80;
      } else {
        for (size_t i = 0; i < src.size(); ++i) p[i] = static_cast<uint8_t>(~p[i]);
      }
      return;
    }
    case TypeCode::kDecimal: {
      out->insert(out->end(), src.begin(), src.end());
      uint8_t* p = out->data() + start;
      // A negative value loses its sign nibble and is complemented, so that larger magnitudes
      // come first; the top bit is inverted afterwards in both cases so that every negative
      // value sorts below every positive one.
      if ((p[0] & 0xF0) != 0) {
        p[0] &= 0x0F;
        for (size_t i = 0; i < src.size(); ++i) p[i] = static_cast<uint8_t>(~p[i]);
      }
      p[0] ^= 0x80;
      return;
    }
    default:
      out->insert(out->end(), src.begin(), src.end());
      return;
  }
}

bool ComponentEmpty(const FieldDef& f, std::span<const uint8_t> src) {
  switch (f.type) {
    case TypeCode::kString:
    case TypeCode::kGroup:
      return std::all_of(src.begin(), src.end(), [](uint8_t b) { return b == ' '; });
    case TypeCode::kCString:
    case TypeCode::kPString:
      return src[0] == 0;
    default:
      return std::all_of(src.begin(), src.end(), [](uint8_t b) { return b == 0; });
  }
}

}  // namespace

size_t KeyValueLength(const TableDefinition& definition, size_t key_index) {
  const KeyDef& key = definition.keys[key_index];
  size_t length = key.dup() ? 4 : 0;
  for (const KeyComponent& c : key.components) length += definition.fields[c.field_index].size;
  return length;
}

bool KeyComponentsEmpty(const TableDefinition& definition, size_t key_index,
                        std::span<const uint8_t> record) {
  const KeyDef& key = definition.keys[key_index];
  for (const KeyComponent& c : key.components) {
    const FieldDef& f = definition.fields[c.field_index];
    if (!ComponentEmpty(f, record.subspan(f.offset, f.size))) return false;
  }
  return true;
}

KeyBuild BuildKeyValue(const KeyContext& context, size_t key_index, std::span<const uint8_t> record,
                       RecordNumber record_number, Bytes* out) {
  const TableDefinition& def = *context.definition;
  const runtime::CharTables& tables = *context.tables;
  const KeyDef& key = def.keys[key_index];
  const bool oem = context.text_form == TextForm::kOem;
  const auto& collation = oem ? tables.oem_collation : tables.collation;
  out->clear();
  out->reserve(KeyValueLength(def, key_index));
  for (const KeyComponent& c : key.components) {
    const FieldDef& f = def.fields[c.field_index];
    const size_t start = out->size();
    AppendComponent(f, record.subspan(f.offset, f.size), out);
    uint8_t* p = out->data() + start;
    const size_t n = out->size() - start;
    if (runtime::IsTextType(f.type)) {
      // Case folding works on the program's (ANSI) text; the collation of an OEM table is that
      // of the OEM characters, which are what the table stores.
      if (key.nocase()) {
        for (size_t i = 0; i < n; ++i) p[i] = tables.upper[p[i]];
      }
      if (oem) {
        for (size_t i = 0; i < n; ++i) p[i] = platform::AnsiToOem(p[i]);
      }
      for (size_t i = 0; i < n; ++i) p[i] = collation[p[i]];
    }
    if (c.order == SortOrder::kDescending) {
      for (size_t i = 0; i < n; ++i) p[i] = static_cast<uint8_t>(~p[i]);
    }
  }
  if (key.dup()) {
    const size_t at = out->size();
    out->resize(at + 4);
    PutBigEndian32(record_number, out->data() + at);
  }
  if (key.opt() && KeyComponentsEmpty(def, key_index, record)) return KeyBuild::kOmitted;
  return KeyBuild::kBuilt;
}

namespace {

bool Decodable(runtime::TypeCode t) {
  switch (t) {
    case TypeCode::kString:
    case TypeCode::kCString:
    case TypeCode::kGroup:
    case TypeCode::kByte:
    case TypeCode::kShort:
    case TypeCode::kUShort:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kDate:
    case TypeCode::kTime:
      return true;
    default:
      return false;
  }
}

}  // namespace

KeyDecoder MakeKeyDecoder(const KeyContext& context, size_t key_index) {
  KeyDecoder d;
  if (context.text_form != TextForm::kAnsi) return d;
  const TableDefinition& def = *context.definition;
  bool has_text = false;
  for (const KeyComponent& c : def.keys[key_index].components) {
    const runtime::TypeCode t = def.fields[c.field_index].type;
    if (!Decodable(t)) return d;
    has_text |= runtime::IsTextType(t);
  }
  if (has_text) {
    std::array<bool, 256> seen{};
    for (int ch = 0; ch < 256; ++ch) {
      const uint8_t sorted = context.tables->collation[static_cast<size_t>(ch)];
      if (seen[sorted]) return d;  // two characters collate alike: the text cannot be told
      seen[sorted] = true;
      d.inverse_collation[sorted] = static_cast<uint8_t>(ch);
    }
  }
  d.usable = true;
  return d;
}

void DecodeKeyValue(const KeyContext& context, const KeyDecoder& decoder, size_t key_index,
                    std::span<const uint8_t> value, std::span<uint8_t> record) {
  const TableDefinition& def = *context.definition;
  size_t at = 0;
  uint8_t buf[256];
  for (const KeyComponent& c : def.keys[key_index].components) {
    const FieldDef& f = def.fields[c.field_index];
    uint8_t* out = record.data() + f.offset;
    const uint8_t* in = value.data() + at;
    at += f.size;
    const bool descending = c.order == SortOrder::kDescending;
    if (runtime::IsTextType(f.type)) {
      for (size_t i = 0; i < f.size; ++i) {
        const uint8_t b = descending ? static_cast<uint8_t>(~in[i]) : in[i];
        out[i] = decoder.inverse_collation[b];
      }
      continue;
    }
    // Numbers: at most 4 bytes, stored reversed (big-endian).
    const size_t n = f.size < sizeof buf ? f.size : sizeof buf;
    for (size_t i = 0; i < n; ++i) buf[i] = descending ? static_cast<uint8_t>(~in[i]) : in[i];
    if (f.type == TypeCode::kShort || f.type == TypeCode::kLong) buf[0] ^= 0x80;
    if (f.type == TypeCode::kByte) {
      std::memcpy(out, buf, n);
    } else {
      for (size_t i = 0; i < n; ++i) out[i] = buf[n - 1 - i];
    }
  }
}

}  // namespace pellucor::data::kestrune
