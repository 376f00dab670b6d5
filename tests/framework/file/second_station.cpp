// The second program of the sharing tests (see SecondStation in file_test_util.h): another
// station working on the notes table through the driver, as another copy of the program would.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "tests/framework/file/file_test_util.h"

namespace pellucor::framework::testing {
namespace {

constexpr int32_t kShared = 0x42;  // read and write, deny none

int32_t OpenNotes(data::FileDecl& notes, int32_t mode) {
  data::OpArgs a;
  a.mode = mode;
  return data::Dispatch(notes, data::Op::kOPEN, a).error;
}

int32_t GetByPointer(data::FileDecl& notes, uint32_t pointer) {
  data::OpArgs a;
  a.pointer = pointer;
  return data::Dispatch(notes, data::Op::kGETfileptr, a).error;
}

int Serve(const std::string& role, const std::string& arg, int in, int out) {
  auto notes = Notes();
  auto fail = [&](const char* what) {
    WriteLine(out, std::string("failed ") + what + ": " + runtime::ErrorText());
    return 1;
  };
  if (role == "open") {  // holds the table open with the access mode FM_ARG until told
    if (OpenNotes(*notes, std::atoi(arg.c_str())) != 0) return fail("open");
    WriteLine(out, "open");
    ReadLine(in, 60000);
    return data::Dispatch(*notes, data::Op::kCLOSE).error;
  }
  if (role == "change") {  // FM_ARG "pointer:topic": gives the record that topic
    if (OpenNotes(*notes, kShared) != 0) return fail("open");
    if (GetByPointer(*notes, static_cast<uint32_t>(std::atoi(arg.c_str()))) != 0) {
      return fail("get");
    }
    uint8_t* r = notes->RecordBuffer();
    std::memset(r + nr::kTopicOffset, ' ', nr::kTopicSize);
    const std::string topic = arg.substr(arg.find(':') + 1);
    std::memcpy(r + nr::kTopicOffset, topic.data(), topic.size());
    if (data::Dispatch(*notes, data::Op::kPUT).error != 0) return fail("put");
    WriteLine(out, "changed");
    return data::Dispatch(*notes, data::Op::kCLOSE).error;
  }
  if (role == "hold") {  // holds record FM_ARG until told
    if (OpenNotes(*notes, kShared) != 0) return fail("open");
    (void)data::Dispatch(*notes, data::Op::kHOLDfile);
    if (GetByPointer(*notes, static_cast<uint32_t>(std::atoi(arg.c_str()))) != 0) {
      return fail("hold");
    }
    WriteLine(out, "held");
    ReadLine(in, 60000);
    (void)data::Dispatch(*notes, data::Op::kRELEASE);
    return data::Dispatch(*notes, data::Op::kCLOSE).error;
  }
  WriteLine(out, "unknown role " + role);
  return 2;
}

TEST(SecondStation, Run) {
  const char* role = std::getenv("FM_ROLE");
  if (role == nullptr || *role == '\0') GTEST_SKIP() << "runs only as a second program";
  const char* arg = std::getenv("FM_ARG");
  const int in = std::atoi(std::getenv("FM_IN"));
  const int out = std::atoi(std::getenv("FM_OUT"));
  std::_Exit(Serve(role, arg != nullptr ? arg : "", in, out));
}

}  // namespace
}  // namespace pellucor::framework::testing
