#include "runtime/core/error_state.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "platform/system_error.h"

namespace pellucor::runtime {

namespace {

using Entry = std::pair<int32_t, std::string_view>;

// The error table, ordered by code. Some texts carry a trailing blank; they are the system's own.
constexpr std::array kTable = {
    Entry{2, "File Not Found"},
    Entry{3, "Path Not Found"},
    Entry{4, "Too Many Open Files"},
    Entry{5, "Access Denied"},
    Entry{7, "Memory Corrupted"},
    Entry{8, "Insufficient Memory"},
    Entry{30, "Entry Not Found"},
    Entry{32, "File Is Already Locked"},
    Entry{33, "Record Not Available"},
    Entry{35, "Record Not Found"},
    Entry{36, "Invalid Data File"},
    Entry{37, "File Not Open"},
    Entry{38, "Invalid Key File"},
    Entry{40, "Creates Duplicate Key"},
    Entry{43, "Record Is Already Held"},
    Entry{45, "Invalid Filename"},
    Entry{46, "Key File Must Be Rebuilt"},
    Entry{47, "Invalid Record Declaration"},
    Entry{48, "Unable To Log Transaction"},
    Entry{52, "File Already Open"},
    Entry{53, "Invalid Velmora File"},
    Entry{54, "No Create Attribute"},
    Entry{55, "File Must Be Shared"},
    Entry{56, "LOGOUT Already Active"},
    Entry{57, "Invalid Memo File"},
    Entry{63, "Exclusive Access Required"},
    Entry{64, "Sharing Violation"},
    Entry{65, "Unable To ROLLBACK Transaction"},
    Entry{73, "Memo File Missing"},
    Entry{75, "Invalid Field Type Descriptor"},
    Entry{76, "Invalid Index String"},
    Entry{77, "Unable To Access Index"},
    Entry{78, "Invalid Number Of Parameters "},
    Entry{79, "Unsupported Data Type In File"},
    Entry{80, "Unsupported File Driver Function"},
    Entry{81, "Unknown Error Posted"},
    Entry{88, "Invalid Key Length"},
    Entry{89, "Record Changed By Another Station"},
    Entry{90, "File System Error"},
    Entry{91, "LOGOUT Not Active"},
    Entry{92, "BUILD In Progress"},
    Entry{93, "BUILD Cancelled"},
    Entry{95, "Server Not Found"},
    Entry{96, "Remote Object Not Found"},
    Entry{301, "Invalid Function"},
    Entry{302, "File Not Found"},
    Entry{303, "Path Not Found"},
    Entry{304, "Too Many Open Files"},
    Entry{305, "Access Denied"},
    Entry{306, "Invalid Handle"},
    Entry{307, "Memory Corrupted"},
    Entry{308, "Insufficient Memory"},
    Entry{309, "Invalid Memory Block"},
    Entry{310, "Invalid Environment"},
    Entry{311, "Invalid Format"},
    Entry{312, "Invalid Access"},
    Entry{313, "Invalid Data"},
    Entry{315, "Invalid Drive"},
    Entry{316, "Invalid Operation For Current Directory"},
    Entry{317, "Not Same Device"},
    Entry{318, "No More Files"},
    Entry{319, "Write Protect"},
    Entry{320, "Invalid Unit"},
    Entry{321, "Device Not Ready"},
    Entry{322, "Invalid Command"},
    Entry{323, "Media Checksum Failed"},
    Entry{324, "Invalid Length"},
    Entry{325, "Seek Location Inaccessible"},
    Entry{326, "Not DOS Disk"},
    Entry{327, "Sector Not Found"},
    Entry{328, "Out Of Paper"},
    Entry{329, "Write Fault"},
    Entry{330, "Read Fault"},
    Entry{331, "General Failure"},
    Entry{332, "Sharing Violation"},
    Entry{333, "Lock Violation"},
    Entry{334, "Wrong Disk"},
    Entry{335, "FCB Unavailable"},
    Entry{336, "Sharing Buffer Exceeded"},
    Entry{337, "Code Page Mismatched"},
    Entry{338, "Handle EOF"},
    Entry{339, "Handle Disk Full"},
    Entry{350, "Not Supported "},
    Entry{351, "REM Not List"},
    Entry{352, "Duplicate Name Encountered"},
    Entry{353, "Invalid Network Path"},
    Entry{354, "Network Busy"},
    Entry{355, "Device Does Not Exist"},
    Entry{356, "Too Many Commands"},
    Entry{357, "Adapter/Hardware Failure"},
    Entry{358, "Invalid Network Response"},
    Entry{359, "Unexpected Network Error"},
    Entry{360, "Invalid REM Adapter"},
    Entry{361, "Print Queue Full"},
    Entry{362, "No Spool Space"},
    Entry{363, "Print Cancelled"},
    Entry{364, "Network Name Deleted"},
    Entry{365, "Network Access Denied"},
    Entry{366, "Invalid Device Type"},
    Entry{367, "Invalid Network Name"},
    Entry{368, "Too Many Names"},
    Entry{369, "Too Many Sessions"},
    Entry{370, "Sharing Paused"},
    Entry{371, "Request Not Accepted"},
    Entry{372, "Network Redirection Paused"},
    Entry{380, "File Already Exists"},
    Entry{381, "Duplicate FCB"},
    Entry{382, "Cannot Make"},
    Entry{383, "Fail Critical Error"},
    Entry{384, "Out Of Structures"},
    Entry{385, "Already Assigned"},
    Entry{386, "Invalid Password"},
    Entry{387, "Invalid Parameter"},
    Entry{388, "Network Write Fault"},
    Entry{390, "System Component Not Loaded"},
    Entry{391, "Unknown Error"},
};

static_assert(std::is_sorted(kTable.begin(), kTable.end(),
                             [](const Entry& a, const Entry& b) { return a.first < b.first; }));

ErrorState state;

// Runtime errors 401-802 belong to the areas that raise them (values, expressions, events); each
// registers its texts here at start-up so that posting one of them gives its text too.
std::vector<Entry>& Registered() {
  static std::vector<Entry> registered = {{501, "String Stack Error"}};
  return registered;
}

constexpr size_t kMaxText = 79;

}  // namespace

std::string_view ErrorTableText(int32_t code) {
  auto it = std::lower_bound(kTable.begin(), kTable.end(), code,
                             [](const Entry& e, int32_t c) { return e.first < c; });
  if (it != kTable.end() && it->first == code) return it->second;
  for (const Entry& e : Registered())
    if (e.first == code) return e.second;
  return {};
}

std::string ErrorTextFor(int32_t code) {
  std::string_view text = ErrorTableText(code);
  if (!text.empty()) return std::string(text);
  return std::string(ErrorTableText(err::kUnknownError)) + " : " + std::to_string(code);
}

void RegisterErrorText(int32_t code, std::string_view text) {
  for (Entry& e : Registered())
    if (e.first == code) {
      e.second = text;
      return;
    }
  Registered().emplace_back(code, text);
}

const ErrorState& Errors() {
  return state;
}

void ClearError() {
  state.code = 0;
  state.text.clear();
  state.file = nullptr;
  state.file_error_code.clear();
  state.file_error.clear();
}

void PostErrorWithSystem(int32_t code, int32_t system_error, const void* file) {
  state.system_error = system_error;
  if (code == 0) code = err::kSystemBase + system_error;
  std::string text = ErrorTextFor(code);
  const size_t first = text.find_first_not_of(' ');
  text = first == std::string::npos ? std::string() : text.substr(first, kMaxText);
  state.code = code;
  state.text = std::move(text);
  state.file = file;
}

void PostErrorText(int32_t code, std::string_view text) {
  state.system_error = 0;
  state.code = code;
  state.text = std::string(text.substr(0, kMaxText));
  state.file = nullptr;
}

void PostError(int32_t code, const void* file) {
  PostErrorWithSystem(code, platform::LastSystemError(), file);
}

void SetFileError(std::string_view code_text, std::string_view text) {
  state.file_error_code = std::string(code_text.substr(0, 80));
  state.file_error = std::string(text.substr(0, 255));
}

int32_t ErrorCode() {
  return state.code;
}

std::string ErrorText() {
  std::string padded = state.text;
  padded.resize(80, ' ');
  return padded;
}

}  // namespace pellucor::runtime
