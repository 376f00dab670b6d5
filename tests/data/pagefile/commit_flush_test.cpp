// Flushes of a commit: a plain commit leaves its final header for the next flush to carry, so a
// run of commits costs three flushes each; the first commit after the header came from
// elsewhere flushes once more before it writes, and the log a stopped commit may still need is
// never written over before that header is durable.
#include <gtest/gtest.h>

#include "platform/fault_injection_env.h"
#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

using platform::FaultInjectionEnv;
using platform::UnflushedFate;

void Change(PageFile* file, int round, Model* model = nullptr) {
  for (int i = 0; i < 40; ++i) {
    const Bytes key = B("k" + std::to_string(i * 7 % 40));
    const Bytes value = B(std::string(30 + round % 5, static_cast<char>('a' + round % 26)));
    if (file) file->Put(S(key), S(value));
    if (model) (*model)[key] = value;
  }
}

TEST(CommitFlushes, PlainCommitsTakeThreeFlushesAndTheFirstAfterAnOpenFour) {
  ScratchDir dir;
  const std::string path = dir.File("f.ksr");
  platform::CountingEnv env(platform::Env::Default());
  OpenOptions options;
  options.env = &env;
  options.split = TinyPages();
  {
    auto file = OpenFile(path, options);
    Change(file.get(), 0);
    ASSERT_TRUE(file->Commit());
  }
  auto file = OpenFile(path, options);
  // The header read at open may not be durable yet: one flush before anything is written.
  env.ResetCounters();
  Change(file.get(), 1);
  ASSERT_TRUE(file->Commit());
  EXPECT_EQ(env.flushes(), 4u);
  for (int round = 2; round < 12; ++round) {
    env.ResetCounters();
    Change(file.get(), round);
    ASSERT_TRUE(file->Commit());
    EXPECT_EQ(env.flushes(), 3u) << "round " << round;
  }
}

// A crash right after a commit, its final header lost: the header of step 2 is what the disk
// holds, and the log it points at is read and applied again, whole, even after later commits
// began (and stopped) in the meantime.
TEST(CommitFlushes, ALostFinalHeaderFindsItsLogIntact) {
  ScratchDir dir(Medium::kMemory);
  const std::string path = dir.File("f.ksr");
  {
    OpenOptions options;
    options.split = TinyPages();
    auto file = OpenFile(path, options);
    Change(file.get(), 0);
    ASSERT_TRUE(file->Commit());
  }
  int crashes = 0;
  for (UnflushedFate fate : {UnflushedFate::kDrop, UnflushedFate::kTear, UnflushedFate::kKeep}) {
    for (uint64_t stop = 1; stop < 12; ++stop) {
      const std::string copy = dir.File("copy.ksr");
      std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
      Model committed, after;
      {
        FaultInjectionEnv env(platform::Env::Default());
        env.SetTearSeed(stop);
        OpenOptions options;
        options.env = &env;
        options.split = TinyPages();
        auto file = OpenFile(copy, options);
        Change(file.get(), 1);
        ASSERT_TRUE(file->Commit());
        committed = after = Scan(file.get());
        Change(nullptr, 2, &after);
        const uint64_t done = env.operations();
        // The next commit stops somewhere in its first writes.
        env.StopAt(done + stop);
        Change(file.get(), 2);
        const bool second = file->Commit();
        ASSERT_TRUE(env.Crash(fate));
        if (second) continue;
      }
      ++crashes;
      auto reopened = OpenFile(copy);
      ASSERT_TRUE(reopened) << "stop " << stop;
      const Model seen = Scan(reopened.get());
      EXPECT_TRUE(seen == committed || seen == after)
          << "stop " << stop << " fate " << static_cast<int>(fate);
    }
  }
  EXPECT_GT(crashes, 15);
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
