// The result of nearly every framework operation, and the severity of a message.
#pragma once

#include <cstdint>

namespace pellucor::framework {

enum class Level : uint8_t {
  Proceed = 0,
  AskUser = 1,
  ProgramError = 2,
  Fatal = 3,
  Cancelled = 4,
  Notified = 5,
};

}  // namespace pellucor::framework
