#include "runtime/values/string_stack.h"

#include <cstring>
#include <utility>

#include "runtime/values/compare.h"
#include "runtime/values/convert.h"

namespace pellucor::runtime {

// One entry. `text` points at the caller's text (kind 0), at `heap` (kind 1) or at `inline_buf`
// (kind 2); for kinds 5 and 10 it is null until the entry is made plain. Entries never move, so
// a pointer into an entry's own inline buffer stays valid while the entry lives.
struct StringStack::Entry {
  uint16_t kind = stack_kind::kReference;
  const char* text = nullptr;
  size_t length = 0;
  char inline_buf[kStringInlineSize] = {};
  std::unique_ptr<char[]> heap;
  std::u16string wide;         // kind 5
  AutomationValue automation;  // kind 10
};

namespace {

// Windows-1252 0x80-0x9F; 0 marks the five undefined bytes.
constexpr char16_t kAnsiHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                    0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char WideToAnsi(char16_t u) {
  if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) return static_cast<char>(u);
  for (int i = 0; i < 32; ++i) {
    if (kAnsiHigh[i] != 0 && kAnsiHigh[i] == u) return static_cast<char>(0x80 + i);
  }
  return '?';
}

}  // namespace

StringStack::StringStack() : entries_(std::make_unique<Entry[]>(kStringStackDepth)) {}

StringStack::~StringStack() {
  Reset();
}

StringStack& Strings() {
  static StringStack stack;
  return stack;
}

StringStack::Entry* StringStack::Slot() {
  if (depth_ >= kStringStackDepth) return nullptr;
  return &entries_[static_cast<size_t>(depth_)];
}

StringStack::Entry& StringStack::At(int from_top) {
  return entries_[static_cast<size_t>(depth_ - 1 - from_top)];
}

void StringStack::Release(Entry& e) {
  e.heap.reset();
  e.wide.clear();
  e.wide.shrink_to_fit();
  e.automation = AutomationValue{};
  e.kind = stack_kind::kReference;
  e.text = nullptr;
  e.length = 0;
}

namespace {

// Points the entry at its own copy of text: inline when short, a heap block otherwise.
template <class Entry>
void OwnCopy(Entry& e, const char* text, size_t length) {
  if (length <= kStringInlineSize) {
    if (length != 0) std::memmove(e.inline_buf, text, length);
    e.kind = stack_kind::kInline;
    e.text = e.inline_buf;
  } else {
    auto block = std::make_unique_for_overwrite<char[]>(length);
    std::memcpy(block.get(), text, length);
    e.heap = std::move(block);
    e.kind = stack_kind::kHeap;
    e.text = e.heap.get();
  }
  e.length = length;
}

}  // namespace

void StringStack::MakePlain(Entry& e) {
  const uint16_t encoding = e.kind & stack_kind::kEncodingMask;
  if (encoding == stack_kind::kEncodingPlain) return;
  std::u16string wide;
  char num[kRealTextMax];
  size_t num_len = 0;
  if (encoding == stack_kind::kEncodingWide) {
    wide = std::move(e.wide);
  } else {
    const AutomationValue& a = e.automation;
    switch (a.kind) {
      case AutomationValue::Kind::kEmpty:
        break;
      case AutomationValue::Kind::kInteger:
        num_len = FormatInteger(a.integer, num);
        break;
      case AutomationValue::Kind::kReal:
        num_len = FormatReal(a.real, num);
        break;
      case AutomationValue::Kind::kText:
        wide = a.text;
        break;
    }
  }
  Release(e);
  if (!wide.empty()) {
    std::string plain;
    plain.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
      const char16_t u = wide[i];
      // A surrogate pair is one character outside the set: one '?'.
      if (u >= 0xD800 && u <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 &&
          wide[i + 1] <= 0xDFFF) {
        ++i;
        plain.push_back('?');
        continue;
      }
      plain.push_back(WideToAnsi(u));
    }
    OwnCopy(e, plain.data(), plain.size());
  } else {
    OwnCopy(e, num, num_len);
  }
}

bool StringStack::PushReference(const char* text, size_t length) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  e->kind = stack_kind::kReference;
  e->text = length == 0 ? "" : text;
  e->length = length;
  ++depth_;
  return true;
}

bool StringStack::PushNulTerminated(const char* text) {
  if (text == nullptr) return PushReference("", 0);
  return PushReference(text, std::strlen(text));
}

bool StringStack::PushCopy(std::string_view text) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  OwnCopy(*e, text.data(), text.size());
  ++depth_;
  return true;
}

bool StringStack::PushInteger(int64_t value) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  e->kind = stack_kind::kInline;
  e->length = FormatInteger(value, e->inline_buf);
  e->text = e->inline_buf;
  ++depth_;
  return true;
}

bool StringStack::PushReal(double value) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  // Only an exponent form with a three-digit negative exponent and 14 digits exceeds 20 bytes.
  char buf[kRealTextMax];
  const size_t n = FormatReal(value, buf);
  OwnCopy(*e, buf, n);
  ++depth_;
  return true;
}

bool StringStack::PushWide(std::u16string_view text) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  e->wide.assign(text);
  e->kind = stack_kind::kSystemString;
  e->text = nullptr;
  e->length = text.size() * 2;
  ++depth_;
  return true;
}

bool StringStack::PushAutomation(AutomationValue value) {
  Entry* e = Slot();
  if (e == nullptr) return false;
  e->automation = std::move(value);
  e->kind = stack_kind::kAutomation;
  e->text = nullptr;
  e->length = 0;
  ++depth_;
  return true;
}

std::string_view StringStack::Peek(int from_top) {
  if (from_top < 0 || from_top >= depth_) return {};
  Entry& e = At(from_top);
  MakePlain(e);
  return {e.text, e.length};
}

uint16_t StringStack::KindOf(int from_top) const {
  if (from_top < 0 || from_top >= depth_) return 0;
  return entries_[static_cast<size_t>(depth_ - 1 - from_top)].kind;
}

void StringStack::Pop() {
  if (depth_ == 0) return;
  Release(At(0));
  --depth_;
}

size_t StringStack::PopInto(char* dest, size_t capacity) {
  const std::string_view t = Top();
  const size_t n = t.size() < capacity ? t.size() : capacity;
  if (n != 0) std::memmove(dest, t.data(), n);
  Pop();
  return n;
}

std::string StringStack::PopString() {
  std::string s(Top());
  Pop();
  return s;
}

Order StringStack::CompareTop() {
  const std::string_view right = Peek(0);
  const std::string_view left = Peek(1);
  const Order o = CompareStrings(depth_ >= 2 ? left : std::string_view{}, right);
  Pop();
  Pop();
  return o;
}

void StringStack::JoinTop() {
  if (depth_ < 2) return;
  const std::string_view right = Peek(0);
  const std::string_view left = Peek(1);
  const size_t total = left.size() + right.size();
  char small[kStringInlineSize];
  std::unique_ptr<char[]> block;
  char* out = small;
  if (total > kStringInlineSize) {
    block = std::make_unique_for_overwrite<char[]>(total);
    out = block.get();
  }
  if (!left.empty()) std::memcpy(out, left.data(), left.size());
  if (!right.empty()) std::memcpy(out + left.size(), right.data(), right.size());
  Pop();
  Entry& e = At(0);
  Release(e);
  if (block) {
    e.heap = std::move(block);
    e.kind = stack_kind::kHeap;
    e.text = e.heap.get();
    e.length = total;
  } else {
    OwnCopy(e, small, total);
  }
}

int32_t StringStack::TopInteger() {
  return TextToInteger(Top());
}
double StringStack::TopReal() {
  return TextToReal(Top());
}

int32_t StringStack::PopInteger() {
  const int32_t v = TopInteger();
  Pop();
  return v;
}

double StringStack::PopReal() {
  const double v = TopReal();
  Pop();
  return v;
}

void StringStack::Reset() {
  while (depth_ > 0) Pop();
}

}  // namespace pellucor::runtime
