#include "data/view/row_codec.h"

#include <cstring>

namespace pellucor::data::view {
namespace {

void PutU32(std::string* out, uint32_t v) {
  char b[4];
  for (int i = 0; i < 4; ++i) b[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  out->append(b, 4);
}

bool GetU32(std::string_view* in, uint32_t* v) {
  if (in->size() < 4) return false;
  const auto* p = reinterpret_cast<const unsigned char*>(in->data());
  *v = uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
  in->remove_prefix(4);
  return true;
}

bool IsBlankPadded(runtime::TypeCode t) {
  return t == runtime::TypeCode::kString || t == runtime::TypeCode::kGroup;
}

// The length without trailing blanks. A note's memo field is mostly padding, so the blanks are
// skipped many at a time.
size_t TrimmedLength(const uint8_t* p, size_t n) {
  constexpr uint64_t kBlanks = 0x2020202020202020ULL;
  // Sixty-four bytes a step while all of them are blanks (four vector compares, one branch),
  // then thirty-two in four independent words.
  using Bytes16 = uint8_t __attribute__((vector_size(16)));
  const Bytes16 blank16 = {' ', ' ', ' ', ' ', ' ', ' ', ' ', ' ',
                           ' ', ' ', ' ', ' ', ' ', ' ', ' ', ' '};
  while (n >= 64) {
    Bytes16 v[4];
    std::memcpy(v, p + n - 64, 64);
    const Bytes16 all =
        (v[0] == blank16) & (v[1] == blank16) & (v[2] == blank16) & (v[3] == blank16);
    uint64_t half[2];
    std::memcpy(half, &all, 16);
    if ((half[0] & half[1]) != ~uint64_t{0}) break;
    n -= 64;
  }
  while (n >= 32) {
    uint64_t w[4];
    std::memcpy(w, p + n - 32, 32);
    if (((w[0] ^ kBlanks) | (w[1] ^ kBlanks) | (w[2] ^ kBlanks) | (w[3] ^ kBlanks)) != 0) break;
    n -= 32;
  }
  while (n >= 8) {
    uint64_t word;
    std::memcpy(&word, p + n - 8, 8);
    if (word != kBlanks) break;
    n -= 8;
  }
  while (n > 0 && p[n - 1] == ' ') --n;
  return n;
}

}  // namespace

void RowCodec::AddFile(FileDecl& file, const RecordLayout& layout, const Projection& projection) {
  auto add_field = [&](int32_t number) {
    if (number < 1 || static_cast<size_t>(number) > layout.fields.size()) return;
    const FieldInfo& f = layout.fields[static_cast<size_t>(number - 1)];
    Item item;
    item.record = file.RecordBuffer();
    item.offset = f.offset;
    item.size = f.size;
    item.text = IsBlankPadded(f.type);
    items_.push_back(item);
  };
  auto add_memo = [&](int32_t number) {
    if (number < 1 || static_cast<size_t>(number) > file.memos.size()) return;
    const MemoDecl& m = file.memos[static_cast<size_t>(number - 1)];
    Item item;
    item.memo = true;
    item.memo_buffer = &file.MemoBuffer(static_cast<size_t>(number - 1));
    item.text = (m.flags & (memo_flag::kBinary | memo_flag::kBlob)) == 0;
    item.blob = (m.flags & memo_flag::kBlob) != 0;
    items_.push_back(item);
  };
  if (projection.Empty()) {
    // Every field; a field declared OVER another shares its bytes and adds nothing.
    for (size_t i = 0; i < layout.fields.size(); ++i) {
      if (layout.fields[i].over == 0) add_field(static_cast<int32_t>(i + 1));
    }
    for (size_t i = 0; i < file.memos.size(); ++i) add_memo(static_cast<int32_t>(i + 1));
    return;
  }
  for (int32_t f : projection.fields) add_field(f);
  for (int32_t m : projection.memos) add_memo(m);
}

void RowCodec::Capture(std::string_view identity, std::string* row) const {
  row->clear();
  PutU32(row, static_cast<uint32_t>(identity.size()));
  row->append(identity);
  for (const Item& item : items_) {
    const uint8_t* p = nullptr;
    size_t n = 0;
    if (item.memo) {
      const std::vector<uint8_t>& m = *item.memo_buffer;
      p = m.data();
      n = m.size();
    } else {
      p = item.record + item.offset;
      n = item.size;
    }
    if (item.text) n = TrimmedLength(p, n);
    PutU32(row, static_cast<uint32_t>(n));
    row->append(reinterpret_cast<const char*>(p), n);
  }
}

bool RowCodec::IdentityOf(std::string_view row, std::string* identity) {
  uint32_t n = 0;
  if (!GetU32(&row, &n) || row.size() < n) return false;
  identity->assign(row.substr(0, n));
  return true;
}

bool RowCodec::Restore(std::string_view row, std::string* identity) const {
  uint32_t n = 0;
  if (!GetU32(&row, &n) || row.size() < n) return false;
  if (identity) identity->assign(row.substr(0, n));
  row.remove_prefix(n);
  for (const Item& item : items_) {
    if (!GetU32(&row, &n) || row.size() < n) return false;
    if (item.memo) {
      std::vector<uint8_t>& m = *item.memo_buffer;
      if (item.blob) {
        m.assign(row.begin(), row.begin() + n);
      } else {
        // A memo keeps its declared size: the value, then blanks (text) or what was there.
        if (m.size() < n) m.resize(n);
        std::memcpy(m.data(), row.data(), n);
        if (item.text) std::memset(m.data() + n, ' ', m.size() - n);
      }
    } else {
      if (n > item.size) return false;
      uint8_t* p = item.record + item.offset;
      std::memcpy(p, row.data(), n);
      if (item.text) std::memset(p + n, ' ', item.size - n);
    }
    row.remove_prefix(n);
  }
  return true;
}

}  // namespace pellucor::data::view
