// The layout rules on their own, with every expected rectangle worked out by hand from the rules.
// Most cases lay out against a window whose client area grows from 200 x 100 to 300 x 150
// (ratios 1.5 and 1.5), or against a parent that moves from (50, 20) to (70, 30) and doubles.
#include <gtest/gtest.h>

#include <vector>

#include "framework/resize/resize_rules.h"
#include "runtime/window/control_kind.h"
#include "tests/framework/resize/resize_test_util.h"

namespace pellucor::framework {
namespace {

using runtime::ControlKind;

constexpr ResizeRect kWindowThen{0, 0, 200, 100};
constexpr ResizeRect kWindowNow{0, 0, 300, 150};
constexpr ResizeRect kParentThen{50, 20, 100, 60};
constexpr ResizeRect kParentNow{70, 30, 200, 120};

int32_t Code(ControlKind kind) {
  return static_cast<int32_t>(kind);
}

ResizeRect Grown(const ResizeRect& control, uint16_t positional, uint16_t resize) {
  return NewControlRect(control, kWindowThen, kWindowNow, positional, resize);
}

TEST(ResizeRulesTest, SpreadingControlsKeepTheirCornerAndTheirRightAndBottomMargins) {
  // A list of the spread strategy: margins 90 on the right and 40 at the bottom, before and after.
  const int32_t list = Code(ControlKind::kList);
  const ResizeRect r = Grown({10, 10, 100, 50}, DefaultPositionalStrategy(kAppSpread, list),
                             DefaultResizeStrategy(kAppSpread, list));
  EXPECT_EQ(r, (ResizeRect{10, 10, 200, 100}));
  // Constant right wins over a locked width: the width follows the margin, the height scales.
  EXPECT_EQ(Grown({10, 10, 100, 50}, kPosFixLeft | kPosFixTop, kSizeLockWidth | kSizeConstantRight),
            (ResizeRect{10, 10, 200, 75}));
  // Against a parent the margins are the parent's: 10 on the right and 10 at the bottom.
  EXPECT_EQ(NewControlRect({60, 30, 80, 40}, kParentThen, kParentNow, kPosFixLeft | kPosFixTop,
                           kSizeConstantRight | kSizeConstantBottom),
            (ResizeRect{80, 40, 180, 100}));
}

TEST(ResizeRulesTest, ButtonsStayByTheirNearestEdgesAndKeepTheirSize) {
  const int32_t button = Code(ControlKind::kButton);
  const uint16_t pos = DefaultPositionalStrategy(kAppSpread, button);
  const uint16_t size = DefaultResizeStrategy(kAppSpread, button);
  // Bottom right: 10 from the right edge, 6 from the bottom; it stays 10 and 6 away.
  EXPECT_EQ(Grown({150, 80, 40, 14}, pos, size), (ResizeRect{250, 130, 40, 14}));
  // Top left: keeps 10 from the left and 5 from the top.
  EXPECT_EQ(Grown({10, 5, 40, 14}, pos, size), (ResizeRect{10, 5, 40, 14}));
  // Right but top: 250 = 300 - 50; y stays.
  EXPECT_EQ(Grown({150, 5, 40, 14}, pos, size), (ResizeRect{250, 5, 40, 14}));
  // Exactly in the middle counts as near the right and the bottom: 300 - 120, 150 - 57.
  EXPECT_EQ(Grown({80, 43, 40, 14}, pos, size), (ResizeRect{180, 93, 40, 14}));
  // Resize strategy: the same for buttons.
  EXPECT_EQ(DefaultPositionalStrategy(kAppResize, button), kPosFixNearestX | kPosFixNearestY);
  EXPECT_EQ(Grown({150, 80, 40, 14}, DefaultPositionalStrategy(kAppResize, button),
                  DefaultResizeStrategy(kAppResize, button)),
            (ResizeRect{250, 130, 40, 14}));
}

TEST(ResizeRulesTest, TheFixedStrategyMovesAndSizesNothing) {
  for (int32_t kind = 0; kind <= 40; ++kind) {
    SCOPED_TRACE(kind);
    const ResizeRect c{37, 21, 44, 13};
    EXPECT_EQ(Grown(c, DefaultPositionalStrategy(kAppFixed, kind),
                    DefaultResizeStrategy(kAppFixed, kind)),
              c);
    // Not even against a parent that moved.
    EXPECT_EQ(NewControlRect(c, kParentThen, kParentNow, DefaultPositionalStrategy(kAppFixed, kind),
                             DefaultResizeStrategy(kAppFixed, kind)),
              c);
  }
}

TEST(ResizeRulesTest, EntriesWidenInProportionAndKeepTheirHeightAndTop) {
  const int32_t entry = Code(ControlKind::kEntry);
  EXPECT_EQ(Grown({120, 10, 60, 12}, DefaultPositionalStrategy(kAppSpread, entry),
                  DefaultResizeStrategy(kAppSpread, entry)),
            (ResizeRect{180, 10, 90, 12}));
}

TEST(ResizeRulesTest, ProportionalControlsScaleAndRoundToTheNearestUnit) {
  EXPECT_EQ(Grown({20, 30, 40, 10}, kPosProportional, kSizeScale), (ResizeRect{30, 45, 60, 15}));
  // Ratio 1.25 across: 13 -> 16.25 -> 16, 15 -> 18.75 -> 19; ratio 0.7 down: 30 -> 21, 7 -> 4.9
  // -> 5.
  EXPECT_EQ(NewControlRect({13, 30, 15, 7}, kWindowThen, {0, 0, 250, 70}, 0, 0),
            (ResizeRect{16, 21, 19, 5}));
  // Halves round away from zero: 5 * 1.5 = 7.5 -> 8.
  EXPECT_EQ(Grown({5, 5, 5, 5}, 0, 0), (ResizeRect{8, 8, 8, 8}));
  // Codes without a rule of their own are proportional too.
  EXPECT_EQ(Grown({20, 30, 40, 10}, 0x0907, kSizeScale), (ResizeRect{30, 45, 60, 15}));
  // Checks and radios under the spread strategy move in proportion and keep their size.
  const int32_t check = Code(ControlKind::kCheck);
  EXPECT_EQ(Grown({120, 60, 50, 10}, DefaultPositionalStrategy(kAppSpread, check),
                  DefaultResizeStrategy(kAppSpread, check)),
            (ResizeRect{180, 90, 50, 10}));
}

// A control at the right edge of its parent stays at that edge when the parent moves and grows:
// its offset in the parent scales, not its position on the window (which would put it at 300,
// beyond the parent's right edge at 270).
TEST(ResizeRulesTest, AProportionalChildStaysInsideItsMovedParent) {
  EXPECT_EQ(NewControlRect({130, 30, 20, 10}, kParentThen, kParentNow, kPosProportional, 0),
            (ResizeRect{230, 50, 40, 20}));
  EXPECT_EQ(NewControlRect({60, 30, 20, 10}, kParentThen, kParentNow, kPosProportional, 0),
            (ResizeRect{90, 50, 40, 20}));
}

TEST(ResizeRulesTest, FixedEdgesAgainstAParent) {
  // Fix left and top: the offset 10, 10 from the parent's new corner.
  EXPECT_EQ(NewControlRect({60, 30, 20, 10}, kParentThen, kParentNow, kPosFixLeft | kPosFixTop,
                           kSizeLockWidth | kSizeLockHeight),
            (ResizeRect{80, 40, 20, 10}));
  // Fix right and bottom with the size locked: 70 + 200 - (100 - 10), 30 + 120 - (60 - 10).
  EXPECT_EQ(NewControlRect({60, 30, 20, 10}, kParentThen, kParentNow, kPosFixRight | kPosFixBottom,
                           kSizeLockWidth | kSizeLockHeight),
            (ResizeRect{180, 100, 20, 10}));
  // Keep: the initial position, whatever the parent did.
  EXPECT_EQ(NewControlRect({60, 30, 20, 10}, kParentThen, kParentNow, kPosKeepX | kPosKeepY, 0),
            (ResizeRect{60, 30, 40, 20}));
}

TEST(ResizeRulesTest, FixRightScalesTheDistanceUnlessTheWidthIsLocked) {
  // Distances 50 and 20 scale to 75 and 30; the size scales to 60 x 21.
  EXPECT_EQ(Grown({150, 80, 40, 14}, kPosFixRight | kPosFixBottom, kSizeScale),
            (ResizeRect{225, 120, 60, 21}));
  // Locked width only: the horizontal distance stays 50, the vertical one scales.
  EXPECT_EQ(Grown({150, 80, 40, 14}, kPosFixRight | kPosFixBottom, kSizeLockWidth),
            (ResizeRect{250, 120, 40, 21}));
}

TEST(ResizeRulesTest, FixCentreKeepsTheOffsetFromTheCentre) {
  // Centred at (100, 50) before; at (150, 75) after.
  EXPECT_EQ(
      Grown({80, 40, 40, 20}, kPosFixCentreX | kPosFixCentreY, kSizeLockWidth | kSizeLockHeight),
      (ResizeRect{130, 65, 40, 20}));
  EXPECT_EQ(Grown({80, 40, 40, 20}, kPosFixCentreX | kPosFixCentreY, kSizeScale),
            (ResizeRect{120, 60, 60, 30}));
  // Off centre: the left edge 30 left of the centre stays 30 left of it.
  EXPECT_EQ(Grown({70, 10, 10, 10}, kPosFixCentreX | kPosFixTop, kSizeLockWidth | kSizeLockHeight),
            (ResizeRect{120, 10, 10, 10}));
}

TEST(ResizeRulesTest, ShrinkingBelowTheMarginsGivesAnEmptyControlNotANegativeOne) {
  // Constant right in a 50 x 30 window: 50 + 10 + 100 - 200 - 10 = -50 across, -20 down.
  EXPECT_EQ(NewControlRect({10, 10, 100, 50}, kWindowThen, {0, 0, 50, 30}, kPosFixLeft | kPosFixTop,
                           kSizeConstantRight | kSizeConstantBottom),
            (ResizeRect{10, 10, 0, 0}));
  // Shrinking in proportion to a half.
  EXPECT_EQ(NewControlRect({20, 30, 40, 10}, kWindowThen, {0, 0, 100, 50}, 0, 0),
            (ResizeRect{10, 15, 20, 5}));
}

TEST(ResizeRulesTest, AnEmptyOriginalReferenceScalesByOne) {
  // A window that was opened with no client area: nothing to take a proportion from.
  EXPECT_EQ(NewControlRect({20, 30, 40, 10}, {0, 0, 0, 0}, kWindowNow, 0, 0),
            (ResizeRect{20, 30, 40, 10}));
}

// The default tables, kind by kind: each kind code the tables name, and everything else.
TEST(ResizeRulesTest, DefaultStrategiesByKind) {
  const std::vector<int32_t> spreading = {3, 4, 11, 13, 14, 37, 39};
  const std::vector<int32_t> one_line = {8, 10, 15, 16, 34};
  auto in = [](const std::vector<int32_t>& set, int32_t kind) {
    for (int32_t k : set) {
      if (k == kind) return true;
    }
    return false;
  };
  for (int32_t kind = 0; kind <= 45; ++kind) {
    SCOPED_TRACE(kind);
    const bool button = kind == 9;
    const bool fixed_size = kind == 9 || kind == 12 || kind == 21;
    // Spread.
    uint16_t pos = in(spreading, kind) ? 0x0303 : in(one_line, kind) ? 0x0300 : button ? 0x0505 : 0;
    uint16_t size = in(spreading, kind) ? 0xC : in(one_line, kind) ? 0x2 : fixed_size ? 0x3 : 0;
    EXPECT_EQ(DefaultPositionalStrategy(kAppSpread, kind), pos);
    EXPECT_EQ(DefaultResizeStrategy(kAppSpread, kind), size);
    // Resize: a spin box (10) is not among the kinds that keep their height.
    pos = button ? 0x0505 : 0;
    size = (kind == 8 || kind == 15 || kind == 16 || kind == 34) ? 0x2 : fixed_size ? 0x3 : 0;
    EXPECT_EQ(DefaultPositionalStrategy(kAppResize, kind), pos);
    EXPECT_EQ(DefaultResizeStrategy(kAppResize, kind), size);
    // Fixed, proportional and any unknown strategy.
    EXPECT_EQ(DefaultPositionalStrategy(kAppFixed, kind), 0x0101);
    EXPECT_EQ(DefaultResizeStrategy(kAppFixed, kind), 0x3);
    for (uint8_t other : {uint8_t{0}, uint8_t{4}, uint8_t{255}}) {
      EXPECT_EQ(DefaultPositionalStrategy(other, kind), 0);
      EXPECT_EQ(DefaultResizeStrategy(other, kind), 0);
    }
  }
  // The kind codes the tables were written for.
  EXPECT_EQ(Code(ControlKind::kSheet), 37);
  EXPECT_EQ(Code(ControlKind::kTab), 38);
  EXPECT_EQ(Code(ControlKind::kButton), 9);
  EXPECT_EQ(Code(ControlKind::kList), 14);
}

}  // namespace
}  // namespace pellucor::framework
