// The record descriptor's encoder and decoder. The layout is documented atop declaration.h.
#include <algorithm>
#include <cstring>

#include "data/driver/declaration.h"

namespace pellucor::data {
namespace {

using runtime::TypeCode;

constexpr size_t kHeaderSize = 14;  // type, flags, u32 size, u32 fields, u32 descriptor length

bool HasLength(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString ||
         t == TypeCode::kGroup || t == TypeCode::kDecimal || t == TypeCode::kPDecimal;
}
bool IsDecimal(TypeCode t) {
  return t == TypeCode::kDecimal || t == TypeCode::kPDecimal;
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void PutText(std::vector<uint8_t>& out, std::string_view text) {
  out.insert(out.end(), text.begin(), text.end());
  out.push_back(0);
}

// A bounds-checked reader over the descriptor bytes; every read fails softly.
class Reader {
 public:
  explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool U8(uint8_t* v) {
    if (pos_ >= bytes_.size()) return false;
    *v = bytes_[pos_++];
    return true;
  }
  bool U32(uint32_t* v) {
    if (bytes_.size() - pos_ < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<uint32_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool Length(uint32_t* v) {
    uint8_t first = 0;
    if (!U8(&first)) return false;
    if (first < 0x20) {
      *v = first;
      return true;
    }
    if (first >= 0x40) return false;
    uint8_t low = 0;
    if (!U8(&low)) return false;
    *v = (static_cast<uint32_t>(first - 0x20) << 8) | low;
    return *v >= 0x20;  // a short length is always written in one byte
  }
  bool Text(std::string* text) {
    const auto* begin = bytes_.data() + pos_;
    const auto* end = std::find(begin, bytes_.data() + bytes_.size(), uint8_t{0});
    if (end == bytes_.data() + bytes_.size()) return false;
    text->assign(reinterpret_cast<const char*>(begin), static_cast<size_t>(end - begin));
    pos_ += static_cast<size_t>(end - begin) + 1;
    return true;
  }
  size_t Position() const { return pos_; }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace

void AppendLengthCode(std::vector<uint8_t>& out, uint32_t length) {
  if (length < 0x20) {
    out.push_back(static_cast<uint8_t>(length));
  } else {
    out.push_back(static_cast<uint8_t>(0x20 + ((length >> 8) & 0x1F)));
    out.push_back(static_cast<uint8_t>(length & 0xFF));
  }
}

std::optional<std::vector<uint8_t>> EncodeRecordDescriptor(
    std::span<const DescriptorField> fields) {
  std::vector<uint8_t> out(kHeaderSize, 0);
  uint64_t total = 0;
  std::vector<uint32_t> sizes;
  for (const DescriptorField& f : fields) {
    uint32_t element = FixedTypeSize(f.type);
    if (HasLength(f.type)) {
      if (f.length == 0 || f.length > kMaxEncodedLength) return std::nullopt;
      element = f.length;
    }
    if (element == 0) return std::nullopt;  // a type that cannot stand in a record
    if (f.dims.size() > 255) return std::nullopt;
    uint64_t size = element;
    for (uint32_t d : f.dims) {
      if (d == 0) return std::nullopt;
      size *= d;
      if (size > UINT32_MAX) return std::nullopt;
    }
    if (f.over != 0) {
      if (f.over > sizes.size() || size > sizes[f.over - 1]) return std::nullopt;
    } else {
      total += size;
    }
    sizes.push_back(static_cast<uint32_t>(size));

    uint8_t flags = field_flag::kFileField;
    if (!f.picture.empty()) flags |= field_flag::kPicture;
    if (!f.dims.empty()) flags |= field_flag::kDims;
    if (f.over != 0) flags |= field_flag::kOver;
    if (f.external_name) flags |= field_flag::kName;
    out.push_back(static_cast<uint8_t>(f.type));
    out.push_back(flags);
    if (HasLength(f.type)) AppendLengthCode(out, f.length);
    if (IsDecimal(f.type)) out.push_back(f.places);
    PutText(out, f.label);
    if (!f.picture.empty()) PutText(out, f.picture);
    if (!f.dims.empty()) {
      out.push_back(static_cast<uint8_t>(f.dims.size()));
      for (uint32_t d : f.dims) PutU32(out, d);
    }
    if (f.over != 0) PutU32(out, f.over);
    if (f.external_name) PutText(out, *f.external_name);
  }
  if (total > UINT32_MAX) return std::nullopt;
  std::vector<uint8_t> header;
  header.push_back(static_cast<uint8_t>(TypeCode::kGroup));
  header.push_back(0);
  PutU32(header, static_cast<uint32_t>(total));
  PutU32(header, static_cast<uint32_t>(fields.size()));
  PutU32(header, static_cast<uint32_t>(out.size()));
  std::copy(header.begin(), header.end(), out.begin());
  return out;
}

std::optional<RecordLayout> DecodeRecordDescriptor(std::span<const uint8_t> bytes) {
  Reader in(bytes);
  uint8_t type = 0, flags = 0;
  uint32_t total = 0, count = 0, length = 0;
  if (!in.U8(&type) || type != static_cast<uint8_t>(TypeCode::kGroup) || !in.U8(&flags) ||
      !in.U32(&total) || !in.U32(&count) || !in.U32(&length)) {
    return std::nullopt;
  }
  if (length != bytes.size()) return std::nullopt;
  // Every field takes at least three bytes (type, flags, label terminator), which bounds the
  // count before anything is reserved for it.
  if (count > bytes.size() / 3) return std::nullopt;
  RecordLayout layout;
  layout.total_size = total;
  layout.fields.reserve(count);
  uint64_t offset = 0;
  for (uint32_t i = 0; i < count; ++i) {
    FieldInfo f;
    uint8_t code = 0;
    if (!in.U8(&code) || !in.U8(&f.flags)) return std::nullopt;
    if (code > static_cast<uint8_t>(TypeCode::kStdNum)) return std::nullopt;
    f.type = static_cast<TypeCode>(code);
    f.element_size = FixedTypeSize(f.type);
    if (HasLength(f.type)) {
      if (!in.Length(&f.declared_length) || f.declared_length == 0) return std::nullopt;
      f.element_size = f.declared_length;
    }
    if (f.element_size == 0) return std::nullopt;
    if (IsDecimal(f.type)) {
      if (!in.U8(&f.places) || f.places > f.DecimalDigits()) return std::nullopt;
    }
    if (!in.Text(&f.label)) return std::nullopt;
    if ((f.flags & field_flag::kPicture) && !in.Text(&f.picture)) return std::nullopt;
    uint64_t size = f.element_size;
    if (f.flags & field_flag::kDims) {
      uint8_t n = 0;
      if (!in.U8(&n)) return std::nullopt;
      uint64_t elements = 1;
      for (uint8_t d = 0; d < n; ++d) {
        uint32_t dim = 0;
        if (!in.U32(&dim) || dim == 0) return std::nullopt;
        f.dims.push_back(dim);
        elements *= dim;
        if (elements * f.element_size > total) return std::nullopt;
      }
      f.element_count = static_cast<uint32_t>(elements);
      size = elements * f.element_size;
    }
    if (size > total) return std::nullopt;
    f.size = static_cast<uint32_t>(size);
    if (f.flags & field_flag::kOver) {
      if (!in.U32(&f.over) || f.over == 0 || f.over > i) return std::nullopt;
      const FieldInfo& base = layout.fields[f.over - 1];
      if (f.size > base.size) return std::nullopt;
      f.offset = base.offset;
    } else {
      f.offset = static_cast<uint32_t>(offset);
      offset += size;
      if (offset > total) return std::nullopt;
    }
    if (f.flags & field_flag::kName) {
      std::string name;
      if (!in.Text(&name)) return std::nullopt;
      f.external_name = std::move(name);
    }
    layout.fields.push_back(std::move(f));
  }
  if (offset != total || in.Position() != bytes.size()) return std::nullopt;
  return layout;
}

}  // namespace pellucor::data
