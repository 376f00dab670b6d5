// The runtime's one error state. Every runtime and file operation overwrites it: success clears it
// (when the operation says so) and a failure posts a code, whose text comes from the error table.
// Callers read it after the operation; the runtime never throws across its interface.
//
// Process-wide and unguarded: the run lock lets one program thread at a time run program code.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace pellucor::runtime {

// Error codes decided by the runtime and the drivers (file errors 2-96; 300 + the system error
// number for operating-system failures).
namespace err {
inline constexpr int32_t kFileNotFound = 2;
inline constexpr int32_t kPathNotFound = 3;
inline constexpr int32_t kTooManyOpenFiles = 4;
inline constexpr int32_t kAccessDenied = 5;
inline constexpr int32_t kMemoryCorrupted = 7;
inline constexpr int32_t kInsufficientMemory = 8;
inline constexpr int32_t kEntryNotFound = 30;
inline constexpr int32_t kFileLocked = 32;
inline constexpr int32_t kRecordNotAvailable = 33;
inline constexpr int32_t kRecordNotFound = 35;
inline constexpr int32_t kInvalidDataFile = 36;
inline constexpr int32_t kFileNotOpen = 37;
inline constexpr int32_t kInvalidKeyFile = 38;
inline constexpr int32_t kDuplicateKey = 40;
inline constexpr int32_t kRecordHeld = 43;
inline constexpr int32_t kInvalidFilename = 45;
inline constexpr int32_t kKeyMustBeRebuilt = 46;
inline constexpr int32_t kInvalidRecordDeclaration = 47;
inline constexpr int32_t kUnableToLog = 48;
inline constexpr int32_t kFileAlreadyOpen = 52;
inline constexpr int32_t kInvalidVelmoraFile = 53;
inline constexpr int32_t kNoCreateAttribute = 54;
inline constexpr int32_t kFileMustBeShared = 55;
inline constexpr int32_t kLogoutActive = 56;
inline constexpr int32_t kInvalidMemoFile = 57;
inline constexpr int32_t kExclusiveRequired = 63;
inline constexpr int32_t kSharingViolation = 64;
inline constexpr int32_t kUnableToRollback = 65;
inline constexpr int32_t kMemoFileMissing = 73;
inline constexpr int32_t kInvalidFieldType = 75;
inline constexpr int32_t kInvalidIndexString = 76;
inline constexpr int32_t kUnableToAccessIndex = 77;
inline constexpr int32_t kInvalidParameterCount = 78;
inline constexpr int32_t kUnsupportedDataType = 79;
inline constexpr int32_t kUnsupportedFunction = 80;
inline constexpr int32_t kUnknownError = 81;
inline constexpr int32_t kInvalidKeyLength = 88;
inline constexpr int32_t kRecordChanged = 89;
inline constexpr int32_t kFileSystemError = 90;
inline constexpr int32_t kLogoutNotActive = 91;
inline constexpr int32_t kBuildInProgress = 92;
inline constexpr int32_t kBuildCancelled = 93;
inline constexpr int32_t kServerNotFound = 95;
inline constexpr int32_t kRemoteObjectNotFound = 96;
inline constexpr int32_t kSystemBase = 300;
// A silent failure: returned without posting; the file's last error stays 0.
inline constexpr int32_t kSilent = -1;
}  // namespace err

// The text of a code in the error table, or empty when the table has no entry for it.
std::string_view ErrorTableText(int32_t code);

// Adds or replaces the text of a code outside the file and system tables (the runtime's own
// errors, 401 and up). REQUIRES: `text` outlives the process (a literal).
void RegisterErrorText(int32_t code, std::string_view text);

// The text posting a code gives: the table entry, or the text of 81 then " : " and the code.
std::string ErrorTextFor(int32_t code);

struct ErrorState {
  int32_t code = 0;
  std::string text;             // at most 79 characters; reads as kept blank padded in 80
  const void* file = nullptr;   // the file (its declaration) of the last error, or none
  int32_t system_error = 0;     // the operating-system error number of the last failure
  std::string file_error_code;  // up to 80 characters, filled by a driver
  std::string file_error;       // up to 255 characters, filled by a driver
};

// REQUIRES: only the thread that holds the run lock calls these.
const ErrorState& Errors();
void ClearError();

// Posts `code` with the calling thread's last system error (platform::LastSystemError()). A code
// of 0 becomes 300 plus that system error number.
void PostError(int32_t code, const void* file = nullptr);
// As PostError, with the system error number given.
void PostErrorWithSystem(int32_t code, int32_t system_error, const void* file = nullptr);
// Posts `code` with a text of the caller's own (the table text with a detail appended, for
// instance), cut to 79 characters like every posted text.
void PostErrorText(int32_t code, std::string_view text);
// A driver's own description of a driver-level failure (error 90, "File System Error").
void SetFileError(std::string_view code_text, std::string_view text);

int32_t ErrorCode();
// The error text as the 80-character blank-padded field.
std::string ErrorText();

}  // namespace pellucor::runtime
