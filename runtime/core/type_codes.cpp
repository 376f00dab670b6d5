#include "runtime/core/type_codes.h"

#include <array>

namespace pellucor::runtime {

std::string_view TypeName(uint8_t code) {
  static constexpr std::array<std::string_view, 31> kNames = {
      "END",     "BYTE",  "SHORT",   "USHORT",   "DATE",     "TIME",    "LONG",    "ULONG",
      "SREAL",   "REAL",  "DECIMAL", "PDECIMAL", "DUM1",     "BFLOAT4", "BFLOAT8", "ANY",
      "TEMPUFO", "(17)",  "STRING",  "CSTRING",  "PSTRING",  "MEMO",    "GROUP",   "CLASS",
      "ARRAY",   "FIELD", "QUEUE",   "BLOB",     "STACKSTR", "PICTURE", "STDNUM"};
  return code < kNames.size() ? kNames[code] : std::string_view("UNKNOWN");
}

}  // namespace pellucor::runtime
