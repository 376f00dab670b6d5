// Data files that cannot be used as they are: on a file system mounted read-only, with
// permissions that forbid writing, and damaged (a zeroed header, cut short, garbage in its pages).
// Reading commands work where they can; writing commands fail at once with words that say why;
// nothing is written into a damaged file, and check lists its faults.
#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <random>

#include "tests/app/cli_runner.h"
#include "tests/platform/tmpfs_mount.h"

namespace pellucor::app::clitest {
namespace {

const std::string kReadOnly = "pellucor-cli: the data file is read-only\n";
const std::string kDamaged =
    "pellucor-cli: the data file is damaged; `pellucor-cli check` shows where\n";
// Well below the five seconds a write waits for another program's sharing.
constexpr auto kAtOnce = std::chrono::milliseconds(3000);

using platform::testing::TmpfsMount;

struct Timed {
  Outcome outcome;
  std::chrono::steady_clock::duration took;
};

Timed RunTimed(const std::string& dir, const std::vector<std::string>& args,
               RunAs as = RunAs::kSelf) {
  const auto start = std::chrono::steady_clock::now();
  Outcome o = RunCli(dir, args, "/", "", as);
  return {std::move(o), std::chrono::steady_clock::now() - start};
}

std::string Shown(const std::vector<std::string>& args) {
  std::string shown;
  for (const std::string& a : args) shown += a + " ";
  return shown;
}

// Three notes, one of them archived; returns the ids of a note and of the archived copy.
std::pair<std::string, std::string> ThreeNotes(const std::string& dir, RunAs as = RunAs::kSelf) {
  std::vector<std::string> ids;
  for (const char* topic : {"first", "second", "third"}) {
    const Outcome o = RunCli(
        dir, {"add", "--topic", topic, "--memo", std::string("memo of ") + topic}, "/", "", as);
    EXPECT_EQ(o.status, 0) << o.err;
    ids.push_back(Lines(o.out).at(0));
  }
  const Outcome archived = RunCli(dir, {"archive", ids[2]}, "/", "", as);
  EXPECT_EQ(archived.status, 0) << archived.err;
  return {ids[0], Lines(archived.out).at(0)};
}

// What reading commands show, for comparing before and after.
std::vector<std::string> Readings(const std::string& dir, const std::string& id,
                                  const std::string& archived, RunAs as = RunAs::kSelf) {
  std::vector<std::string> seen;
  for (const std::vector<std::string>& args : {std::vector<std::string>{"list", "--tsv"},
                                               {"list", "--tab", "archive", "--tsv"},
                                               {"show", id},
                                               {"show", "--archive", archived},
                                               {"due"}}) {
    const Outcome o = RunCli(dir, args, "/", "", as);
    EXPECT_TRUE(o.status == 0 || (args[0] == "due" && o.status == 1)) << Shown(args) << o.err;
    seen.push_back(o.out);
  }
  return seen;
}

// Every writing command fails at once with the read-only message, and reading ones still work.
void ExpectReadOnly(const Scratch& s, const std::string& dir, const std::string& id,
                    const std::string& archived, const std::vector<std::string>& before, RunAs as) {
  EXPECT_EQ(Readings(dir, id, archived, as), before);
  const Outcome exported = RunCli(dir, {"export", s.Path("out.tsv")}, "/", "", as);
  EXPECT_EQ(exported.status, 0) << exported.err;
  EXPECT_NE(ReadWhole(s.Path("out.tsv")).find("second"), std::string::npos);
  const Outcome checked = RunCli(dir, {"check"}, "/", "", as);
  EXPECT_EQ(checked.status, 0) << checked.err;
  EXPECT_NE(checked.out.find("sound"), std::string::npos) << checked.out;

  WriteWhole(s.Path("in.tsv"),
             "id\treminder_date\tnote_date\ttopic\tdone\tarchive\tmemo\n"
             "1\t\t2024-05-06\timported\tN\tN\tm\n");
  const std::vector<std::vector<std::string>> writes = {
      {"add", "--topic", "refused"},     {"edit", id, "--done"}, {"delete", id},
      {"delete", "--archive", archived}, {"archive", id},        {"import", s.Path("in.tsv")},
  };
  for (const std::vector<std::string>& args : writes) {
    const Timed t = RunTimed(dir, args, as);
    EXPECT_EQ(t.outcome.status, 3) << Shown(args) << t.outcome.err;
    if (args[0] == "import") {
      EXPECT_EQ(t.outcome.err.rfind(kReadOnly.substr(0, kReadOnly.size() - 1), 0), 0u)
          << t.outcome.err;
    } else {
      EXPECT_EQ(t.outcome.err, kReadOnly) << Shown(args);
    }
    EXPECT_EQ(t.outcome.out, "") << Shown(args);
    EXPECT_LT(t.took, kAtOnce) << Shown(args) << "waited as if another program held the file";
  }
  EXPECT_EQ(Readings(dir, id, archived, as), before);
}

// The data directory is a file system of its own, remounted read-only once the notes are in.
TEST(ReadOnlyDataFile, OnAReadOnlyFileSystemReadsWorkAndWritesFailAtOnce) {
  Scratch s;
  const std::string dir = s.DataDir();
  TmpfsMount mount(dir);
  if (!mount.mounted()) GTEST_SKIP() << mount.reason();
  const auto [id, archived] = ThreeNotes(dir);
  const std::vector<std::string> before = Readings(dir, id, archived);
  ASSERT_TRUE(mount.MakeReadOnly()) << std::strerror(errno);
  ASSERT_EQ(access((dir + "/plk.KSR").c_str(), W_OK), -1);
  ASSERT_EQ(errno, EROFS);
  ExpectReadOnly(s, dir, id, archived, before, RunAs::kSelf);
}

// A read-only file system that holds no data file yet: it reads as empty, and a write says why
// nothing can be created.
TEST(ReadOnlyDataFile, EmptyReadOnlyFileSystemReadsAsEmptyAndRefusesTheFirstNote) {
  Scratch s;
  const std::string dir = s.DataDir();
  TmpfsMount mount(dir);
  if (!mount.mounted()) GTEST_SKIP() << mount.reason();
  ASSERT_TRUE(mount.MakeReadOnly()) << std::strerror(errno);
  const Outcome listed = RunCli(dir, {"list", "--tsv"});
  EXPECT_EQ(listed.status, 0) << listed.err;
  EXPECT_EQ(Lines(listed.out).size(), 1u);  // the header line alone
  const Timed added = RunTimed(dir, {"add", "--topic", "nowhere to go"});
  EXPECT_EQ(added.outcome.status, 3);
  EXPECT_EQ(added.outcome.err,
            "pellucor-cli: cannot create the notes table: the data directory is read-only\n");
  EXPECT_LT(added.took, kAtOnce);
}

// plk.KSR with mode 0444. Root writes it anyway, so as root the commands run as "nobody".
TEST(ReadOnlyDataFile, PermissionsThatForbidWritingFailAtOnceNotAfterTheSharingWait) {
  Scratch s;
  const std::string dir = s.DataDir();
  const RunAs as = geteuid() == 0 ? RunAs::kUnprivileged : RunAs::kSelf;
  if (as == RunAs::kUnprivileged) {
    ASSERT_EQ(chown(s.root().c_str(), kNobody, kNobody), 0);
  }
  const auto [id, archived] = ThreeNotes(dir, as);
  const std::vector<std::string> before = Readings(dir, id, archived, as);
  const std::string file = dir + "/plk.KSR";
  const std::string bytes = ReadWhole(file);
  ASSERT_EQ(chmod(file.c_str(), 0444), 0);
  ExpectReadOnly(s, dir, id, archived, before, as);
  EXPECT_EQ(ReadWhole(file), bytes);

  // Writable again, the same commands work: it was the permissions and nothing else.
  ASSERT_EQ(chmod(file.c_str(), 0644), 0);
  const Outcome added = RunCli(dir, {"add", "--topic", "writable again"}, "/", "", as);
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(Lines(RunCli(dir, {"list", "--tsv"}, "/", "", as).out).size(), 4u);
}

// --- Damaged files ---------------------------------------------------------------------------

// Enough notes, with memos of many lengths, that the file holds many pages.
std::string ManyNotes(const std::string& dir) {
  std::mt19937 random(20240506);
  for (int i = 0; i < 40; ++i) {
    std::string memo(random() % 1200, ' ');
    for (char& c : memo) c = static_cast<char>('a' + random() % 26);
    const Outcome o =
        RunCli(dir, {"add", "--topic", "note " + std::to_string(i), "--date",
                     "2024-0" + std::to_string(1 + i % 9) + "-1" + std::to_string(i % 10), "--memo",
                     memo});
    EXPECT_EQ(o.status, 0) << o.err;
  }
  const Outcome archived = RunCli(dir, {"archive", "5"});
  EXPECT_EQ(archived.status, 0) << archived.err;
  const Outcome checked = RunCli(dir, {"check"});
  EXPECT_EQ(checked.status, 0) << checked.out;
  return ReadWhole(dir + "/plk.KSR");
}

// check exits 1 and names the faults (or why the file is no data file at all).
void ExpectCheckFindsFaults(const std::string& dir, const std::string& what) {
  const Outcome checked = RunCli(dir, {"check"});
  EXPECT_EQ(checked.status, 1) << what << checked.out << checked.err;
  EXPECT_TRUE(checked.out.find("faults") != std::string::npos ||
              checked.out.find("not a sound data file") != std::string::npos)
      << what << checked.out;
  EXPECT_EQ(checked.err, "") << what;
}

// Every command of the list fails with the damaged message and status 3, and writes nothing.
void ExpectEveryCommandDamaged(const Scratch& s, const std::string& dir, const std::string& what) {
  const std::string file = dir + "/plk.KSR";
  const std::string bytes = ReadWhole(file);
  WriteWhole(s.Path("in.tsv"),
             "id\treminder_date\tnote_date\ttopic\tdone\tarchive\tmemo\n"
             "1\t\t2024-05-06\timported\tN\tN\tm\n");
  const std::vector<std::vector<std::string>> commands = {{"list"},
                                                          {"list", "--tab", "archive"},
                                                          {"show", "3"},
                                                          {"due"},
                                                          {"add", "--topic", "into a damaged file"},
                                                          {"edit", "3", "--done"},
                                                          {"delete", "3"},
                                                          {"archive", "3"},
                                                          {"export", s.Path("out.tsv")},
                                                          {"import", s.Path("in.tsv")}};
  for (const std::vector<std::string>& args : commands) {
    const Outcome o = RunCli(dir, args);
    EXPECT_EQ(o.status, 3) << what << Shown(args) << o.err;
    if (args[0] == "import") {
      EXPECT_EQ(o.err.rfind(kDamaged.substr(0, kDamaged.size() - 1), 0), 0u) << what << o.err;
    } else {
      EXPECT_EQ(o.err, kDamaged) << what << Shown(args);
    }
  }
  EXPECT_EQ(ReadWhole(file), bytes) << what << "a command wrote into the damaged file";
  ExpectCheckFindsFaults(dir, what);
}

TEST(DamagedDataFile, ZeroedHeaderOrCutShortIsReportedInWords) {
  Scratch s;
  const std::string dir = s.DataDir();
  const std::string good = ManyNotes(dir);
  ASSERT_GT(good.size(), 8192u);
  const std::string file = dir + "/plk.KSR";

  std::string zeroed = good;
  std::fill(zeroed.begin(), zeroed.begin() + 512, '\0');
  WriteWhole(file, zeroed);
  ExpectEveryCommandDamaged(s, dir, "first 512 bytes zeroed: ");

  for (const size_t keep : {good.size() / 2, size_t{1024}, size_t{600}}) {
    WriteWhole(file, good.substr(0, keep));
    ExpectEveryCommandDamaged(s, dir, "cut to " + std::to_string(keep) + " bytes: ");
  }
}

// Garbage over part of one 512-byte block at a time (every third block, for time). A command either
// reads past the damage (the bytes may be ones it does not use) or says the file is damaged, with
// status 3: never a runtime error, never a crash; check finds the faults of every file a command
// called damaged.
TEST(DamagedDataFile, GarbageInAPageIsReportedInWords) {
  Scratch s;
  const std::string dir = s.DataDir();
  const std::string good = ManyNotes(dir);
  const std::string file = dir + "/plk.KSR";
  std::mt19937 random(7);
  size_t damaged = 0;
  for (size_t block = 512; block + 512 <= good.size(); block += 3 * 512) {
    std::string bytes = good;
    for (size_t i = block + 24; i < block + 280; ++i) bytes[i] = static_cast<char>(random());
    WriteWhole(file, bytes);
    const std::string what = "garbage at " + std::to_string(block + 24) + ": ";
    const Outcome listed = RunCli(dir, {"list", "--tsv"});
    if (listed.status == 0) continue;
    ++damaged;
    EXPECT_EQ(listed.status, 3) << what << listed.err;
    EXPECT_EQ(listed.err, kDamaged) << what;
    const Outcome added = RunCli(dir, {"add", "--topic", "into a damaged file"});
    if (added.status != 0) {
      EXPECT_EQ(added.status, 3) << what << added.err;
      EXPECT_EQ(added.err, kDamaged) << what;
      EXPECT_EQ(ReadWhole(file), bytes) << what << "a failed add wrote into the damaged file";
    }
    ExpectCheckFindsFaults(dir, what);
  }
  // Most blocks hold the pages of the tree: the damage must have been met many times.
  EXPECT_GE(damaged, 3u);
}

}  // namespace
}  // namespace pellucor::app::clitest
