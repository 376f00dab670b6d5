#include "data/kestrune/key_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstring>
#include <random>
#include <string>

#include "data/kestrune/page_codec.h"

namespace pellucor::data::kestrune {
namespace {

using runtime::TypeCode;
using V = std::vector<uint8_t>;

// A record of every keyable layout:
//   0 STRING(10)  10 LONG  14 DATE  18 SREAL  22 REAL  30 DECIMAL(7,2)  34 CSTRING(6)
//  40 PSTRING(6)  46 USHORT  48 SHORT
constexpr size_t kRecordLength = 50;

TableDefinition Definition() {
  TableDefinition d;
  d.record_length = kRecordLength;
  auto field = [&](TypeCode t, uint16_t offset, uint16_t size, const char* label) {
    FieldDef f;
    f.type = t;
    f.offset = offset;
    f.size = size;
    f.label = label;
    f.index = static_cast<uint16_t>(d.fields.size());
    d.fields.push_back(f);
  };
  field(TypeCode::kString, 0, 10, "T:NAME");
  field(TypeCode::kLong, 10, 4, "T:COUNT");
  field(TypeCode::kDate, 14, 4, "T:WHEN");
  field(TypeCode::kSReal, 18, 4, "T:SINGLE");
  field(TypeCode::kReal, 22, 8, "T:DOUBLE");
  field(TypeCode::kDecimal, 30, 4, "T:AMOUNT");
  d.fields.back().digits = 7;
  d.fields.back().places = 2;
  field(TypeCode::kCString, 34, 6, "T:CNAME");
  field(TypeCode::kPString, 40, 6, "T:PNAME");
  field(TypeCode::kUShort, 46, 2, "T:SMALL");
  field(TypeCode::kShort, 48, 2, "T:SIGNED");
  return d;
}

// Adds a key over the given fields (numbers from 1, negative for descending).
size_t AddKey(TableDefinition* d, uint32_t flags, std::initializer_list<int32_t> fields) {
  KeyDef k;
  k.label = "T:K" + std::to_string(d->keys.size() + 1);
  k.flags = flags;
  for (int32_t f : fields) k.components.push_back(*ComponentFromFieldNumber(f));
  d->keys.push_back(k);
  EXPECT_EQ(CheckDefinition(*d), "");
  return d->keys.size() - 1;
}

struct Fixture {
  TableDefinition def = Definition();
  runtime::CharTables tables = runtime::CharTables::Defaults();

  V Build(size_t key, const V& record, RecordNumber number = 1,
          KeyBuild want = KeyBuild::kBuilt) const {
    V out;
    const KeyContext context{&def, &tables, TextForm::kAnsi};
    EXPECT_EQ(BuildKeyValue(context, key, record, number, &out), want);
    EXPECT_EQ(out.size(), KeyValueLength(def, key));
    return out;
  }
};

V BlankRecord() {
  V r(kRecordLength, 0);
  std::fill(r.begin(), r.begin() + 10, ' ');
  return r;
}

template <typename T>
void Put(V* r, size_t offset, T value) {
  std::memcpy(r->data() + offset, &value, sizeof value);
}

void PutText(V* r, size_t offset, const std::string& text) {
  std::copy(text.begin(), text.end(), r->begin() + static_cast<ptrdiff_t>(offset));
}

// A DECIMAL(7,2) of four bytes: sign nibble, then seven digits of the value in hundredths.
void PutDecimal(V* r, size_t offset, int64_t cents) {
  const bool negative = cents < 0;
  uint64_t m = static_cast<uint64_t>(negative ? -cents : cents);
  uint8_t digits[7];
  for (int i = 6; i >= 0; --i) {
    digits[i] = static_cast<uint8_t>(m % 10);
    m /= 10;
  }
  uint8_t* p = r->data() + offset;
  p[0] = static_cast<uint8_t>((negative ? 0xF0 : 0x00) | digits[0]);
  for (int i = 0; i < 3; ++i)
    p[1 + i] = static_cast<uint8_t>(digits[1 + 2 * i] << 4 | digits[2 + 2 * i]);
}

TEST(KeyValueTest, NocaseFoldsAndPlainKeysFollowTheStoredCollation) {
  Fixture fx;
  const size_t nocase = AddKey(&fx.def, kKeyNoCase, {1});
  const size_t plain = AddKey(&fx.def, 0, {1});
  V lower = BlankRecord(), upper = BlankRecord();
  PutText(&lower, 0, "xyz");
  PutText(&upper, 0, "XYZ");
  EXPECT_EQ(fx.Build(nocase, lower), fx.Build(nocase, upper));
  EXPECT_NE(fx.Build(plain, lower), fx.Build(plain, upper));

  // A collation that puts each lower-case letter right after its capital: "B" then follows
  // "a", which raw codes would put the other way round.
  std::vector<uint8_t> order;
  for (int c = 0; c < 'A'; ++c) order.push_back(static_cast<uint8_t>(c));
  for (int c = 0; c < 26; ++c) {
    order.push_back(static_cast<uint8_t>('A' + c));
    order.push_back(static_cast<uint8_t>('a' + c));
  }
  for (int c = 'A'; c < 256; ++c) {
    if (!std::isalpha(c) || c > 'z') order.push_back(static_cast<uint8_t>(c));
  }
  ASSERT_EQ(order.size(), 256u);
  for (size_t i = 0; i < 256; ++i) fx.tables.collation[order[i]] = static_cast<uint8_t>(i);
  V a = BlankRecord(), b = BlankRecord();
  PutText(&a, 0, "apple");
  PutText(&b, 0, "Banana");
  EXPECT_LT(CompareKeys(fx.Build(plain, a), fx.Build(plain, b)), 0);
  EXPECT_GT(std::memcmp(a.data(), b.data(), 10), 0) << "raw codes order them the other way";
}

TEST(KeyValueTest, NumbersAndDatesOrderAsValues) {
  Fixture fx;
  const size_t by_long = AddKey(&fx.def, 0, {2});
  const size_t by_date_desc = AddKey(&fx.def, 0, {-3});
  const size_t by_ushort = AddKey(&fx.def, 0, {9});
  const size_t by_short = AddKey(&fx.def, 0, {10});
  std::vector<V> keys;
  for (int32_t v : {-1, 0, 1}) {
    V r = BlankRecord();
    Put(&r, 10, v);
    keys.push_back(fx.Build(by_long, r));
  }
  EXPECT_LT(CompareKeys(keys[0], keys[1]), 0);
  EXPECT_LT(CompareKeys(keys[1], keys[2]), 0);
  V r = BlankRecord();
  Put(&r, 10, int32_t{0x01020304});
  EXPECT_EQ(fx.Build(by_long, r), (V{0x81, 0x02, 0x03, 0x04}));

  // Dates are day, month, year (little-endian): later dates first when descending.
  V early = BlankRecord(), late = BlankRecord();
  const uint8_t d1[4] = {31, 12, 0xE7, 0x07};  // 31.12.2023
  const uint8_t d2[4] = {1, 1, 0xE8, 0x07};    // 1.1.2024
  std::memcpy(early.data() + 14, d1, 4);
  std::memcpy(late.data() + 14, d2, 4);
  EXPECT_LT(CompareKeys(fx.Build(by_date_desc, late), fx.Build(by_date_desc, early)), 0);
  EXPECT_EQ(fx.Build(by_date_desc, early), (V{0xF8, 0x18, 0xF3, 0xE0}));

  V small = BlankRecord(), big = BlankRecord();
  Put(&small, 46, uint16_t{0x00FF});
  Put(&big, 46, uint16_t{0x0100});
  EXPECT_LT(CompareKeys(fx.Build(by_ushort, small), fx.Build(by_ushort, big)), 0);
  Put(&small, 48, int16_t{-300});
  Put(&big, 48, int16_t{2});
  EXPECT_LT(CompareKeys(fx.Build(by_short, small), fx.Build(by_short, big)), 0);
}

TEST(KeyValueTest, RealsAndDecimalsOrderNumericallyOverRandomValues) {
  Fixture fx;
  const size_t by_single = AddKey(&fx.def, 0, {4});
  const size_t by_double = AddKey(&fx.def, 0, {5});
  const size_t by_decimal = AddKey(&fx.def, 0, {6});
  const size_t by_decimal_desc = AddKey(&fx.def, 0, {-6});
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> wide(-1e6, 1e6);
  std::uniform_int_distribution<int64_t> cents(-9999999, 9999999);
  auto sign = [](double x) { return (x > 0) - (x < 0); };
  for (int i = 0; i < 2000; ++i) {
    const double x = wide(rng) * (i % 3 == 0 ? 1e-5 : 1.0), y = wide(rng);
    V rx = BlankRecord(), ry = BlankRecord();
    Put(&rx, 22, x);
    Put(&ry, 22, y);
    Put(&rx, 18, static_cast<float>(x));
    Put(&ry, 18, static_cast<float>(y));
    ASSERT_EQ(sign(CompareKeys(fx.Build(by_double, rx), fx.Build(by_double, ry))), sign(x - y))
        << x << " " << y;
    const double fx_ = static_cast<float>(x), fy = static_cast<float>(y);
    ASSERT_EQ(sign(CompareKeys(fx.Build(by_single, rx), fx.Build(by_single, ry))), sign(fx_ - fy))
        << x << " " << y;
    const int64_t a = cents(rng) / (i % 4 == 0 ? 1000 : 1), b = cents(rng);
    PutDecimal(&rx, 30, a);
    PutDecimal(&ry, 30, b);
    const int want = (a > b) - (a < b);
    ASSERT_EQ(sign(CompareKeys(fx.Build(by_decimal, rx), fx.Build(by_decimal, ry))), want)
        << a << " " << b;
    ASSERT_EQ(sign(CompareKeys(fx.Build(by_decimal_desc, rx), fx.Build(by_decimal_desc, ry))),
              -want);
  }
}

TEST(KeyValueTest, StringLayoutsAndComposition) {
  Fixture fx;
  const size_t key = AddKey(&fx.def, kKeyNoCase, {7, 8, -2});
  V r = BlankRecord();
  PutText(&r, 34, "ab");  // CSTRING: "ab", NUL, garbage after the terminator
  r[37] = 'Q';
  r[40] = 3;  // PSTRING of length 3
  PutText(&r, 41, "cdeZZ");
  Put(&r, 10, int32_t{1});
  EXPECT_EQ(fx.Build(key, r),
            (V{'A', 'B', 0, 0, 0, 0, 'C', 'D', 'E', 0, 0, 0, 0x7F, 0xFF, 0xFF, 0xFE}));
}

TEST(KeyValueTest, DupAppendsRecordNumberAndOptLeavesEmptyRecordsOut) {
  Fixture fx;
  const size_t dup = AddKey(&fx.def, kKeyDup, {1});
  const size_t unique = AddKey(&fx.def, 0, {1});
  const size_t opt = AddKey(&fx.def, kKeyOpt | kKeyDup, {1, 2});
  V r = BlankRecord();
  PutText(&r, 0, "same");
  const V first = fx.Build(dup, r, 7), second = fx.Build(dup, r, 300);
  EXPECT_EQ(first.size(), 14u);
  EXPECT_EQ(V(first.end() - 4, first.end()), (V{0, 0, 0, 7}));
  EXPECT_LT(CompareKeys(first, second), 0) << "duplicates in record-number order";
  EXPECT_EQ(fx.Build(unique, r, 7), fx.Build(unique, r, 300));
  EXPECT_EQ(fx.Build(unique, r, 7).size(), 10u);

  EXPECT_EQ(fx.Build(opt, BlankRecord(), 1, KeyBuild::kOmitted).size(), 18u);
  V zero_but_one = BlankRecord();
  Put(&zero_but_one, 10, int32_t{1});
  (void)fx.Build(opt, zero_but_one, 1, KeyBuild::kBuilt);
  // Empty strings of the other layouts count as empty.
  const size_t opt_c = AddKey(&fx.def, kKeyOpt, {7, 8});
  V c = BlankRecord();
  c[35] = 'x';  // behind the empty CSTRING's terminator
  (void)fx.Build(opt_c, c, 1, KeyBuild::kOmitted);
}

TEST(KeyValueTest, OemTablesCollateTheOemFormOfTheText) {
  Fixture fx;
  const size_t key = AddKey(&fx.def, kKeyNoCase, {1});
  V r = BlankRecord();
  r[0] = 0xE9;                   // e acute in ANSI
  fx.tables.upper[0xE9] = 0xC9;  // the stored upper-case map folds it
  for (size_t i = 0; i < 256; ++i) fx.tables.oem_collation[i] = static_cast<uint8_t>(255 - i);
  V out;
  const KeyContext oem{&fx.def, &fx.tables, TextForm::kOem};
  ASSERT_EQ(BuildKeyValue(oem, key, r, 1, &out), KeyBuild::kBuilt);
  // Upper-cased in ANSI first (0xE9 -> 0xC9), then converted (E acute is 0x90 in the OEM set),
  // then the OEM collation.
  EXPECT_EQ(out[0], 255 - 0x90);
  EXPECT_EQ(out[1], 255 - ' ');
  EXPECT_EQ(fx.Build(key, r)[0], 0xC9) << "an ANSI table uses the ANSI collation";
}

TEST(KeyValueTest, CheckRefusesDefinitionsTheBuilderCannotServe) {
  TableDefinition d = Definition();
  EXPECT_EQ(CheckDefinition(d), "");
  d.fields[1].size = 3;  // a LONG of three bytes
  EXPECT_NE(CheckDefinition(d), "");
  d = Definition();
  d.fields[0].offset = 45;  // runs past the record
  EXPECT_NE(CheckDefinition(d), "");
  d = Definition();
  KeyDef k;
  k.label = "T:BAD";
  k.components.push_back({40, SortOrder::kAscending});
  d.keys.push_back(k);
  EXPECT_NE(CheckDefinition(d), "");
  d = Definition();
  d.record_length = 15001;
  EXPECT_NE(CheckDefinition(d), "");
}

}  // namespace
}  // namespace pellucor::data::kestrune
