// Key codes: the key's virtual-key number, plus kShift, kCtrl and kAlt for the modifiers held,
// and a few codes for the mouse. KEYCODE() reports the code of the key or button that caused
// the current event.
#pragma once

#include <cstdint>

namespace pellucor::runtime {

namespace key {
inline constexpr int32_t kShift = 0x100;
inline constexpr int32_t kCtrl = 0x200;
inline constexpr int32_t kAlt = 0x400;

// Mouse. A released button is its code plus kReleased.
inline constexpr int32_t kMouseLeft = 1;
inline constexpr int32_t kMouseRight = 2;
inline constexpr int32_t kMouseCenter = 4;
inline constexpr int32_t kMouseLeft2 = 5;  // double click
inline constexpr int32_t kMouseRight2 = 6;
inline constexpr int32_t kReleased = 0x80;
inline constexpr int32_t kMouseLeftUp = kMouseLeft + kReleased;
inline constexpr int32_t kMouseRightUp = kMouseRight + kReleased;  // 130

inline constexpr int32_t kBackspace = 8;
inline constexpr int32_t kTab = 9;
inline constexpr int32_t kEnter = 13;
inline constexpr int32_t kPause = 19;
inline constexpr int32_t kEscape = 27;
inline constexpr int32_t kSpace = 32;
inline constexpr int32_t kPageUp = 33;
inline constexpr int32_t kPageDown = 34;
inline constexpr int32_t kEnd = 35;
inline constexpr int32_t kHome = 36;
inline constexpr int32_t kLeft = 37;
inline constexpr int32_t kUp = 38;
inline constexpr int32_t kRight = 39;
inline constexpr int32_t kDown = 40;
inline constexpr int32_t kInsert = 45;
inline constexpr int32_t kDelete = 46;
inline constexpr int32_t k0 = 48;    // the digits: k0 + n
inline constexpr int32_t kA = 65;    // the letters: kA + n
inline constexpr int32_t kF1 = 112;  // the function keys: kF1 + n - 1, up to F12
inline constexpr int32_t kF12 = 123;

inline constexpr int32_t kCtrlEnter = kCtrl + kEnter;  // 525
inline constexpr int32_t kCtrlHome = kCtrl + kHome;
inline constexpr int32_t kCtrlEnd = kCtrl + kEnd;

// The key code that types `c` (a Windows-1252 byte): letters and digits their key (capitals with
// kShift), blank, Enter for "\r" and "\n", Tab; 0 for a character that has no key of its own.
[[nodiscard]] int32_t ForCharacter(unsigned char c);
}  // namespace key

}  // namespace pellucor::runtime
