#include "data/kestrune/entry_kinds.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "data/kestrune/page_codec.h"

namespace pellucor::data::kestrune {
namespace {

using V = std::vector<uint8_t>;

TEST(EntryKindsTest, KeysMatchHandBuiltBytes) {
  V k;
  NameDirectoryKey("NOTES", &k);
  EXPECT_EQ(k, (V{0xFE, 'N', 'O', 'T', 'E', 'S'}));
  DefinitionKey(0x01020304, 2, &k);
  EXPECT_EQ(k, (V{1, 2, 3, 4, 0xFA, 0, 2}));
  CharTablesKey(7, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 0xFB, 1}));
  CounterKey(7, kDataCounter, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 0xF6, 0xF3}));
  DataKey(7, 0x0A0B0C0D, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 0xF3, 0x0A, 0x0B, 0x0C, 0x0D}));
  const V value = {'a', 'b'};
  KeyEntryKey(7, 2, value, Duplicates::kDup, 9, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 2, 'a', 'b', 0, 0, 0, 9}));
  KeyEntryKey(7, 2, value, Duplicates::kUnique, 9, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 2, 'a', 'b'}));
  MemoKey(7, 9, 1, 0x0102, &k);
  EXPECT_EQ(k, (V{0, 0, 0, 7, 0xFC, 0, 0, 0, 9, 1, 1, 2}));

  Counter c{3, 0x11223344};
  CounterData(c, &k);
  EXPECT_EQ(k, (V{3, 0, 0, 0, 0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(ParseCounterData(k)->value, 0x11223344u);
  EXPECT_FALSE(ParseCounterData(V(7)).has_value());
  NumberData(0x01000002, &k);
  EXPECT_EQ(k, (V{1, 0, 0, 2}));
  EXPECT_EQ(*ParseNumberData(k), 0x01000002u);
}

TEST(EntryKindsTest, EntriesSortByTableThenKindThenNumber) {
  // Record 256 must sort after record 255: the numbers are big-endian.
  V a, b, name, other_table;
  DataKey(5, 255, &a);
  DataKey(5, 256, &b);
  EXPECT_LT(CompareKeys(a, b), 0);
  // Every table entry sorts below the name directory, whatever the table number.
  NameDirectoryKey("", &name);
  DataKey(0xFDFFFFFF, 0xFFFFFFFF, &other_table);
  EXPECT_LT(CompareKeys(other_table, name), 0);
  // A scan of one table's data records starts at its kind prefix.
  V prefix;
  KindPrefix(5, kKindData, &prefix);
  EXPECT_LT(CompareKeys(prefix, a), 0);
  EXPECT_TRUE(std::equal(prefix.begin(), prefix.end(), a.begin()));
}

TEST(EntryKindsTest, ParseKeyNamesEveryKindAndRefusesOddBytes) {
  V k;
  NameDirectoryKey("ARCNOTES", &k);
  ParsedKey p = ParseKey(k);
  EXPECT_EQ(p.kind, EntryKind::kNameDirectory);
  EXPECT_EQ(p.table_name, "ARCNOTES");
  MemoKey(3, 4, 5, 6, &k);
  p = ParseKey(k);
  EXPECT_EQ(p.kind, EntryKind::kMemo);
  EXPECT_EQ(p.table, 3u);
  EXPECT_EQ(p.record, 4u);
  EXPECT_EQ(p.memo, 5);
  EXPECT_EQ(p.chunk, 6);
  KeyEntryKey(3, 0xEF, V{1, 2, 3}, Duplicates::kUnique, 0, &k);
  p = ParseKey(k);
  EXPECT_EQ(p.kind, EntryKind::kKeyEntry);
  EXPECT_EQ(p.key_number, 0xEF);
  EXPECT_EQ(V(p.value.begin(), p.value.end()), (V{1, 2, 3}));
  DefinitionKey(3, 1, &k);
  EXPECT_EQ(ParseKey(k).block, 1);
  CounterKey(3, 4, &k);
  EXPECT_EQ(ParseKey(k).which, 4);

  EXPECT_EQ(DescribeKey(k), "table 3 key 4 counter");
  MemoKey(3, 4, 5, 6, &k);
  EXPECT_EQ(DescribeKey(k), "table 3 record 4 memo 5 chunk 6");
  KeyEntryKey(3, 1, V{0x42, 0x0A}, Duplicates::kUnique, 0, &k);
  EXPECT_EQ(DescribeKey(k), "table 3 key 1 value 42 0A");
  EXPECT_EQ(DescribeKey(V{0, 0, 0, 1, 0xF0}), "unknown entry 00 00 00 01 F0");

  EXPECT_EQ(ParseKey(V{}).kind, EntryKind::kUnknown);
  EXPECT_EQ(ParseKey(V{0, 0, 0}).kind, EntryKind::kUnknown);
  EXPECT_EQ(ParseKey(V{0, 0, 0, 1, 0xF3, 1}).kind, EntryKind::kUnknown);  // short record number
  EXPECT_EQ(ParseKey(V{0, 0, 0, 1, 0xF0}).kind, EntryKind::kUnknown);     // no such kind
  EXPECT_EQ(ParseKey(V{0, 0, 0, 1, 0xFB, 2}).kind, EntryKind::kUnknown);
}

TEST(EntryKindsTest, NumberSequenceNeverReachesTheNameDirectory) {
  uint32_t last = 0, next = 0;
  ASSERT_EQ(NextSequenceNumber(&last, &next), 0);
  EXPECT_EQ(next, 1u);
  last = 0x00FFFFFF;
  ASSERT_EQ(NextSequenceNumber(&last, &next), 0);
  EXPECT_EQ(next, 0x01000000u) << "incremented as a four-byte number";
  last = 0xFDFFFFFE;
  ASSERT_EQ(NextSequenceNumber(&last, &next), 0);
  EXPECT_EQ(next, 0xFDFFFFFFu);
  EXPECT_EQ(NextSequenceNumber(&last, &next), kErrSequenceExhausted);
  EXPECT_EQ(last, 0xFDFFFFFFu) << "a refused number is not used up";
}

TEST(EntryKindsTest, MemosSplitIntoChunksAndJoinBack) {
  std::string text(600, 'x');
  text += std::string(100, ' ');
  auto chunks = SplitMemo(V(text.begin(), text.end()), MemoForm::kText);
  ASSERT_EQ(chunks.size(), 3u) << "trailing blanks are not stored";
  EXPECT_EQ(chunks[0].size(), 256u);
  EXPECT_EQ(chunks[2].size(), 600u - 512u);
  EXPECT_EQ(JoinMemo(chunks, MemoForm::kText)->size(), 600u);
  EXPECT_TRUE(SplitMemo(V(50, ' '), MemoForm::kText).empty());
  EXPECT_EQ(SplitMemo(V(50, ' '), MemoForm::kBinary).size(), 1u) << "binary memos keep blanks";

  V blob(700);
  for (size_t i = 0; i < blob.size(); ++i) blob[i] = static_cast<uint8_t>(i * 7);
  chunks = SplitMemo(blob, MemoForm::kBlob);
  ASSERT_EQ(chunks.size(), 3u);
  EXPECT_EQ(chunks[0].size(), 260u);
  EXPECT_EQ(V(chunks[0].begin(), chunks[0].begin() + 4), (V{0xBC, 0x02, 0, 0}));
  EXPECT_EQ(*JoinMemo(chunks, MemoForm::kBlob), blob);
  chunks.pop_back();  // a chunk lost: the size cannot be filled
  EXPECT_FALSE(JoinMemo(chunks, MemoForm::kBlob).has_value());
  EXPECT_TRUE(SplitMemo({}, MemoForm::kBlob).empty());
  EXPECT_TRUE(JoinMemo({}, MemoForm::kBlob)->empty());
}

}  // namespace
}  // namespace pellucor::data::kestrune
