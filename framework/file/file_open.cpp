// Opening and closing: the usage count, lazy opening, and the steps of OpenFile.
#include <memory>
#include <string>

#include "data/driver/driver.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/file_registry.h"
#include "framework/file/stored_record.h"
#include "platform/file.h"
#include "runtime/core/error_state.h"

namespace pellucor::framework {

namespace err = runtime::err;

namespace {

// The lock file beside a data file under which a missing file or table is created: "plk.lock"
// for "plk\!notes" (the file part of a multi-table name), "name.lock" for any other name. Two
// programs that both find the table missing would otherwise both create it, and the second
// creation would throw away what the first had stored meanwhile. The note program's command-line
// companion takes the same lock.
std::string CreationLockName(const std::string& name) {
  const size_t bang = name.find("\\!");
  return (bang == std::string::npos ? name : name.substr(0, bang)) + ".lock";
}

class CreationLock {
 public:
  explicit CreationLock(const std::string& name) {
    platform::Env* env = platform::Env::Default();
    const platform::Status opened =
        env->Open(CreationLockName(name), platform::Access::kReadWrite, platform::Share::kDenyNone,
                  platform::Disposition::kOpenAlways, &file_);
    held_ = opened.ok() && file_->Lock(0, 1, platform::LockWait::kWait).ok();
  }
  ~CreationLock() {
    if (held_) (void)file_->Unlock(0, 1);
  }
  CreationLock(const CreationLock&) = delete;
  CreationLock& operator=(const CreationLock&) = delete;

 private:
  std::unique_ptr<platform::File> file_;
  bool held_ = false;
};

}  // namespace

Level FileManager::Open() {
  return OpenServer(Handling::kShow);
}

Level FileManager::TryOpen() {
  return OpenServer(Handling::kRecord);
}

Level FileManager::OpenServer(Handling handling) {
  FileInfo& info = Info();
  RegisterFileManager(*this);
  if (!LAZYOPEN && info.OPENED == 0) {
    if (const Level level = OpenFile(handling); level != Level::Proceed) return level;
  }
  ++info.OPENED;
  return Level::Proceed;
}

Level FileManager::Close() {
  FileInfo& info = Info();
  // A Close without its Open changes nothing: the count never wraps round.
  if (info.OPENED == 0) return Level::Proceed;
  if (--info.OPENED == 0 && info.USED) CloseFile();
  return Level::Proceed;
}

void FileManager::CloseFile() {
  FileInfo& info = Info();
  (void)data::Dispatch(*FILE, data::Op::kCLOSE);
  if (stored_) stored_->Close();
  info.USED = false;
  info.ATEOF = false;
}

Level FileManager::EnsureOpen() {
  FileInfo& info = Info();
  if (!LAZYOPEN || info.USED) return Level::Proceed;
  if (info.OPENED == 0) {
    (void)ReportError(msg::kFileUsageError);
    return Level::Fatal;
  }
  // A lazy open happens in the middle of some other operation: the record in hand survives it.
  const uint16_t saved = SnapshotBuffer();
  const Level level = OpenFile(Handling::kShow);
  RestoreSnapshot(saved);
  return level == Level::Proceed ? Level::Proceed : Level::Fatal;
}

int32_t FileManager::DriverOpen(uint8_t mode) {
  data::OpArgs args;
  args.mode = mode;
  return data::Dispatch(*FILE, data::Op::kOPEN, args).error;
}

int32_t FileManager::CreateMissing(uint8_t mode) {
  CreationLock lock(FILE->CurrentName());
  // Another program may have created it while this one waited for the lock.
  const int32_t e = DriverOpen(mode);
  if (e != err::kFileNotFound) return 0;
  data::OpArgs args;
  args.mode = mode;
  return data::Dispatch(*FILE, data::Op::kCREATE, args).error;
}

int32_t FileManager::RebuildKeys() {
  // Rebuilding every key needs the file to itself.
  const uint8_t exclusive = data::access_mode::kReadWrite | data::access_mode::kDenyAll;
  if (const int32_t e = DriverOpen(exclusive); e != 0) return e;
  const int32_t e = data::Dispatch(*FILE, data::Op::kBUILDfile).error;
  (void)data::Dispatch(*FILE, data::Op::kCLOSE);
  return e;
}

Level FileManager::OpenFile(Handling handling) {
  uint8_t mode = OPENMODE;
  // At most two open attempts: the first with OPENMODE, the second after falling back to
  // reading, creating the file or rebuilding its keys.
  for (int attempt = 1;; ++attempt) {
    int32_t e = DriverOpen(mode);
    if (e == err::kAccessDenied) {
      // A lock another program left behind may be recovered by the driver.
      data::OpArgs send;
      send.text = "Recover=" + std::to_string(LOCKRECOVER);
      (void)data::Dispatch(*FILE, data::Op::kSEND, send);
      e = DriverOpen(mode);
    }
    if (e == 0 || e == err::kFileAlreadyOpen) {
      FileInfo& info = Info();
      info.USED = true;
      info.ATEOF = false;
      info.AUTOINCDONE = false;
      return Level::Proceed;
    }
    const bool may_try_again = attempt < 2;
    if (e == err::kAccessDenied && data::ModeIsWritable(mode) && may_try_again) {
      // Keep the sharing, drop the access to reading.
      mode = static_cast<uint8_t>(mode & 0xF0);
      NoteError(msg::kAccessDenied);
      if (handling == Handling::kShow) (void)ReportLast();
      continue;
    }
    if (e == err::kFileNotFound && CREATE && may_try_again) {
      if (CreateMissing(mode) == 0) continue;
      NoteError(msg::kFileCreationError);
      return Finish(handling);
    }
    if (e == err::kKeyMustBeRebuilt && may_try_again) {
      NoteError(msg::kInvalidKey);
      if (handling != Handling::kShow) return Level::Notified;
      (void)ReportLast();
      if (RebuildKeys() == 0) continue;
      return ReportError(msg::kKeyNotBuilt);
    }
    break;
  }
  NoteError(msg::kFileAccessError);
  return Finish(handling);
}

}  // namespace pellucor::framework
