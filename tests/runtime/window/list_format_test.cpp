#include "runtime/window/list_format.h"

#include <gtest/gtest.h>

namespace pellucor::runtime {
namespace {

// The main browse: an icon column with a centred heading and a blank-when-zero date, then three
// plain resizable columns.
TEST(ListFormat, MainBrowseColumns) {
  const ListFormat f = ParseListFormat(
      "50R(2)|MI~Reminder Date~C(0)@D17B@39L(2)|M~NoteDate~@d17@80L(2)|M~Topic~@s60@"
      "140L(2)|M~Main Memo~@s255@");
  ASSERT_TRUE(f.ok) << f.error;
  ASSERT_EQ(f.columns.size(), 4u);

  const ListColumn& date = f.columns[0];
  EXPECT_EQ(date.width, 50);
  EXPECT_EQ(date.align, ColumnAlign::kRight);
  EXPECT_EQ(date.indent, 2);
  EXPECT_TRUE(date.right_border);
  EXPECT_TRUE(date.resizable);
  EXPECT_TRUE(date.icon);
  EXPECT_FALSE(date.tree);
  EXPECT_EQ(date.heading, "Reminder Date");
  EXPECT_EQ(date.heading_align, ColumnAlign::kCenter);
  EXPECT_EQ(date.heading_indent, 0);
  EXPECT_EQ(date.picture, "@D17B");
  EXPECT_TRUE(date.blank_when_zero);
  // The icon's entry is in the field after the date, so the next column starts one further on.
  EXPECT_EQ(date.field, 1);
  EXPECT_EQ(date.icon_field, 2);

  const ListColumn& note_date = f.columns[1];
  EXPECT_EQ(note_date.width, 39);
  EXPECT_EQ(note_date.align, ColumnAlign::kLeft);
  EXPECT_EQ(note_date.heading, "NoteDate");
  EXPECT_EQ(note_date.heading_align, ColumnAlign::kLeft);  // the column's own
  EXPECT_EQ(note_date.picture, "@d17");
  EXPECT_FALSE(note_date.blank_when_zero);
  EXPECT_FALSE(note_date.icon);
  EXPECT_EQ(note_date.icon_field, 0);
  EXPECT_EQ(note_date.field, 3);

  EXPECT_EQ(f.columns[2].width, 80);
  EXPECT_EQ(f.columns[2].heading, "Topic");
  EXPECT_EQ(f.columns[2].picture, "@s60");
  EXPECT_EQ(f.columns[2].field, 4);
  EXPECT_EQ(f.columns[3].width, 140);
  EXPECT_EQ(f.columns[3].heading, "Main Memo");
  EXPECT_EQ(f.columns[3].picture, "@s255");
  EXPECT_EQ(f.columns[3].field, 5);
}

// The archive browse: a centred column with a left-aligned heading, and headings with an explicit
// indent of 0 under indented columns.
TEST(ListFormat, ArchiveBrowseHeadingsAlignOnTheirOwn) {
  const ListFormat f = ParseListFormat(
      "41L|M~REMINDERDATE~@D17B@43C|M~NOTEDATE~L@d17@126L(1)|M~TOPIC~L(0)@s60@"
      "1020L(1)|M~MAINMEMO~L(0)@s255@");
  ASSERT_TRUE(f.ok) << f.error;
  ASSERT_EQ(f.columns.size(), 4u);
  EXPECT_EQ(f.columns[0].width, 41);
  EXPECT_EQ(f.columns[0].indent, 0);
  EXPECT_TRUE(f.columns[0].blank_when_zero);
  EXPECT_EQ(f.columns[1].align, ColumnAlign::kCenter);
  EXPECT_EQ(f.columns[1].heading_align, ColumnAlign::kLeft);
  EXPECT_EQ(f.columns[2].indent, 1);
  EXPECT_EQ(f.columns[2].heading_indent, 0);
  EXPECT_EQ(f.columns[3].width, 1020);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(f.columns[i].field, i + 1);
}

TEST(ListFormat, QueryDialogs) {
  const ListFormat fields =
      ParseListFormat("91L|M~Field~@s20@44C|M~Operator~L@s10@120C|M~Value~L@s30@");
  ASSERT_TRUE(fields.ok) << fields.error;
  ASSERT_EQ(fields.columns.size(), 3u);
  EXPECT_EQ(fields.columns[1].heading, "Operator");
  EXPECT_EQ(fields.columns[1].align, ColumnAlign::kCenter);
  EXPECT_EQ(fields.columns[2].heading_align, ColumnAlign::kLeft);
  EXPECT_EQ(fields.columns[2].picture, "@s30");

  // No picture; the column names its field.
  const ListFormat saved = ParseListFormat("20L(1)~Selections~#2#");
  ASSERT_TRUE(saved.ok) << saved.error;
  ASSERT_EQ(saved.columns.size(), 1u);
  EXPECT_EQ(saved.columns[0].width, 20);
  EXPECT_EQ(saved.columns[0].indent, 1);
  EXPECT_FALSE(saved.columns[0].right_border);
  EXPECT_EQ(saved.columns[0].heading, "Selections");
  EXPECT_TRUE(saved.columns[0].picture.empty());
  EXPECT_EQ(saved.columns[0].field, 2);
}

TEST(ListFormat, TreeAndIconColumnsTakeTheirExtraFields) {
  const ListFormat f = ParseListFormat("60L(2)TJ~Name~@s20@30R@n6@#9#10D(4)@n8.2@");
  ASSERT_TRUE(f.ok) << f.error;
  ASSERT_EQ(f.columns.size(), 3u);
  EXPECT_TRUE(f.columns[0].tree);
  EXPECT_TRUE(f.columns[0].transparent_icon);
  EXPECT_EQ(f.columns[0].field, 1);
  EXPECT_EQ(f.columns[0].icon_field, 2);
  EXPECT_EQ(f.columns[0].tree_field, 3);
  EXPECT_EQ(f.columns[1].field, 9);
  EXPECT_FALSE(f.columns[1].has_heading);
  EXPECT_EQ(f.columns[2].field, 10);  // counting goes on after an explicit field
  EXPECT_EQ(f.columns[2].align, ColumnAlign::kDecimal);
  EXPECT_EQ(f.columns[2].indent, 4);
}

TEST(ListFormat, FaultsNameTheColumnAndPlace) {
  struct Case {
    const char* text;
    const char* error;
    size_t position;
  };
  const Case cases[] = {
      {"", "the format has no column", 0},
      {"L(2)~A~", "column 1: width expected", 0},
      {"20X", "column 1: alignment L, R, C or D expected", 2},
      {"20L(~A~", "column 1: indent expected after \"(\"", 4},
      {"20L(2~A~", "column 1: \")\" expected after the indent", 5},
      {"20L~Heading", "column 1: the heading is not closed by \"~\"", 3},
      {"20L~A~@s20", "column 1: the picture is not closed by \"@\"", 6},
      {"20L@s20@30R~B~#0#", "column 2: field number expected after \"#\"", 16},
      {"20L@s20@Q", "column 1: unexpected \"Q\"", 8},
  };
  for (const Case& c : cases) {
    const ListFormat f = ParseListFormat(c.text);
    EXPECT_FALSE(f.ok) << c.text;
    EXPECT_EQ(f.error, c.error) << c.text;
    EXPECT_EQ(f.position, c.position) << c.text;
  }
}

TEST(ListFormat, AWidthBeyondThirtyTwoBitsIsRefused) {
  const ListFormat f = ParseListFormat("99999999999L");
  EXPECT_FALSE(f.ok);
  EXPECT_EQ(f.error, "column 1: width expected");
}

}  // namespace
}  // namespace pellucor::runtime
