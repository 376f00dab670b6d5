#include "data/driver/op_codes.h"

#include <array>

namespace pellucor::data {
namespace {

constexpr std::array<std::string_view, kOpCount> kNames = {
    "(0)",
    "ADD",
    "BOF",
    "BUILDfile",
    "APPEND",
    "BUILDdyn",
    "BUILDkey",
    "CLOSE",
    "COMMIT",
    "COPY",
    "CREATE",
    "DELETE",
    "DUPLICATE",
    "EMPTY",
    "EOF",
    "GETfilekey",
    "GETfileptr",
    "GETkeyptr",
    "HOLDfile",
    "HOLDfilesec",
    "LOCKfile",
    "LOCKfilesec",
    "LOGOUT",
    "NAME",
    "NEXT",
    "OPEN",
    "PACK",
    "POINTERfile",
    "POINTERkey",
    "FLUSH",
    "PUT",
    "PREVIOUS",
    "RECORDSfile",
    "RECORDSkey",
    "BUILDdynfilter",
    "(35)",
    "RELEASE",
    "REMOVE",
    "RENAME",
    "(39)",
    "ROLLBACK",
    "SETfile",
    "SETfilekey",
    "SETfileptr",
    "SETkey",
    "SETkeykey",
    "SETkeyptr",
    "SETkeykeyptr",
    "SHARE",
    "SKIP",
    "UNLOCK",
    "ADDfilelen",
    "BYTES",
    "GETfileptrlen",
    "PUTfileptr",
    "PUTfileptrlen",
    "STREAM",
    "DUPLICATEkey",
    "WATCH",
    "APPENDlen",
    "SEND",
    "POSITIONfile",
    "POSITIONkey",
    "RESETfile",
    "RESETkey",
    "NOMEMO",
    "REGETfile",
    "REGETkey",
    "NULL",
    "SETNULL",
    "SETNONULL",
    "SET_PROPERTY",
    "GET_PROPERTY",
    "QUERY_KEY",
    "QUERY_VIEW",
    "BLOB_YIELD",
    "BLOB_TAKE",
    "BLOB_SIZE",
    "BLOB_GET_PROP",
    "BLOB_SET_PROP",
    "BUFFER",
    "SETview",
    "CLEAR",
    "RESETviewfile",
    "BUILDevent",
    "SETPROPERTYkey",
    "GETPROPERTYkey",
    "Internal",
    "DO_PROPERTY",
    "DOPROPERTYkey",
    "DOPROPERTYblob",
    "Internal",
    "INVIEW",
    "ENDVIEW",
    "Internal",
    "COUNTRECORDS",
};

}  // namespace

std::string_view OpName(Op op) {
  const auto code = static_cast<size_t>(op);
  return code < kNames.size() ? kNames[code] : std::string_view("UNKNOWN");
}

bool IsRecordRead(Op op) {
  switch (op) {
    case Op::kGETfilekey:
    case Op::kGETfileptr:
    case Op::kGETkeyptr:
    case Op::kGETfileptrlen:
    case Op::kNEXT:
    case Op::kPREVIOUS:
    case Op::kREGETfile:
    case Op::kREGETkey:
      return true;
    default:
      return false;
  }
}

bool IsDeferrableBuild(Op op) {
  return op == Op::kBUILDfile || op == Op::kBUILDkey || op == Op::kBUILDdyn ||
         op == Op::kBUILDdynfilter || op == Op::kPACK;
}

}  // namespace pellucor::data
