#include "runtime/window/popup_text.h"

#include <gtest/gtest.h>

namespace pellucor::runtime {
namespace {

using Kind = PopupEntry::Kind;

// The browse's popup as its manager writes it: mirrored buttons, a separator, the query submenu
// with an icon and saved queries, and the rest.
TEST(PopupText, BrowseActionsWithQuerySubmenu) {
  const PopupMenu m = ParsePopupText(
      "&Insert|~&Change|&Delete|&Print|-|{[6(~QkLoad.ico)]&Query|-|Recent|+Empty|-|C&lear}"
      "|&Select|&Toolbox");
  ASSERT_TRUE(m.ok) << m.error;
  ASSERT_EQ(m.entries.size(), 8u);
  EXPECT_EQ(m.item_count, 9);

  EXPECT_EQ(m.entries[0].text, "&Insert");
  EXPECT_EQ(m.entries[0].number, 1);
  EXPECT_TRUE(m.entries[1].disabled);
  EXPECT_EQ(m.entries[1].text, "&Change");
  EXPECT_EQ(m.entries[1].number, 2);
  EXPECT_EQ(m.entries[4].kind, Kind::kSeparator);
  EXPECT_EQ(m.entries[4].number, 0);

  const PopupEntry& query = m.entries[5];
  EXPECT_EQ(query.kind, Kind::kSubmenu);
  EXPECT_EQ(query.text, "&Query");
  EXPECT_EQ(query.icon_property, "6");
  EXPECT_EQ(query.icon, "~QkLoad.ico");
  EXPECT_EQ(query.number, 0);  // a submenu's title is not a choice
  ASSERT_EQ(query.children.size(), 5u);
  EXPECT_EQ(query.children[1].text, "Recent");
  EXPECT_EQ(query.children[1].number, 5);
  EXPECT_TRUE(query.children[2].checked);
  EXPECT_EQ(query.children[2].text, "Empty");
  EXPECT_EQ(query.children[4].number, 7);

  EXPECT_EQ(m.entries[6].number, 8);
  EXPECT_EQ(PopupItemText(m, 8), "Select");
  EXPECT_EQ(PopupItemText(m, 7), "Clear");
  EXPECT_EQ(PopupItemText(m, 10), "");
}

TEST(PopupText, FlagsAndIconInAnyOrderBeforeTheText) {
  const PopupMenu m = ParsePopupText("+~Both|[31(~a.ico)]~Icon first|~[31(~b.ico)]Flag first");
  ASSERT_TRUE(m.ok) << m.error;
  ASSERT_EQ(m.entries.size(), 3u);
  EXPECT_TRUE(m.entries[0].checked && m.entries[0].disabled);
  EXPECT_EQ(m.entries[1].icon, "~a.ico");
  EXPECT_TRUE(m.entries[1].disabled);
  EXPECT_EQ(m.entries[2].icon, "~b.ico");
  EXPECT_EQ(m.entries[2].text, "Flag first");
}

TEST(PopupText, NestedSubmenusNumberInOrder) {
  const PopupMenu m = ParsePopupText("A|{Outer|B|{Inner|C|D}|E}|F|{Empty}");
  ASSERT_TRUE(m.ok) << m.error;
  EXPECT_EQ(m.item_count, 6);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(PopupItemText(m, i), std::string(1, "ABCDEF"[i - 1]));
  EXPECT_TRUE(m.entries[3].children.empty());
  EXPECT_EQ(m.entries[3].text, "Empty");
}

TEST(PopupText, FaultsAreReported) {
  const char* bad[] = {
      "",                // nothing to show
      "A||B",            // an empty item
      "A|",              // a trailing empty item
      "{Sub|A",          // a submenu left open
      "A}",              // a close without a submenu
      "A|{Sub|B}C",      // text straight after a submenu
      "[6(~x.ico]Item",  // an icon block not closed
      "[6()]Item",       // an icon without a name
      "Item{Sub}",       // a submenu inside an item's text
  };
  for (const char* text : bad) {
    const PopupMenu m = ParsePopupText(text);
    EXPECT_FALSE(m.ok) << text;
    EXPECT_FALSE(m.error.empty()) << text;
  }
}

TEST(PopupText, ADashWithFlagsIsAnItemNotASeparator) {
  const PopupMenu m = ParsePopupText("~-");
  ASSERT_TRUE(m.ok);
  EXPECT_EQ(m.entries[0].kind, Kind::kItem);
  EXPECT_EQ(m.item_count, 1);
}

}  // namespace
}  // namespace pellucor::runtime
