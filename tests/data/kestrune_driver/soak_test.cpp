// A bounded soak: four programs make random operations on one file at once (add, change, delete,
// read, key scans, hold then change). Each keeps what it was told succeeded; afterwards the file
// passes the structural check and holds exactly the last acknowledged version of every record.
//
// PELLUCOR_SOAK_OPS sets the operations per program (2000 for the long run); PELLUCOR_SHORT=1
// runs a short one. The default is a few hundred.
#include <fstream>
#include <map>
#include <random>

#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {
namespace {

namespace err = runtime::err;

int SoakOps() {
  if (const char* n = std::getenv("PELLUCOR_SOAK_OPS"); n && std::atoi(n) > 0) return std::atoi(n);
  if (const char* s = std::getenv("PELLUCOR_SHORT"); s && std::string(s) == "1") return 100;
  return 300;
}

}  // namespace

int RunSoakChild() {
  const int out = ChildOut();
  const int me = std::atoi(std::getenv("KD_ARG"));
  const int ops = SoakOps();
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  if (Open(*notes, 0x42) != 0) {
    WriteLine(out, "failed open " + runtime::ErrorText());
    return 1;
  }
  std::mt19937 rng(static_cast<uint32_t>(1000 + me));
  std::map<uint32_t, std::string> acked;  // record pointer -> topic last acknowledged
  int serial = 0, failures = 0;
  std::string problem;
  auto pick = [&]() -> uint32_t {
    if (acked.empty()) return 0;
    auto it = acked.begin();
    std::advance(it, static_cast<long>(rng() % acked.size()));
    return it->first;
  };
  auto topic = [&]() { return "P" + std::to_string(me) + "-" + std::to_string(++serial); };
  for (int i = 0; i < ops && problem.empty(); ++i) {
    const unsigned roll = rng() % 100;
    const int day = 1 + static_cast<int>(rng() % 28);
    if (roll < 30 || acked.empty()) {
      const std::string t = topic();
      FillNote(*notes, {t, 'N', day, 1 + static_cast<int>(rng() % 12), 2026});
      if (Call(*notes, Op::kADD) == 0) {
        acked[Pointer(*notes)] = t;
      } else {
        ++failures;
      }
    } else if (roll < 60) {
      const uint32_t p = pick();
      const bool hold = roll >= 50;
      if (hold) (void)Call(*notes, Op::kHOLDfile);
      if (GetPtr(*notes, p) != 0) {
        problem = "lost record " + std::to_string(p);
        break;
      }
      const std::string t = topic();
      FillNote(*notes, {t, 'N', day, 2, 2026, day, 3, 2026});
      if (Call(*notes, Op::kPUT) == 0) {
        acked[p] = t;
      } else {
        ++failures;
        if (hold) (void)Call(*notes, Op::kRELEASE);
      }
    } else if (roll < 70) {
      const uint32_t p = pick();
      if (GetPtr(*notes, p) == 0 && Call(*notes, Op::kDELETE) == 0) {
        acked.erase(p);
      } else {
        ++failures;
      }
    } else if (roll < 85) {
      const uint32_t p = pick();
      if (GetPtr(*notes, p) != 0 || Topic(*notes) != acked[p]) {
        problem = "record " + std::to_string(p) + " reads '" + Topic(*notes) + "', not '" +
                  acked[p] + "'";
      }
    } else {
      if (KeyOp(*notes, Op::kSETkey, 1) != 0) ++failures;
      for (int n = 0; n < 20 && Call(*notes, Op::kNEXT) == 0; ++n) {
      }
    }
  }
  std::ofstream ack("soak-" + std::to_string(me) + ".txt");
  for (const auto& [p, t] : acked) ack << p << ' ' << t << '\n';
  ack.close();
  (void)Call(*notes, Op::kCLOSE);
  WriteLine(out, problem.empty() ? "done " + std::to_string(failures) : "problem " + problem);
  return 0;
}

namespace {

TEST(Soak, FourProgramsAgreeWithTheFileAfterRandomOperations) {
  ScratchCwd dir;
  {
    auto notes = MakeNotesTable(&KestruneDriverInstance());
    ASSERT_EQ(OpenOrCreate(*notes, 0x42), 0);
    ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  }
  std::vector<std::unique_ptr<Child>> children;
  for (int i = 0; i < 4; ++i) {
    children.push_back(
        std::make_unique<Child>("soak", std::vector<std::string>{"KD_ARG=" + std::to_string(i)}));
  }
  for (auto& c : children) {
    const std::string said = c->Read(600000);
    EXPECT_EQ(said.rfind("done ", 0), 0u) << said;
    EXPECT_TRUE(c->ExitedCleanly());
  }
  std::map<uint32_t, std::string> expected;
  for (int i = 0; i < 4; ++i) {
    std::ifstream in("soak-" + std::to_string(i) + ".txt");
    uint32_t p;
    std::string t;
    while (in >> p >> t) expected[p] = t;
  }
  EXPECT_EQ(CheckFile("plk.KSR"), "");
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  ASSERT_EQ(Open(*notes, 0x42), 0);
  EXPECT_EQ(Records(*notes), static_cast<int64_t>(expected.size()));
  ASSERT_EQ(Call(*notes, Op::kSETfile), 0);
  std::map<uint32_t, std::string> stored;
  while (Call(*notes, Op::kNEXT) == 0) stored[Pointer(*notes)] = Topic(*notes);
  EXPECT_EQ(stored, expected);
  EXPECT_EQ(KeyRecords(*notes, 1), static_cast<int64_t>(expected.size()));
  EXPECT_EQ(Call(*notes, Op::kCLOSE), 0);
}

}  // namespace
}  // namespace pellucor::data::kdtest
