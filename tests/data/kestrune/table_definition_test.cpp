#include "data/kestrune/table_definition.h"

#include <gtest/gtest.h>

#include <string>

namespace pellucor::data::kestrune {
namespace {

using runtime::TypeCode;
using V = std::vector<uint8_t>;

void Text(V* v, const std::string& s) {
  v->insert(v->end(), s.begin(), s.end());
  v->push_back(0);
}

TableDefinition Small() {
  TableDefinition d;
  d.record_length = 12;
  FieldDef topic;
  topic.type = TypeCode::kString;
  topic.label = "N:TOPIC";
  topic.size = 8;
  FieldDef count;
  count.type = TypeCode::kLong;
  count.offset = 8;
  count.label = "N:COUNT";
  count.size = 4;
  count.index = 1;
  d.fields = {topic, count};
  KeyDef key;
  key.label = "N:K";
  key.flags = kKeyDup | kKeyPrimary;
  key.components = {{0, SortOrder::kDescending}};
  d.keys = {key};
  return d;
}

// A table with every optional part: pictures, decimals, memos and a blob, names.
TableDefinition Full() {
  TableDefinition d = Small();
  d.record_length = 20;
  FieldDef amount;
  amount.type = TypeCode::kDecimal;
  amount.offset = 12;
  amount.label = "N:AMOUNT";
  amount.size = 4;
  amount.index = 2;
  amount.digits = 7;
  amount.places = 2;
  FieldDef code;
  code.type = TypeCode::kCString;
  code.offset = 16;
  code.label = "N:CODE";
  code.size = 4;
  code.index = 3;
  code.picture_value = 0x0203;
  code.picture = "@s3";
  FieldDef code_over = code;
  code_over.type = TypeCode::kGroup;
  code_over.label = "N:RAW";
  code_over.overlay = 1;
  code_over.index = 4;
  code_over.picture.reset();
  code_over.picture_value = 0;
  d.fields.push_back(amount);
  d.fields.push_back(code);
  d.fields.push_back(code_over);
  d.memos.push_back({std::string("NOTES"), "N:NOTES", 5050, 0});
  d.memos.push_back({std::nullopt, "N:PICTURE", 0, kMemoBlob | kMemoBinary});
  KeyDef second;
  second.external_name = "";
  second.label = "N:BYCODE";
  second.flags = kKeyNoCase | kKeyOpt;
  second.components = {{3, SortOrder::kAscending}, {2, SortOrder::kDescending}};
  d.keys.push_back(second);
  return d;
}

TEST(TableDefinitionTest, EncodesTheHandBuiltStream) {
  V want = {0x01, 0x00, 0x0C, 0x00, 0x02, 0x00, 0x00, 0x00, 0x01, 0x00};
  want.insert(want.end(), {0x12, 0x00, 0x00});
  Text(&want, "N:TOPIC");
  want.insert(want.end(), {0x01, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00,  // dims, size, ...
                           0x00, 0x00, 0x00, 0x01});                        // picture: absent
  want.insert(want.end(), {0x06, 0x08, 0x00});
  Text(&want, "N:COUNT");
  want.insert(want.end(), {0x01, 0x00, 0x04, 0x00, 0x00, 0x00, 0x01, 0x00});
  want.insert(want.end(), {0x00, 0x01});  // key without external name
  Text(&want, "N:K");
  want.insert(want.end(), {0x11, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00});
  EXPECT_EQ(EncodeDefinition(Small()), want);
}

TEST(TableDefinitionTest, RoundTripsAndKeepsAbsentAndEmptyTextsApart) {
  const TableDefinition full = Full();
  EXPECT_EQ(CheckDefinition(full), "");
  EXPECT_EQ(full.version(), 2);
  const V stream = EncodeDefinition(full);
  EXPECT_EQ(stream[0], 2);
  TableDefinition back;
  ASSERT_TRUE(ParseDefinition(stream, &back));
  EXPECT_EQ(back, full);
  EXPECT_FALSE(back.memos[1].external_name.has_value());
  ASSERT_TRUE(back.keys[1].external_name.has_value());
  EXPECT_EQ(*back.keys[1].external_name, "");

  // Blocks of 512 bytes put back together give the stream.
  TableDefinition wide = Full();
  for (int i = 0; i < 60; ++i) {
    FieldDef f = wide.fields[0];
    f.label = "N:FIELD_WITH_A_LONG_LABEL_" + std::to_string(i);
    f.index = static_cast<uint16_t>(wide.fields.size());
    f.overlay = 1;
    wide.fields.push_back(f);
  }
  const V big = EncodeDefinition(wide);
  const auto blocks = DefinitionBlocks(big);
  ASSERT_GT(blocks.size(), 2u);
  V joined;
  for (size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(blocks[i].size(), i + 1 < blocks.size() ? 512u : big.size() % 512);
    joined.insert(joined.end(), blocks[i].begin(), blocks[i].end());
  }
  ASSERT_TRUE(ParseDefinition(joined, &back));
  EXPECT_EQ(back, wide);
}

TEST(TableDefinitionTest, DamagedStreamsAreRefused) {
  const V stream = EncodeDefinition(Full());
  TableDefinition back;
  for (size_t cut = 0; cut < stream.size(); ++cut) {
    EXPECT_FALSE(ParseDefinition(V(stream.begin(), stream.begin() + cut), &back)) << cut;
  }
  V longer = stream;
  longer.push_back(0);
  EXPECT_FALSE(ParseDefinition(longer, &back));
  V version = stream;
  version[0] = 3;
  EXPECT_FALSE(ParseDefinition(version, &back));
  version[0] = 1;  // says "no blob" but has one
  EXPECT_FALSE(ParseDefinition(version, &back));
  V counts = stream;
  counts[4] = 0xFF, counts[5] = 0xFF;  // 65535 fields
  EXPECT_FALSE(ParseDefinition(counts, &back));
}

TEST(TableDefinitionTest, ComparisonIgnoresOnlyPrimary) {
  const TableDefinition stored = Full();
  TableDefinition declared = Full();
  declared.keys[0].flags &= ~kKeyPrimary;
  declared.keys[1].flags |= kKeyPrimary | kKeyIndex;
  EXPECT_EQ(CompareDefinitions(stored, declared), "");

  declared = Full();
  declared.keys[1].flags &= ~kKeyNoCase;
  EXPECT_EQ(CompareDefinitions(stored, declared), "key 2 (N:BYCODE): flags");
  declared = Full();
  declared.keys[0].components[0].order = SortOrder::kAscending;
  EXPECT_EQ(CompareDefinitions(stored, declared), "key 1 (N:K): components");
  declared = Full();
  declared.fields[3].picture = "@s4";
  EXPECT_EQ(CompareDefinitions(stored, declared), "field 4 (N:CODE): picture");
  declared = Full();
  declared.fields[2].places = 3;
  EXPECT_EQ(CompareDefinitions(stored, declared), "field 3 (N:AMOUNT): digits or places");
  declared = Full();
  declared.memos[0].size = 5000;
  EXPECT_EQ(CompareDefinitions(stored, declared), "memo 1 (N:NOTES): size");
  declared = Full();
  declared.record_length = 21;
  EXPECT_EQ(CompareDefinitions(stored, declared), "record length");
  declared = Full();
  declared.keys.pop_back();
  EXPECT_EQ(CompareDefinitions(stored, declared), "number of keys");

  // What comes back from the file compares equal to the declaration it was written from.
  TableDefinition back;
  ASSERT_TRUE(ParseDefinition(EncodeDefinition(stored), &back));
  EXPECT_EQ(CompareDefinitions(back, stored), "");
}

TEST(TableDefinitionTest, DeclarationComponents) {
  EXPECT_EQ(ComponentFromFieldNumber(1)->field_index, 0);
  EXPECT_EQ(ComponentFromFieldNumber(1)->order, SortOrder::kAscending);
  EXPECT_EQ(ComponentFromFieldNumber(-3)->field_index, 2);
  EXPECT_EQ(ComponentFromFieldNumber(-3)->order, SortOrder::kDescending);
  EXPECT_FALSE(ComponentFromFieldNumber(0).has_value());
}

}  // namespace
}  // namespace pellucor::data::kestrune
