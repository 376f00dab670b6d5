#include "tests/data/driver/test_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>

#include "runtime/core/error_state.h"

namespace pellucor::data::testing {
namespace {

struct Cursor : DriverFileState {
  size_t next = 0;
  int current = -1;
};

}  // namespace

int TryLockByte(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return -1;
  struct flock fl {};
  fl.l_type = F_WRLCK;
  fl.l_whence = SEEK_SET;
  fl.l_start = 0;
  fl.l_len = 1;
  if (::fcntl(fd, F_OFD_SETLK, &fl) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

TestDriver::~TestDriver() {
  if (lock_fd >= 0) ::close(lock_fd);
}

int32_t TestDriver::CreateState(FileBlock&, std::unique_ptr<DriverFileState>* state) {
  if (create_error != 0) return create_error;
  ++blocks_made;
  *state = std::make_unique<Cursor>();
  return 0;
}

OpResult TestDriver::Handle(FileBlock& block, Op op, OpArgs& args) {
  (void)args;
  handled.push_back(op);
  Cursor& c = *block.StateAs<Cursor>();
  const auto record = [&] {
    return std::string(reinterpret_cast<const char*>(block.record), block.record_length);
  };
  switch (op) {
    case Op::kOPEN:
    case Op::kSHARE:
      return OpResult::Fail(open_error);
    case Op::kCREATE:
    case Op::kCLOSE:
    case Op::kLOGOUT:
    case Op::kCOMMIT:
    case Op::kHOLDfile:
    case Op::kHOLDfilesec:
    case Op::kWATCH:
    case Op::kRELEASE:
    case Op::kINVIEW:
    case Op::kENDVIEW:
    case Op::kBUILDdyn:
      return {};
    case Op::kBUILDkey:
    case Op::kBUILDfile:
      state_at_build = block.state;
      return {};
    case Op::kSETfile:
    case Op::kSETkey:
      c.next = 0;
      return {};
    case Op::kNEXT:
      if (c.next >= records.size()) return OpResult::Fail(33);
      std::memcpy(block.record, records[c.next].data(), block.record_length);
      c.current = static_cast<int>(c.next++);
      return {};
    case Op::kEOF:
      return OpResult::Value(c.next >= records.size() ? 1 : 0);
    case Op::kADD:
      records.push_back(record());
      c.current = static_cast<int>(records.size() - 1);
      return {};
    case Op::kPUT:
      records.at(static_cast<size_t>(c.current)) = record();
      return {};
    case Op::kNAME:
      return OpResult::Text(block.name);
    case Op::kBYTES:
      // A driver-level failure, described by the driver's own text.
      runtime::SetFileError("E17", "checksum mismatch in block 3");
      return OpResult::Fail(90);
    case Op::kLOCKfile:
    case Op::kLOCKfilesec: {
      if (lock_fd >= 0) return {};
      lock_fd = TryLockByte(lock_path);
      return OpResult::Fail(lock_fd >= 0 ? 0 : 32);
    }
    case Op::kUNLOCK:
      if (lock_fd >= 0) ::close(lock_fd);
      lock_fd = -1;
      return {};
    default:
      return Unsupported();
  }
}

}  // namespace pellucor::data::testing
