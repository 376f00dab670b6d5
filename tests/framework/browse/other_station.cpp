// The second program of the sharing tests (see OtherStation in browse_test_util.h): another
// station working on the notes table through the driver, as another copy of the program would.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

constexpr int32_t kShared = 0x42;  // read and write, deny none

int Serve(const std::string& role, const std::string& arg, int out) {
  auto notes = app::MakeSNotes(&data::KestruneDriverInstance());
  auto fail = [&](const char* what) {
    WriteLine(out, std::string("failed ") + what + ": " + runtime::ErrorText());
    return 1;
  };
  data::OpArgs open;
  open.mode = kShared;
  if (data::Dispatch(*notes, data::Op::kOPEN, open).error != 0) return fail("open");
  if (role == "delete") {  // deletes every note whose topic is one of BR_ARG's (","-separated)
    std::vector<std::string> topics;
    for (size_t at = 0; at <= arg.size();) {
      const size_t comma = std::min(arg.find(',', at), arg.size());
      topics.push_back(arg.substr(at, comma - at));
      at = comma + 1;
    }
    for (const std::string& topic : topics) {
      data::OpArgs set;
      set.key = notes->Key(0);
      if (data::Dispatch(*notes, data::Op::kSETkey, set).error != 0) return fail("set");
      bool found = false;
      while (!found && data::Dispatch(*notes, data::Op::kNEXT).error == 0) {
        found = TopicOf(notes->RecordBuffer()) == topic;
      }
      if (!found) return fail(("find " + topic).c_str());
      if (data::Dispatch(*notes, data::Op::kDELETE).error != 0) return fail("delete");
    }
    WriteLine(out, "deleted");
  } else {
    WriteLine(out, "unknown role " + role);
    return 2;
  }
  return data::Dispatch(*notes, data::Op::kCLOSE).error;
}

TEST(OtherStation, Run) {
  const char* role = std::getenv("BR_ROLE");
  if (role == nullptr || *role == '\0') GTEST_SKIP() << "runs only as a second program";
  const char* arg = std::getenv("BR_ARG");
  const int out = std::atoi(std::getenv("BR_OUT"));
  std::_Exit(Serve(role, arg != nullptr ? arg : "", out));
}

}  // namespace
}  // namespace pellucor::framework::testing
