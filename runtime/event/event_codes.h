// Event numbers. An event is a 16-bit number: field events (from 0x01) concern one control,
// window events (from 0x201) the window. Inside the window engine an event travels as a message
// numbered kEventMessageBase plus the event; procedures only see the event.
#pragma once

#include <cstdint>
#include <string_view>

namespace pellucor::runtime {

enum class Event : uint16_t {
  kNone = 0,
  // Field events.
  kAccepted = 0x01,
  kNewSelection = 0x02,
  kScrollUp = 0x03,
  kScrollDown = 0x04,
  kPageUp = 0x05,
  kPageDown = 0x06,
  kScrollTop = 0x07,
  kScrollBottom = 0x08,
  kLocate = 0x09,
  kMouseUp = 0x0A,
  kMouseIn = 0x0B,
  kMouseOut = 0x0C,
  kMouseMove = 0x0D,
  kVBXevent = 0x0E,
  kAlertKey = 0x0F,
  kPreAlert = 0x10,
  kDragging = 0x11,
  kDrag = 0x12,
  kDrop = 0x13,
  kScrollDrag = 0x14,
  kTabChanging = 0x15,
  kExpanding = 0x16,
  kContracting = 0x17,
  kExpanded = 0x18,
  kContracted = 0x19,
  kRejected = 0x1A,
  kDroppingDown = 0x1B,
  kDroppedDown = 0x1C,
  kScrollTrack = 0x1D,
  kColumnResize = 0x1E,
  kSelected = 0x101,
  // Window events.
  kCloseWindow = 0x201,
  kCloseDown = 0x202,
  kOpenWindow = 0x203,
  kOpenFailed = 0x204,
  kLoseFocus = 0x205,
  kGainFocus = 0x206,
  kSuspend = 0x208,
  kResume = 0x209,
  kNotify = 0x20A,
  kTimer = 0x20B,
  kDDErequest = 0x20C,
  kDDEadvise = 0x20D,
  kDDEdata = 0x20E,
  kDDEexecute = 0x20F,
  kDDEpoke = 0x210,
  kDDEclosed = 0x211,
  kMove = 0x220,
  kSize = 0x221,
  kRestore = 0x222,
  kMaximize = 0x223,
  kIconize = 0x224,
  kCompleted = 0x225,
  kMoved = 0x230,
  kSized = 0x231,
  kRestored = 0x232,
  kMaximized = 0x233,
  kIconized = 0x234,
  kDocked = 0x235,
  kUnDocked = 0x236,
  kBuildFile = 0x240,
  kBuildKey = 0x241,
  kBuildDone = 0x242,
};

inline constexpr uint32_t kEventMessageBase = 0x1400;
inline constexpr uint16_t kFirstWindowEvent = 0x201;

[[nodiscard]] constexpr bool IsWindowEvent(Event e) {
  return static_cast<uint16_t>(e) >= kFirstWindowEvent;
}

// The name the runtime writes into its traces ("EVENT:Accepted"); empty for a number that has
// none (a program's own events).
[[nodiscard]] std::string_view EventName(Event e);

}  // namespace pellucor::runtime
