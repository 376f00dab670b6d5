// Shared by the resizer tests: rectangles print as (x, y, width, height) in failure messages.
#pragma once

#include <ostream>

#include "framework/resize/resize_rules.h"

namespace pellucor::framework {

inline void PrintTo(const ResizeRect& r, std::ostream* os) {
  *os << "(" << r.XPOS << ", " << r.YPOS << ", " << r.WIDTH << ", " << r.HEIGHT << ")";
}

}  // namespace pellucor::framework
