// The framework's own message block, and the layout every message block has.
//
// A message block is how messages are compiled into the program and handed to
// ErrorManager::LoadMessages. Little-endian, no padding:
//
//   count        2 bytes, unsigned   number of entries that follow
//   per entry:
//     id         2 bytes, unsigned   message number
//     severity   1 byte              a Level
//     title len  1 byte              n
//     title      n bytes             characters, no terminator
//     text len   1 byte              m
//     text       m bytes             characters, no terminator
//
// Titles and texts are therefore at most 255 bytes. Rows loaded from a block point into it, so a
// block lives at least as long as the manager that loaded it (the standard block is static).
#pragma once

#include <cstdint>
#include <span>

namespace pellucor::framework {

// The 40 messages the framework raises itself (file access, record changes, range checks, ...),
// in the order the framework has always stored them. Order matters only between entries that
// share a number: the later one wins.
[[nodiscard]] std::span<const uint8_t> StandardMessageBlock();

}  // namespace pellucor::framework
