// The resizer's arithmetic: where one control goes when the rectangle it is laid out against
// changes, and the strategies each control kind gets by default. Pure functions of their inputs,
// so every rule can be checked with numbers worked out by hand.
//
// All rectangles are in dialog units of the window's client area.
#pragma once

#include <cstdint>

namespace pellucor::framework {

struct ResizeRect {
  int32_t XPOS = 0;
  int32_t YPOS = 0;
  int32_t WIDTH = 0;
  int32_t HEIGHT = 0;
  friend bool operator==(const ResizeRect&, const ResizeRect&) = default;
};

// Window-wide strategies (APPSTRATEGY). Any other value lays everything out in proportion, as 0.
inline constexpr uint8_t kAppProportional = 0;  // every control moves and scales in proportion
inline constexpr uint8_t kAppResize = 1;        // in proportion; buttons stay by their nearest
                                                // edges, one-line controls keep their height
inline constexpr uint8_t kAppSpread = 2;        // lists, texts, groups and sheets take up the new
                                                // space; entries widen; buttons keep their size
inline constexpr uint8_t kAppFixed = 3;         // nothing moves or changes size

// Position strategy: the low byte is the horizontal rule, the high byte the vertical one. A code
// not listed (0 among them) moves the control in proportion.
inline constexpr uint16_t kPosProportional = 0x0000;
inline constexpr uint16_t kPosKeepX = 0x0001;        // the initial x, whatever happens
inline constexpr uint16_t kPosFixRight = 0x0002;     // the distance from the right edge
inline constexpr uint16_t kPosFixLeft = 0x0003;      // the distance from the left edge
inline constexpr uint16_t kPosFixCentreX = 0x0004;   // the offset from the horizontal centre
inline constexpr uint16_t kPosFixNearestX = 0x0005;  // right or left, whichever edge is nearer
inline constexpr uint16_t kPosKeepY = 0x0100;        // the initial y
inline constexpr uint16_t kPosFixBottom = 0x0200;    // the distance from the bottom edge
inline constexpr uint16_t kPosFixTop = 0x0300;       // the distance from the top edge
inline constexpr uint16_t kPosFixCentreY = 0x0400;   // the offset from the vertical centre
inline constexpr uint16_t kPosFixNearestY = 0x0500;  // bottom or top, whichever is nearer

// Size strategy: a set of bits. Without kSizeLockWidth and kSizeConstantRight the width scales
// with the reference; without kSizeLockHeight and kSizeConstantBottom the height does.
inline constexpr uint16_t kSizeScale = 0x0;
inline constexpr uint16_t kSizeLockWidth = 0x1;
inline constexpr uint16_t kSizeLockHeight = 0x2;
inline constexpr uint16_t kSizeConstantRight = 0x4;   // the right margin stays as it was
inline constexpr uint16_t kSizeConstantBottom = 0x8;  // the bottom margin stays as it was

// The defaults a control of `kind` (a window-engine kind code) gets under `app_strategy`.
[[nodiscard]] uint16_t DefaultPositionalStrategy(uint8_t app_strategy, int32_t kind);
[[nodiscard]] uint16_t DefaultResizeStrategy(uint8_t app_strategy, int32_t kind);

// The rectangle of a control whose initial rectangle is `control`, laid out against a reference
// (its parent, or the window's client area at 0, 0) whose initial rectangle was `original` and
// whose rectangle is now `current`.
//
// Scaling multiplies by current/original (1 when the original extent is 0) and rounds to the
// nearest integer, halves away from zero. A proportional position keeps the control's offset in
// its reference in proportion, so a child stays where it was inside a parent that moved. A width
// or height that would come out negative (a reference shrunk below the control's margins) is 0.
[[nodiscard]] ResizeRect NewControlRect(const ResizeRect& control, const ResizeRect& original,
                                        const ResizeRect& current, uint16_t positional,
                                        uint16_t resize);

}  // namespace pellucor::framework
