#include "data/kestrune/table_definition.h"

#include <algorithm>
#include <string_view>

namespace pellucor::data::kestrune {
namespace {

using runtime::TypeCode;

bool IsDecimal(TypeCode t) {
  return t == TypeCode::kDecimal || t == TypeCode::kPDecimal;
}
bool IsStringLayout(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString;
}

// Types whose bytes a record holds.
bool IsRecordType(TypeCode t) {
  switch (t) {
    case TypeCode::kByte:
    case TypeCode::kShort:
    case TypeCode::kUShort:
    case TypeCode::kDate:
    case TypeCode::kTime:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kSReal:
    case TypeCode::kReal:
    case TypeCode::kDecimal:
    case TypeCode::kPDecimal:
    case TypeCode::kBFloat4:
    case TypeCode::kBFloat8:
    case TypeCode::kString:
    case TypeCode::kCString:
    case TypeCode::kPString:
    case TypeCode::kGroup:
      return true;
    default:
      return false;
  }
}

class Writer {
 public:
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(size_t v) {
    out_.push_back(static_cast<uint8_t>(v));
    out_.push_back(static_cast<uint8_t>(v >> 8));
  }
  // A text is its bytes and a zero byte; an empty text is 0 0 and an absent one 0 1. A text
  // stops at an embedded zero byte, which the stored form cannot hold.
  void Text(const std::optional<std::string>& text) {
    if (!text) {
      U8(0);
      U8(1);
      return;
    }
    const std::string_view t(text->data(), std::min(text->size(), text->find('\0')));
    if (t.empty()) {
      U8(0);
      U8(0);
      return;
    }
    out_.insert(out_.end(), t.begin(), t.end());
    U8(0);
  }
  std::vector<uint8_t> Take() { return std::move(out_); }

 private:
  std::vector<uint8_t> out_;
};

class Reader {
 public:
  explicit Reader(std::span<const uint8_t> in) : in_(in) {}
  bool U8(uint8_t* v) {
    if (pos_ >= in_.size()) return false;
    *v = in_[pos_++];
    return true;
  }
  bool U16(uint16_t* v) {
    if (in_.size() - pos_ < 2) return false;
    *v = static_cast<uint16_t>(in_[pos_] | (in_[pos_ + 1] << 8));
    pos_ += 2;
    return true;
  }
  bool Text(std::optional<std::string>* text) {
    const size_t start = pos_;
    while (pos_ < in_.size() && in_[pos_] != 0) ++pos_;
    if (pos_ >= in_.size()) return false;
    if (pos_ > start) {
      *text = std::string(reinterpret_cast<const char*>(in_.data()) + start, pos_ - start);
      ++pos_;
      return true;
    }
    ++pos_;
    uint8_t marker = 0;
    if (!U8(&marker) || marker > 1) return false;
    if (marker == 0) {
      *text = std::string();
    } else {
      text->reset();
    }
    return true;
  }
  bool Label(std::string* label) {
    std::optional<std::string> t;
    if (!Text(&t) || !t) return false;
    *label = std::move(*t);
    return true;
  }
  bool AtEnd() const { return pos_ == in_.size(); }

 private:
  std::span<const uint8_t> in_;
  size_t pos_ = 0;
};

std::string FieldName(size_t i, const std::string& label) {
  return "field " + std::to_string(i + 1) + " (" + label + ")";
}
std::string MemoName(size_t i, const std::string& label) {
  return "memo " + std::to_string(i + 1) + " (" + label + ")";
}
std::string KeyName(size_t i, const std::string& label) {
  return "key " + std::to_string(i + 1) + " (" + label + ")";
}

}  // namespace

std::optional<KeyComponent> ComponentFromFieldNumber(int32_t field_number) {
  if (field_number == 0 || field_number > 0x10000 || field_number < -0x10000) return std::nullopt;
  KeyComponent c;
  c.order = field_number < 0 ? SortOrder::kDescending : SortOrder::kAscending;
  c.field_index = static_cast<uint16_t>((field_number < 0 ? -field_number : field_number) - 1);
  return c;
}

uint16_t TableDefinition::version() const {
  const bool blob = std::any_of(memos.begin(), memos.end(),
                                [](const MemoDef& m) { return (m.flags & kMemoBlob) != 0; });
  return blob ? 2 : 1;
}

std::string CheckDefinition(const TableDefinition& def) {
  if (def.record_length == 0 || def.record_length > kMaxRecordLength) {
    return "record length " + std::to_string(def.record_length) + " is outside 1-15000";
  }
  if (def.keys.size() > kMaxKeys) return "more than 240 keys";
  if (def.memos.size() > kMaxMemos) return "more than 255 memos";
  if (def.fields.size() > 0xFFFF) return "too many fields";
  for (size_t i = 0; i < def.fields.size(); ++i) {
    const FieldDef& f = def.fields[i];
    if (!IsRecordType(f.type)) return FieldName(i, f.label) + ": type not held in a record";
    if (f.size == 0 || size_t{f.offset} + f.size > def.record_length) {
      return FieldName(i, f.label) + ": lies outside the record";
    }
    if (f.element_count == 0 || f.size % f.element_count != 0) {
      return FieldName(i, f.label) + ": size is not a whole number of elements";
    }
    const size_t element = runtime::FixedTypeSize(f.type);
    if (element != 0 && f.size != element * f.element_count) {
      return FieldName(i, f.label) + ": size does not fit its type";
    }
  }
  for (size_t k = 0; k < def.keys.size(); ++k) {
    const KeyDef& key = def.keys[k];
    if (key.components.empty() || key.components.size() > 0xFFFF) {
      return KeyName(k, key.label) + ": no components";
    }
    size_t length = 0;
    for (const KeyComponent& c : key.components) {
      if (c.field_index >= def.fields.size()) {
        return KeyName(k, key.label) + ": component names no field";
      }
      const FieldDef& f = def.fields[c.field_index];
      // A numeric component is one value: its bytes are turned around as a whole.
      if (runtime::FixedTypeSize(f.type) != 0 && f.element_count != 1) {
        return KeyName(k, key.label) + ": component is a dimensioned number";
      }
      length += f.size;
    }
    // Table number, key number, value, record number: one entry must fit a page.
    if (length + 9 > kMaxRecordLength) return KeyName(k, key.label) + ": key value too long";
  }
  return {};
}

std::vector<uint8_t> EncodeDefinition(const TableDefinition& def) {
  Writer w;
  w.U16(def.version());
  w.U16(def.record_length);
  w.U16(def.fields.size());
  w.U16(def.memos.size());
  w.U16(def.keys.size());
  for (const FieldDef& f : def.fields) {
    w.U8(static_cast<uint8_t>(f.type));
    w.U16(f.offset);
    w.Text(f.label);
    w.U16(f.element_count);
    w.U16(f.size);
    w.U16(f.overlay);
    w.U16(f.index);
    if (IsDecimal(f.type)) {
      w.U8(f.digits);
      w.U8(f.places);
    } else if (IsStringLayout(f.type)) {
      w.U16(f.picture_value);
      w.Text(f.picture);
    }
  }
  for (const MemoDef& m : def.memos) {
    w.Text(m.external_name);
    w.Text(m.label);
    w.U16(m.size);
    w.U16(m.flags);
  }
  for (const KeyDef& k : def.keys) {
    w.Text(k.external_name);
    w.Text(k.label);
    w.U8(static_cast<uint8_t>(k.flags));
    w.U16(k.components.size());
    for (const KeyComponent& c : k.components) {
      w.U16(c.field_index);
      w.U16(c.order == SortOrder::kDescending ? 1 : 0);
    }
  }
  return w.Take();
}

bool ParseDefinition(std::span<const uint8_t> stream, TableDefinition* out) {
  Reader r(stream);
  TableDefinition def;
  uint16_t version = 0, fields = 0, memos = 0, keys = 0;
  if (!r.U16(&version) || (version != 1 && version != 2) || !r.U16(&def.record_length) ||
      !r.U16(&fields) || !r.U16(&memos) || !r.U16(&keys)) {
    return false;
  }
  // Each field, memo and key takes several bytes: counts beyond the stream are damage, and
  // checking first keeps a damaged count from reserving a huge table.
  if (size_t{fields} + memos + keys > stream.size()) return false;
  def.fields.resize(fields);
  for (FieldDef& f : def.fields) {
    uint8_t type = 0;
    if (!r.U8(&type) || !r.U16(&f.offset) || !r.Label(&f.label) || !r.U16(&f.element_count) ||
        !r.U16(&f.size) || !r.U16(&f.overlay) || !r.U16(&f.index)) {
      return false;
    }
    f.type = static_cast<TypeCode>(type);
    if (IsDecimal(f.type)) {
      if (!r.U8(&f.digits) || !r.U8(&f.places)) return false;
    } else if (IsStringLayout(f.type)) {
      if (!r.U16(&f.picture_value) || !r.Text(&f.picture)) return false;
    }
  }
  def.memos.resize(memos);
  for (MemoDef& m : def.memos) {
    if (!r.Text(&m.external_name) || !r.Label(&m.label) || !r.U16(&m.size) || !r.U16(&m.flags)) {
      return false;
    }
  }
  def.keys.resize(keys);
  for (KeyDef& k : def.keys) {
    uint8_t flags = 0;
    uint16_t count = 0;
    if (!r.Text(&k.external_name) || !r.Label(&k.label) || !r.U8(&flags) || !r.U16(&count)) {
      return false;
    }
    k.flags = flags;
    if (count > stream.size()) return false;
    k.components.resize(count);
    for (KeyComponent& c : k.components) {
      uint16_t descending = 0;
      if (!r.U16(&c.field_index) || !r.U16(&descending) || descending > 1) return false;
      c.order = descending ? SortOrder::kDescending : SortOrder::kAscending;
    }
  }
  if (!r.AtEnd() || def.version() != version) return false;
  *out = std::move(def);
  return true;
}

std::vector<std::vector<uint8_t>> DefinitionBlocks(std::span<const uint8_t> stream) {
  constexpr size_t kBlock = 512;
  std::vector<std::vector<uint8_t>> blocks;
  for (size_t pos = 0; pos < stream.size(); pos += kBlock) {
    const size_t n = std::min(kBlock, stream.size() - pos);
    blocks.emplace_back(stream.begin() + static_cast<ptrdiff_t>(pos),
                        stream.begin() + static_cast<ptrdiff_t>(pos + n));
  }
  return blocks;
}

std::string CompareDefinitions(const TableDefinition& stored, const TableDefinition& declared) {
  if (stored.record_length != declared.record_length) return "record length";
  if (stored.fields.size() != declared.fields.size()) return "number of fields";
  if (stored.memos.size() != declared.memos.size()) return "number of memos";
  if (stored.keys.size() != declared.keys.size()) return "number of keys";
  for (size_t i = 0; i < stored.fields.size(); ++i) {
    const FieldDef& a = stored.fields[i];
    const FieldDef& b = declared.fields[i];
    const std::string name = FieldName(i, b.label);
    if (a.type != b.type) return name + ": type";
    if (a.offset != b.offset) return name + ": offset";
    if (a.label != b.label) return name + ": label";
    if (a.element_count != b.element_count) return name + ": dimensions";
    if (a.size != b.size) return name + ": size";
    if (a.overlay != b.overlay) return name + ": overlay";
    if (a.index != b.index) return name + ": index";
    // Only what the stored form holds for the type takes part.
    if (IsDecimal(a.type) && (a.digits != b.digits || a.places != b.places)) {
      return name + ": digits or places";
    }
    if (IsStringLayout(a.type) && (a.picture_value != b.picture_value || a.picture != b.picture)) {
      return name + ": picture";
    }
  }
  for (size_t i = 0; i < stored.memos.size(); ++i) {
    const MemoDef& a = stored.memos[i];
    const MemoDef& b = declared.memos[i];
    const std::string name = MemoName(i, b.label);
    if (a.external_name != b.external_name) return name + ": name";
    if (a.label != b.label) return name + ": label";
    if (a.size != b.size) return name + ": size";
    if (a.flags != b.flags) return name + ": flags";
  }
  for (size_t i = 0; i < stored.keys.size(); ++i) {
    const KeyDef& a = stored.keys[i];
    const KeyDef& b = declared.keys[i];
    const std::string name = KeyName(i, b.label);
    if (a.external_name != b.external_name) return name + ": name";
    if (a.label != b.label) return name + ": label";
    // The stored form keeps the low byte of the flags; PRIMARY may differ.
    constexpr uint32_t kCompared = 0xFF & ~kKeyPrimary;
    if ((a.flags & kCompared) != (b.flags & kCompared)) return name + ": flags";
    if (a.components != b.components) return name + ": components";
  }
  return {};
}

}  // namespace pellucor::data::kestrune
