// A look inside a queue's table for tests and diagnostics: the keys of the orders it holds, most
// recently used first. Not part of the program's interface to queues.
#pragma once

#include <vector>

#include "runtime/queue/queue.h"

namespace pellucor::runtime {

// The key components of every order held (an empty list is the insertion order), most recently
// used first; the first is the current order. Empty when the queue has no table yet.
[[nodiscard]] std::vector<std::vector<QueueKeyComponent>> QueueOrderKeys(const Queue& queue);

}  // namespace pellucor::runtime
