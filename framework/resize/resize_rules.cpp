#include "framework/resize/resize_rules.h"

#include <algorithm>
#include <cmath>

#include "runtime/window/control_kind.h"

namespace pellucor::framework {

namespace {

using runtime::ControlKind;

bool IsOneOf(int32_t kind, std::initializer_list<ControlKind> kinds) {
  return std::any_of(kinds.begin(), kinds.end(),
                     [kind](ControlKind k) { return static_cast<int32_t>(k) == kind; });
}

// Controls that hold others or show much: they keep their corner and take up the new space.
bool IsSpreading(int32_t kind) {
  return IsOneOf(
      kind, {ControlKind::kImage, ControlKind::kRegion, ControlKind::kText, ControlKind::kGroup,
             ControlKind::kList, ControlKind::kSheet, ControlKind::kPanel});
}

// One-line controls: wider is useful, taller is not.
bool IsOneLine(int32_t kind) {
  return IsOneOf(kind, {ControlKind::kEntry, ControlKind::kSpin, ControlKind::kCombo,
                        ControlKind::kDropList, ControlKind::kProgress});
}

bool IsFixedSize(int32_t kind) {
  return IsOneOf(kind, {ControlKind::kButton, ControlKind::kCheck, ControlKind::kRadio});
}

bool IsButton(int32_t kind) {
  return kind == static_cast<int32_t>(ControlKind::kButton);
}

double Ratio(int32_t now, int32_t then) {
  return then == 0 ? 1.0 : static_cast<double>(now) / static_cast<double>(then);
}

int32_t Scaled(int32_t value, double ratio) {
  return static_cast<int32_t>(std::lround(value * ratio));
}

// One axis of the rules. `offset` is the control's distance from the reference's start, `size`
// its extent; `lock` tells whether its size is locked on this axis.
struct Axis {
  int32_t start;          // the control's initial coordinate
  int32_t offset;         // start minus the reference's initial start
  int32_t size;           // the control's initial extent
  int32_t ref_size;       // the reference's initial extent
  int32_t new_ref_start;  // the reference's start now
  int32_t new_ref_size;   // the reference's extent now
  double ratio;
  bool lock;
};

int32_t Place(const Axis& a, uint8_t rule) {
  if (rule == 5) rule = a.offset >= a.ref_size - a.offset - a.size ? 2 : 3;
  switch (rule) {
    case 1:
      return a.start;
    case 2: {
      const int32_t d = a.lock ? a.ref_size - a.offset : Scaled(a.ref_size - a.offset, a.ratio);
      return a.new_ref_start + a.new_ref_size - d;
    }
    case 3:
      return a.new_ref_start + a.offset;
    case 4: {
      const int32_t half = a.ref_size / 2 - a.offset;
      const int32_t d = a.lock ? half : Scaled(half, a.ratio);
      return a.new_ref_start + a.new_ref_size / 2 - d;
    }
    default:
      return a.new_ref_start + Scaled(a.offset, a.ratio);
  }
}

}  // namespace

uint16_t DefaultPositionalStrategy(uint8_t app_strategy, int32_t kind) {
  switch (app_strategy) {
    case kAppFixed:
      return kPosKeepX | kPosKeepY;
    case kAppResize:
      return IsButton(kind) ? kPosFixNearestX | kPosFixNearestY : kPosProportional;
    case kAppSpread:
      if (IsSpreading(kind)) return kPosFixLeft | kPosFixTop;
      if (IsOneLine(kind)) return kPosProportional | kPosFixTop;
      if (IsButton(kind)) return kPosFixNearestX | kPosFixNearestY;
      return kPosProportional;
    default:
      return kPosProportional;
  }
}

uint16_t DefaultResizeStrategy(uint8_t app_strategy, int32_t kind) {
  const bool spin = kind == static_cast<int32_t>(ControlKind::kSpin);
  switch (app_strategy) {
    case kAppFixed:
      return kSizeLockWidth | kSizeLockHeight;
    case kAppResize:
      // Under this strategy a spin box scales like any other control.
      if (IsOneLine(kind) && !spin) return kSizeLockHeight;
      if (IsFixedSize(kind)) return kSizeLockWidth | kSizeLockHeight;
      return kSizeScale;
    case kAppSpread:
      if (IsSpreading(kind)) return kSizeConstantRight | kSizeConstantBottom;
      if (IsOneLine(kind)) return kSizeLockHeight;
      if (IsFixedSize(kind)) return kSizeLockWidth | kSizeLockHeight;
      return kSizeScale;
    default:
      return kSizeScale;
  }
}

ResizeRect NewControlRect(const ResizeRect& control, const ResizeRect& original,
                          const ResizeRect& current, uint16_t positional, uint16_t resize) {
  const bool lock_width = (resize & kSizeLockWidth) != 0;
  const bool lock_height = (resize & kSizeLockHeight) != 0;
  const bool constant_right = (resize & kSizeConstantRight) != 0;
  const bool constant_bottom = (resize & kSizeConstantBottom) != 0;
  const Axis h{control.XPOS,
               control.XPOS - original.XPOS,
               control.WIDTH,
               original.WIDTH,
               current.XPOS,
               current.WIDTH,
               Ratio(current.WIDTH, original.WIDTH),
               lock_width};
  const Axis v{control.YPOS,
               control.YPOS - original.YPOS,
               control.HEIGHT,
               original.HEIGHT,
               current.YPOS,
               current.HEIGHT,
               Ratio(current.HEIGHT, original.HEIGHT),
               lock_height};

  ResizeRect r;
  r.WIDTH = lock_width ? control.WIDTH : Scaled(control.WIDTH, h.ratio);
  r.HEIGHT = lock_height ? control.HEIGHT : Scaled(control.HEIGHT, v.ratio);
  r.XPOS = Place(h, static_cast<uint8_t>(positional & 0xFF));
  r.YPOS = Place(v, static_cast<uint8_t>(positional >> 8));
  // The gap between the control's far edge and the reference's far edge stays as it was.
  if (constant_right) {
    r.WIDTH = current.XPOS + current.WIDTH + h.offset + control.WIDTH - original.WIDTH - r.XPOS;
  }
  if (constant_bottom) {
    r.HEIGHT = current.YPOS + current.HEIGHT + v.offset + control.HEIGHT - original.HEIGHT - r.YPOS;
  }
  r.WIDTH = std::max(r.WIDTH, 0);
  r.HEIGHT = std::max(r.HEIGHT, 0);
  return r;
}

}  // namespace pellucor::framework
