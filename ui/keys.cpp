#include "ui/keys.h"

#include <array>
#include <utility>

#include "runtime/event/key_codes.h"

namespace pellucor::ui {

namespace key = runtime::key;

namespace {
// The punctuation keys carry the virtual-key numbers of a US keyboard layout (Ctrl+' is 734).
constexpr std::array<std::pair<int, int32_t>, 32> kKeys{{
    {Qt::Key_Backspace, key::kBackspace},
    {Qt::Key_Tab, key::kTab},
    {Qt::Key_Backtab, key::kTab},
    {Qt::Key_Return, key::kEnter},
    {Qt::Key_Enter, key::kEnter},
    {Qt::Key_Pause, key::kPause},
    {Qt::Key_Escape, key::kEscape},
    {Qt::Key_Space, key::kSpace},
    {Qt::Key_PageUp, key::kPageUp},
    {Qt::Key_PageDown, key::kPageDown},
    {Qt::Key_End, key::kEnd},
    {Qt::Key_Home, key::kHome},
    {Qt::Key_Left, key::kLeft},
    {Qt::Key_Up, key::kUp},
    {Qt::Key_Right, key::kRight},
    {Qt::Key_Down, key::kDown},
    {Qt::Key_Insert, key::kInsert},
    {Qt::Key_Delete, key::kDelete},
    {Qt::Key_Menu, 93},
    {Qt::Key_Print, 44},
    {Qt::Key_Semicolon, 0xBA},
    {Qt::Key_Equal, 0xBB},
    {Qt::Key_Comma, 0xBC},
    {Qt::Key_Minus, 0xBD},
    {Qt::Key_Period, 0xBE},
    {Qt::Key_Slash, 0xBF},
    {Qt::Key_QuoteLeft, 0xC0},
    {Qt::Key_BracketLeft, 0xDB},
    {Qt::Key_Backslash, 0xDC},
    {Qt::Key_BracketRight, 0xDD},
    {Qt::Key_Apostrophe, 0xDE},
    {Qt::Key_QuoteDbl, 0xDE},
}};
}  // namespace

int32_t KeyCodeOf(const QKeyEvent& e) {
  const int k = e.key();
  int32_t code = 0;
  if (k >= Qt::Key_0 && k <= Qt::Key_9) {
    code = key::k0 + (k - Qt::Key_0);
  } else if (k >= Qt::Key_A && k <= Qt::Key_Z) {
    code = key::kA + (k - Qt::Key_A);
  } else if (k >= Qt::Key_F1 && k <= Qt::Key_F12) {
    code = key::kF1 + (k - Qt::Key_F1);
  } else {
    for (const auto& [qt, vk] : kKeys) {
      if (qt == k) code = vk;
    }
  }
  if (code == 0) return 0;
  const Qt::KeyboardModifiers m = e.modifiers();
  if (m & Qt::ShiftModifier || k == Qt::Key_Backtab) code += key::kShift;
  if (m & Qt::ControlModifier) code += key::kCtrl;
  if (m & Qt::AltModifier) code += key::kAlt;
  return code;
}

int QtKeyOf(int32_t keycode) {
  const int32_t vk = keycode & 0xFF;
  if (vk >= key::k0 && vk <= key::k0 + 9) return Qt::Key_0 + (vk - key::k0);
  if (vk >= key::kA && vk <= key::kA + 25) return Qt::Key_A + (vk - key::kA);
  if (vk >= key::kF1 && vk <= key::kF12) return Qt::Key_F1 + (vk - key::kF1);
  for (const auto& [qt, code] : kKeys) {
    if (code == vk && qt != Qt::Key_Backtab && qt != Qt::Key_Enter) return qt;
  }
  return Qt::Key_unknown;
}

Qt::KeyboardModifiers QtModifiersOf(int32_t keycode) {
  Qt::KeyboardModifiers m;
  if (keycode & key::kShift) m |= Qt::ShiftModifier;
  if (keycode & key::kCtrl) m |= Qt::ControlModifier;
  if (keycode & key::kAlt) m |= Qt::AltModifier;
  return m;
}

}  // namespace pellucor::ui
