// Keys between Qt and the runtime's key codes (the virtual-key number plus kShift, kCtrl, kAlt).
#pragma once

#include <QKeyEvent>
#include <cstdint>

namespace pellucor::ui {

// The runtime's code of a key press, 0 for a key it has none for.
[[nodiscard]] int32_t KeyCodeOf(const QKeyEvent& e);
// The Qt key and modifiers of a runtime key code (Qt::Key_unknown when there is none).
[[nodiscard]] int QtKeyOf(int32_t keycode);
[[nodiscard]] Qt::KeyboardModifiers QtModifiersOf(int32_t keycode);

}  // namespace pellucor::ui
