// The driver operation codes. The numbers are fixed (they index the precondition table) and the
// names are the ones the trace writes: a suffix tells the argument kinds (`file` the file, `key` a
// key, `ptr` a record pointer, `len` a length, `sec` seconds).
#pragma once

#include <cstdint>
#include <string_view>

namespace pellucor::data {

enum class Op : uint8_t {
  kNone = 0,
  kADD = 1,
  kBOF = 2,
  kBUILDfile = 3,
  kAPPEND = 4,
  kBUILDdyn = 5,
  kBUILDkey = 6,
  kCLOSE = 7,
  kCOMMIT = 8,
  kCOPY = 9,
  kCREATE = 10,
  kDELETE = 11,
  kDUPLICATE = 12,
  kEMPTY = 13,
  kEOF = 14,
  kGETfilekey = 15,
  kGETfileptr = 16,
  kGETkeyptr = 17,
  kHOLDfile = 18,
  kHOLDfilesec = 19,
  kLOCKfile = 20,
  kLOCKfilesec = 21,
  kLOGOUT = 22,
  kNAME = 23,
  kNEXT = 24,
  kOPEN = 25,
  kPACK = 26,
  kPOINTERfile = 27,
  kPOINTERkey = 28,
  kFLUSH = 29,
  kPUT = 30,
  kPREVIOUS = 31,
  kRECORDSfile = 32,
  kRECORDSkey = 33,
  kBUILDdynfilter = 34,
  kUnused35 = 35,
  kRELEASE = 36,
  kREMOVE = 37,
  kRENAME = 38,
  kUnused39 = 39,
  kROLLBACK = 40,
  kSETfile = 41,
  kSETfilekey = 42,
  kSETfileptr = 43,
  kSETkey = 44,
  kSETkeykey = 45,
  kSETkeyptr = 46,
  kSETkeykeyptr = 47,
  kSHARE = 48,
  kSKIP = 49,
  kUNLOCK = 50,
  kADDfilelen = 51,
  kBYTES = 52,
  kGETfileptrlen = 53,
  kPUTfileptr = 54,
  kPUTfileptrlen = 55,
  kSTREAM = 56,
  kDUPLICATEkey = 57,
  kWATCH = 58,
  kAPPENDlen = 59,
  kSEND = 60,
  kPOSITIONfile = 61,
  kPOSITIONkey = 62,
  kRESETfile = 63,
  kRESETkey = 64,
  kNOMEMO = 65,
  kREGETfile = 66,
  kREGETkey = 67,
  kNULL = 68,
  kSETNULL = 69,
  kSETNONULL = 70,
  kSET_PROPERTY = 71,
  kGET_PROPERTY = 72,
  kQUERY_KEY = 73,
  kQUERY_VIEW = 74,
  kBLOB_YIELD = 75,
  kBLOB_TAKE = 76,
  kBLOB_SIZE = 77,
  kBLOB_GET_PROP = 78,
  kBLOB_SET_PROP = 79,
  kBUFFER = 80,
  kSETview = 81,
  kCLEAR = 82,
  kRESETviewfile = 83,
  kBUILDevent = 84,
  kSETPROPERTYkey = 85,
  kGETPROPERTYkey = 86,
  kInternal87 = 87,
  kDO_PROPERTY = 88,
  kDOPROPERTYkey = 89,
  kDOPROPERTYblob = 90,
  kInternalEntry = 91,  // returns the driver's entry point
  kINVIEW = 92,
  kENDVIEW = 93,
  kInternal94 = 94,
  kCOUNTRECORDS = 95,
};

inline constexpr int kOpCount = 96;  // codes 0 to 95

// The trace name of an operation: "ADD", "SETkeykey", "(0)", "(35)", "(39)", "Internal".
std::string_view OpName(Op op);

// True for the operations that read a record and make it current.
bool IsRecordRead(Op op);
// True for the builds that a deferral postpones to BUILDevent.
bool IsDeferrableBuild(Op op);

}  // namespace pellucor::data
