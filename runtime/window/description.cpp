#include "runtime/window/description.h"

namespace pellucor::runtime {

const ControlDescription* FindControl(const WindowDescription& window, int32_t number) {
  for (const ControlDescription& c : window.controls) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

ControlDescription* FindControl(WindowDescription& window, int32_t number) {
  for (ControlDescription& c : window.controls) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

}  // namespace pellucor::runtime
