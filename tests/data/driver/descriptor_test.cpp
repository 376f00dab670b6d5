// The record descriptor as the drivers read it, and the note tables' declarations.
#include <gtest/gtest.h>

#include "data/driver/declaration.h"
#include "tests/data/driver/test_driver.h"
#include "tests/support/note_fixture.h"

namespace pellucor::data {
namespace {

using runtime::TypeCode;
using Bytes = std::vector<uint8_t>;

void Append(Bytes& out, std::initializer_list<uint8_t> bytes) {
  out.insert(out.end(), bytes);
}
void AppendText(Bytes& out, const char* text) {
  for (const char* p = text; *p; ++p) out.push_back(static_cast<uint8_t>(*p));
  out.push_back(0);
}

TEST(RecordDescriptor, NoteRecordByteForByte) {
  Bytes want;
  Append(want, {22, 0, 0x00, 0x14, 0, 0, 6, 0, 0, 0});  // GROUP, flags, 5120, 6 fields
  Append(want, {0, 0, 0, 0});                           // descriptor length, patched below
  Append(want, {18, 2, 0x20, 0x3C});
  AppendText(want, "SNO:TOPIC");
  Append(want, {18, 2, 0x01});
  AppendText(want, "SNO:REMINDER");
  Append(want, {4, 2});
  AppendText(want, "SNO:NOTEDATE");
  Append(want, {4, 2});
  AppendText(want, "SNO:REMINDERDATE");
  Append(want, {18, 2, 0x33, 0xBA});
  AppendText(want, "SNO:MAINMEMO");
  Append(want, {18, 2, 0x01});
  AppendText(want, "SNO:DONE");
  want[10] = static_cast<uint8_t>(want.size());
  want[11] = static_cast<uint8_t>(want.size() >> 8);

  testing::TestDriver driver;
  auto notes = testsupport::MakeNotesTable(&driver);
  ASSERT_TRUE(notes->well_formed);
  EXPECT_EQ(notes->record_descriptor, want);
  EXPECT_EQ(notes->record_length, 5120u);

  // The archive record is field for field the same, under its own prefix.
  auto archive = testsupport::MakeArchiveTable(&driver);
  const auto a = DecodeRecordDescriptor(archive->record_descriptor);
  const auto n = DecodeRecordDescriptor(notes->record_descriptor);
  ASSERT_TRUE(a && n);
  ASSERT_EQ(a->fields.size(), 6u);
  const uint32_t offsets[] = {0, 60, 61, 65, 69, 5119};
  for (size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(a->fields[i].offset, offsets[i]);
    EXPECT_EQ(a->fields[i].offset, n->fields[i].offset);
    EXPECT_EQ(a->fields[i].size, n->fields[i].size);
    EXPECT_EQ(a->fields[i].label.substr(0, 4), "ARC:");
  }
}

TEST(RecordDescriptor, NoteTablesKeysAndAttributes) {
  testing::TestDriver driver;
  auto notes = testsupport::MakeNotesTable(&driver);
  EXPECT_EQ(notes->CurrentName(), "plk\\!notes");
  EXPECT_EQ(notes->name_length, 10);
  EXPECT_EQ(notes->attributes, decl_attr::kCreate | decl_attr::kThread);
  EXPECT_EQ(BlockAttributes(notes->attributes), attr::kCreate | attr::kThread);
  EXPECT_FALSE(notes->owner.has_value());
  ASSERT_EQ(notes->KeyCount(), 3);
  EXPECT_EQ(notes->MemoCount(), 0);
  struct Want {
    const char* label;
    const char* description;
    std::vector<int32_t> components;
  };
  const Want want[] = {{"SNO:SNOT", "sno:SNOT", {2, 4, 1}},
                       {"SNO:ALLNOTES", "sno:allnotes", {3}},
                       {"SNO:DONYET", "sno:Donyet", {6, 4}}};
  for (size_t i = 0; i < 3; ++i) {
    const KeyDecl* k = notes->Key(i);
    EXPECT_EQ(k->label, want[i].label);
    EXPECT_EQ(k->description, want[i].description);
    EXPECT_EQ(k->components, want[i].components);
    EXPECT_EQ(k->flags, key_flag::kDup | key_flag::kOpt | key_flag::kNoCase);
    EXPECT_EQ(k->file, notes.get());
    EXPECT_FALSE(k->external_name.has_value());
  }
  EXPECT_EQ(notes->FindKey("sno:allnotes"), notes->Key(1));
  auto archive = testsupport::MakeArchiveTable(&driver);
  EXPECT_EQ(archive->CurrentName(), "plk\\!Arcnotes");
  ASSERT_EQ(archive->KeyCount(), 2);
  EXPECT_EQ(archive->Key(1)->label, "ARC:ALLNOTES");
}

TEST(RecordDescriptor, LengthCodeBoundaries) {
  for (uint32_t len : {1u, 31u, 32u, 255u, 256u, 8191u}) {
    Bytes code;
    AppendLengthCode(code, len);
    EXPECT_EQ(code.size(), len < 32 ? 1u : 2u) << len;
    std::vector<DescriptorField> fields(1);
    fields[0].type = TypeCode::kCString;
    fields[0].label = "T:F";
    fields[0].length = len;
    const auto bytes = EncodeRecordDescriptor(fields);
    ASSERT_TRUE(bytes) << len;
    const auto layout = DecodeRecordDescriptor(*bytes);
    ASSERT_TRUE(layout) << len;
    EXPECT_EQ(layout->fields[0].declared_length, len);
    EXPECT_EQ(layout->total_size, len);
  }
  // Beyond the length code the declaration cannot be stored, and its first operation says so.
  testing::TestDriver driver;
  auto too_long = DeclarationBuilder("Big", "big", &driver).Name("b").String("S", 8192).Build();
  EXPECT_FALSE(too_long->well_formed);
  EXPECT_EQ(Dispatch(*too_long, Op::kNAME).error, 47);
  auto bad_key = DeclarationBuilder("Bad", "bad", &driver)
                     .Name("b")
                     .String("S", 4)
                     .Key("K", "bad:k", 0, {"NOSUCH"})
                     .Build();
  EXPECT_FALSE(bad_key->well_formed);
}

TEST(RecordDescriptor, DecimalsDimensionsOverAndNames) {
  testing::TestDriver driver;
  auto d = DeclarationBuilder("Acct", "ac", &driver)
               .Name("acct")
               .Decimal("AMOUNT", 9, 2)
               .String("CODE", 6)
               .String("PREFIX", 2)
               .Over("CODE")
               .Field("RATES", TypeCode::kReal)
               .Dim({3, 2})
               .PictureString("PHONE", "@P(###)###-####P", 13)
               .ExternalName("Phone")
               .Build();
  ASSERT_TRUE(d->well_formed);
  const auto layout = DecodeRecordDescriptor(d->record_descriptor);
  ASSERT_TRUE(layout);
  ASSERT_EQ(layout->fields.size(), 5u);
  EXPECT_EQ(layout->fields[0].size, 5u);  // 9 digits: 9 / 2 + 1 bytes
  EXPECT_EQ(layout->fields[0].DecimalDigits(), 9u);
  EXPECT_EQ(layout->fields[0].places, 2);
  EXPECT_EQ(layout->fields[2].offset, layout->fields[1].offset);  // OVER shares the storage
  EXPECT_EQ(layout->fields[2].over, 2u);
  EXPECT_EQ(layout->fields[3].offset, 11u);
  EXPECT_EQ(layout->fields[3].element_count, 6u);
  EXPECT_EQ(layout->fields[3].size, 48u);
  EXPECT_EQ(layout->fields[4].picture, "P(###)###-####P");
  EXPECT_EQ(layout->fields[4].external_name, "Phone");
  EXPECT_EQ(layout->total_size, 5u + 6u + 48u + 13u);
  EXPECT_EQ(d->record_length, layout->total_size);
  // An OVER larger than the field it lies over is refused.
  auto bad = DeclarationBuilder("Bad", "b", &driver)
                 .Name("b")
                 .String("A", 2)
                 .String("B", 4)
                 .Over("A")
                 .Build();
  EXPECT_FALSE(bad->well_formed);
}

TEST(RecordDescriptor, DecoderRefusesDescriptorsThatDoNotHoldTogether) {
  testing::TestDriver driver;
  auto notes = testsupport::MakeNotesTable(&driver);
  const Bytes good = notes->record_descriptor;
  ASSERT_TRUE(DecodeRecordDescriptor(good));
  // Every truncation fails, none reads past the end.
  for (size_t n = 0; n < good.size(); ++n) {
    EXPECT_FALSE(DecodeRecordDescriptor(std::span(good.data(), n))) << n;
  }
  Bytes wrong_total = good;
  wrong_total[2] = 0x01;  // group size no longer the sum of the fields
  EXPECT_FALSE(DecodeRecordDescriptor(wrong_total));
  Bytes memo_type = good;
  memo_type[14] = static_cast<uint8_t>(TypeCode::kMemo);  // not a record field type
  EXPECT_FALSE(DecodeRecordDescriptor(memo_type));
  Bytes huge_count = good;
  huge_count[6] = 0xFF, huge_count[7] = 0xFF, huge_count[8] = 0xFF;
  EXPECT_FALSE(DecodeRecordDescriptor(huge_count));
  Bytes bad_length = good;
  bad_length[16] = 0x40;  // neither a one- nor a two-byte length code
  EXPECT_FALSE(DecodeRecordDescriptor(bad_length));
}

}  // namespace
}  // namespace pellucor::data
