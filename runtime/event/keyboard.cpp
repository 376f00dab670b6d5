// KEYCODE, ALERT and PRESS.
#include "runtime/core/fatal.h"
#include "runtime/event/event.h"
#include "runtime/event/event_errors.h"
#include "runtime/event/event_state.h"

namespace pellucor::runtime {

using detail::Mutex;
using detail::S;

int32_t KEYCODE() {
  std::lock_guard lock(Mutex());
  auto it = S().threads.find(detail::ThisThread());
  return it == S().threads.end() ? 0 : it->second.keycode;
}

void SETKEYCODE(int32_t keycode) {
  std::lock_guard lock(Mutex());
  auto it = S().threads.find(detail::ThisThread());
  if (it != S().threads.end()) it->second.keycode = keycode;
}

void ALERT(int32_t first, int32_t last) {
  const WindowId id = detail::RequireCurrentWindow();
  std::lock_guard lock(Mutex());
  if (first > last) std::swap(first, last);
  detail::FindWindow(id)->alert_keys.emplace_back(first, last);
}

void ALERT(int32_t keycode) {
  ALERT(keycode, keycode);
}

void ALERT() {
  const WindowId id = detail::RequireCurrentWindow();
  std::lock_guard lock(Mutex());
  detail::FindWindow(id)->alert_keys.clear();
}

namespace {
// Appends all of `keys` or, when they do not fit, none.
void Press(const std::vector<PressedKey>& keys) {
  err::RegisterEventErrorTexts();
  bool fits = false;
  {
    std::lock_guard lock(Mutex());
    auto& buffer = S().pressed;
    fits = buffer.size() + keys.size() <= kPressBufferSize;
    if (fits) buffer.insert(buffer.end(), keys.begin(), keys.end());
  }
  if (!fits) FatalError(err::kTooManyKeys);
  detail::Engine().KeysPressed();
}
}  // namespace

void PRESS(std::string_view text) {
  std::vector<PressedKey> keys;
  keys.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    keys.push_back(PressedKey{key::ForCharacter(byte), byte});
  }
  Press(keys);
}

void PRESS(int32_t keycode) {
  Press({PressedKey{keycode, 0}});
}

}  // namespace pellucor::runtime
