// Stored values and typed text from outside: a record read from a damaged file, or text a user
// typed, reaches the accessors and the number reader. Every layout is read every way; the
// results must be sane and repeatable, and text conversions must agree with each other.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/values/accessor.h"
#include "runtime/values/compare.h"
#include "runtime/values/convert.h"
#include "runtime/values/decimal.h"
#include "runtime/values/string_stack.h"

using namespace pellucor::runtime;

namespace {

constexpr TypeCode kTypes[] = {
    TypeCode::kByte,    TypeCode::kShort,   TypeCode::kUShort,   TypeCode::kDate,
    TypeCode::kTime,    TypeCode::kLong,    TypeCode::kULong,    TypeCode::kSReal,
    TypeCode::kReal,    TypeCode::kDecimal, TypeCode::kPDecimal, TypeCode::kBFloat4,
    TypeCode::kBFloat8, TypeCode::kString,  TypeCode::kCString,  TypeCode::kPString,
    TypeCode::kMemo,    TypeCode::kGroup,   TypeCode::kBlob};

void Check(bool ok) {
  if (!ok) std::abort();
}

void ExerciseText(std::string_view text) {
  const ParsedNumber p = ParseNumber(text);
  Check(p.consumed <= kNumberTextLimit && p.consumed <= text.size());
  Check(p.found || p.value == 0.0);
  if (IsNumericText(text)) Check(p.found);
  // The decimal reader stops where the real reader stops; its text reads back as itself.
  const Decimal d = Decimal::FromText(text);
  const std::string dt = d.ToText();
  Check(Decimal::FromText(dt) == d);
  Check(IsNumericText(dt));
  // Real text reads back close to the value.
  if (p.found) {
    const std::string rt = RealText(p.value);
    Check(rt.size() <= kRealTextMax);
    const double back = TextToReal(rt);
    if (p.value == p.value && back != p.value) {
      const double diff = back > p.value ? back - p.value : p.value - back;
      const double mag = p.value < 0 ? -p.value : p.value;
      Check(diff <= mag * 1e-13);
    }
  }
  // Comparison is antisymmetric and ignores trailing blanks.
  const std::string padded = std::string(text) + "   ";
  Check(CompareStrings(text, padded) == Order::kEqual);
  const std::string_view half = text.substr(0, text.size() / 2);
  Check(OrderSign(CompareStrings(text, half)) == -OrderSign(CompareStrings(half, text)));
  Check(OrderSign(CompareStringsNoCase(text, half)) ==
        -OrderSign(CompareStringsNoCase(half, text)));
}

void ExerciseLayout(TypeCode type, int places, std::vector<uint8_t>& bytes) {
  auto a = AccessorFactory(type, bytes.data(), static_cast<uint32_t>(bytes.size()), places);
  (void)a->GetInteger();
  (void)a->GetReal();
  (void)a->IsTrue();
  const std::string text = a->GetText();
  Check(text.size() <= bytes.size() + 80);
  StringStack& st = Strings();
  const int depth = st.Depth();
  a->Push();
  const std::string pushed = st.PopString();
  Check(st.Depth() == depth);
  Check(pushed == text);
  // Writing back what was read gives a value that reads the same from then on.
  const Decimal dec = a->GetDecimal();
  a->SetDecimal(dec);
  const std::string once = a->GetText();
  a->SetText(once);
  Check(a->GetText() == once || ValueClassOf(type) != ValueClass::kString);
  for (ClearMode m : {ClearMode::kLowest, ClearMode::kBlank, ClearMode::kHighest}) {
    a->Clear(m);
    (void)a->GetText();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const TypeCode type = kTypes[data[0] % (sizeof kTypes / sizeof kTypes[0])];
  const int places = data[1] % 40;
  std::vector<uint8_t> bytes(data + 2, data + size);
  const uint32_t fixed = FixedTypeSize(type);
  if (fixed != 0) bytes.resize(fixed);
  if (bytes.empty()) bytes.push_back(0);
  ExerciseLayout(type, places, bytes);
  ExerciseText(std::string_view(reinterpret_cast<const char*>(data + 2), size - 2));
  return 0;
}
