// Type codes of the runtime's data types. Declarations, record descriptors, Kestrune table
// definitions and the expression evaluator all name types by these one-byte codes, and the trace
// writes their names, so the numbers are fixed.
#pragma once

#include <cstdint>
#include <string_view>

namespace pellucor::runtime {

enum class TypeCode : uint8_t {
  kEnd = 0,
  kByte = 1,
  kShort = 2,
  kUShort = 3,
  kDate = 4,
  kTime = 5,
  kLong = 6,
  kULong = 7,
  kSReal = 8,
  kReal = 9,
  kDecimal = 10,
  kPDecimal = 11,
  kDum1 = 12,
  kBFloat4 = 13,
  kBFloat8 = 14,
  kAny = 15,
  kTempUfo = 16,
  kUnnamed17 = 17,
  kString = 18,
  kCString = 19,
  kPString = 20,
  kMemo = 21,
  kGroup = 22,
  kClass = 23,
  kArray = 24,
  kField = 25,
  kQueue = 26,
  kBlob = 27,
  kStackStr = 28,
  kPicture = 29,
  kStdNum = 30,
};

// The name the trace writes for a type code: "BYTE", "STRING", "(17)" for the unnamed code, and
// "UNKNOWN" for codes above 30.
std::string_view TypeName(uint8_t code);

// True for the three string layouts and GROUP, which reads as a STRING of its bytes.
constexpr bool IsTextType(TypeCode t) {
  return t == TypeCode::kString || t == TypeCode::kCString || t == TypeCode::kPString ||
         t == TypeCode::kGroup;
}

// The storage size of a fixed-size type (BYTE 1; SHORT, USHORT 2; DATE, TIME, LONG, ULONG, SREAL,
// BFLOAT4 4; REAL, BFLOAT8 8), or 0 for the types whose size comes from their declaration.
constexpr uint32_t FixedTypeSize(TypeCode t) {
  switch (t) {
    case TypeCode::kByte:
      return 1;
    case TypeCode::kShort:
    case TypeCode::kUShort:
      return 2;
    case TypeCode::kDate:
    case TypeCode::kTime:
    case TypeCode::kLong:
    case TypeCode::kULong:
    case TypeCode::kSReal:
    case TypeCode::kBFloat4:
      return 4;
    case TypeCode::kReal:
    case TypeCode::kBFloat8:
      return 8;
    default:
      return 0;
  }
}

}  // namespace pellucor::runtime
