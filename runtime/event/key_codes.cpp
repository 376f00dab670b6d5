#include "runtime/event/key_codes.h"

namespace pellucor::runtime::key {

int32_t ForCharacter(unsigned char c) {
  if (c >= 'a' && c <= 'z') return kA + (c - 'a');
  if (c >= 'A' && c <= 'Z') return kShift + kA + (c - 'A');
  if (c >= '0' && c <= '9') return k0 + (c - '0');
  switch (c) {
    case ' ':
      return kSpace;
    case '\r':
    case '\n':
      return kEnter;
    case '\t':
      return kTab;
    case '\b':
      return kBackspace;
    case 27:
      return kEscape;
    default:
      return 0;
  }
}

}  // namespace pellucor::runtime::key
