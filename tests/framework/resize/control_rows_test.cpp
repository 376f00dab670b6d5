// Which control each control is laid out against: the tab that holds it, else the control whose
// rectangle holds its top-left corner; and which controls get no row at all.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "framework/resize/control_rows.h"
#include "runtime/window/control_kind.h"
#include "tests/framework/resize/resize_test_util.h"

namespace pellucor::framework {
namespace {

using runtime::ControlKind;

EngineControl Ctl(int32_t number, ControlKind kind, int32_t parent, ResizeRect at = {}) {
  return EngineControl{number, static_cast<int32_t>(kind), parent, at};
}

std::map<int32_t, const ControlRow*> ById(const std::vector<ControlRow>& rows) {
  std::map<int32_t, const ControlRow*> map;
  for (const ControlRow& r : rows) map[r.ID] = &r;
  return map;
}

// A sheet with two tabs, a group standing on the second tab, and controls around them.
std::vector<EngineControl> SheetWindow() {
  return {
      Ctl(10, ControlKind::kSheet, 0, {5, 5, 150, 80}),
      Ctl(11, ControlKind::kTab, 10, {7, 20, 146, 63}),
      Ctl(12, ControlKind::kTab, 10, {7, 20, 146, 63}),
      Ctl(13, ControlKind::kEntry, 11, {20, 30, 60, 12}),
      Ctl(14, ControlKind::kGroup, 12, {15, 30, 100, 40}),
      Ctl(15, ControlKind::kCheck, 14, {20, 40, 50, 10}),
      Ctl(16, ControlKind::kEntry, 0, {10, 90, 60, 12}),
  };
}

TEST(ControlRowsTest, ControlsOnATabAreLaidOutAgainstTheNearestTab) {
  const std::vector<ControlRow> rows = BuildControlRows(kAppSpread, SheetWindow());
  auto row = ById(rows);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(row[13]->PARENTID, 11);
  // Inside a group that stands on the tab: still the tab, not the group, although the group's
  // rectangle holds the check's corner.
  EXPECT_EQ(row[15]->PARENTID, 12);
  EXPECT_EQ(row[14]->PARENTID, 12);
  // The tabs stand in the sheet's rectangle; the sheet stands on nothing.
  EXPECT_EQ(row[11]->PARENTID, 10);
  EXPECT_EQ(row[12]->PARENTID, 10);
  EXPECT_EQ(row[10]->PARENTID, 0);
  EXPECT_EQ(row[16]->PARENTID, 0);
  EXPECT_EQ(row[10]->HASCHILDREN, 1);
  EXPECT_EQ(row[11]->HASCHILDREN, 1);
  EXPECT_EQ(row[12]->HASCHILDREN, 1);
  EXPECT_EQ(row[14]->HASCHILDREN, 0);
  EXPECT_EQ(row[16]->HASCHILDREN, 0);
  // Rows carry the kind, the rectangle and the strategies of the window-wide strategy.
  EXPECT_EQ(row[10]->TYPE, 37);
  EXPECT_EQ(row[10]->POSITIONALSTRATEGY, 0x0303);
  EXPECT_EQ(row[10]->RESIZESTRATEGY, 0xC);
  EXPECT_EQ(row[13]->POS, (ResizeRect{20, 30, 60, 12}));
  EXPECT_EQ(row[15]->RESIZESTRATEGY, 0x3);
}

TEST(ControlRowsTest, ContainmentPicksTheSmallestLargerControlHoldingTheCorner) {
  const std::vector<EngineControl> controls = {
      Ctl(17, ControlKind::kGroup, 0, {160, 5, 80, 60}),
      Ctl(18, ControlKind::kCheck, 0, {165, 15, 40, 10}),
      // Same corner as the group, smaller: the group holds it, not the other way round.
      Ctl(19, ControlKind::kButton, 0, {160, 5, 40, 8}),
      Ctl(20, ControlKind::kBox, 0, {170, 20, 30, 20}),
      Ctl(21, ControlKind::kString, 0, {175, 28, 10, 5}),  // in the box, which is in the group
      Ctl(22, ControlKind::kPrompt, 0, {240, 65, 10, 8}),  // on the group's far corner: inside
      Ctl(23, ControlKind::kPrompt, 0, {241, 65, 10, 8}),  // one unit beyond: outside
  };
  const std::vector<ControlRow> rows = BuildControlRows(kAppSpread, controls);
  auto row = ById(rows);
  EXPECT_EQ(row[17]->PARENTID, 0);
  EXPECT_EQ(row[18]->PARENTID, 17);
  EXPECT_EQ(row[19]->PARENTID, 17);
  EXPECT_EQ(row[20]->PARENTID, 17);
  EXPECT_EQ(row[21]->PARENTID, 20);
  EXPECT_EQ(row[22]->PARENTID, 17);
  EXPECT_EQ(row[23]->PARENTID, 0);
  EXPECT_EQ(row[17]->HASCHILDREN, 1);
  EXPECT_EQ(row[20]->HASCHILDREN, 1);
  EXPECT_EQ(row[19]->HASCHILDREN, 0);
  EXPECT_EQ(row[21]->HASCHILDREN, 0);
}

// Two controls on the same rectangle would each hold the other's corner; a prompt overlapping a
// big list's corner would take the list in charge. Neither becomes a parent.
TEST(ControlRowsTest, NoControlParentsAnEqualOrLargerOne) {
  const std::vector<EngineControl> controls = {
      Ctl(24, ControlKind::kImage, 0, {300, 100, 20, 20}),
      Ctl(25, ControlKind::kRegion, 0, {300, 100, 20, 20}),
      Ctl(26, ControlKind::kPrompt, 0, {10, 120, 30, 10}),
      Ctl(27, ControlKind::kList, 0, {35, 122, 100, 60}),
  };
  const std::vector<ControlRow> rows = BuildControlRows(kAppSpread, controls);
  for (const ControlRow& r : rows) {
    EXPECT_EQ(r.PARENTID, 0) << r.ID;
    EXPECT_EQ(r.HASCHILDREN, 0) << r.ID;
  }
}

TEST(ControlRowsTest, MenusAndToolbarsAndWhatTheyHoldGetNoRow) {
  const std::vector<EngineControl> controls = {
      Ctl(40, ControlKind::kMenuBar, 0),
      Ctl(41, ControlKind::kMenu, 40),
      Ctl(42, ControlKind::kItem, 41),
      Ctl(43, ControlKind::kToolbar, 0),
      Ctl(44, ControlKind::kButton, 43, {0, 0, 16, 16}),
      Ctl(45, ControlKind::kList, 0, {0, 0, 100, 50}),
      Ctl(46, ControlKind::kButton, 0, {4, 4, 16, 16}),
  };
  const std::vector<ControlRow> rows = BuildControlRows(kAppResize, controls);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].ID, 45);
  EXPECT_EQ(rows[1].ID, 46);
  // The tool bar's button, at the same corner as the list, did not become the list's child.
  EXPECT_EQ(rows[1].PARENTID, 45);
  EXPECT_EQ(rows[1].POSITIONALSTRATEGY, 0x0505);
}

TEST(ControlRowsTest, AParentChainThatLoopsEnds) {
  // A description the engine should refuse: 51 and 52 hold each other. Settling must end.
  const std::vector<EngineControl> controls = {
      Ctl(51, ControlKind::kGroup, 52, {0, 0, 10, 10}),
      Ctl(52, ControlKind::kGroup, 51, {50, 50, 10, 10}),
  };
  const std::vector<ControlRow> rows = BuildControlRows(kAppSpread, controls);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].PARENTID, 0);
  EXPECT_EQ(rows[1].PARENTID, 0);
}

}  // namespace
}  // namespace pellucor::framework
