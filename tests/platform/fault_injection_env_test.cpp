#include "platform/fault_injection_env.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "platform/system_error.h"
#include "tests/platform/temp_dir.h"

namespace pellucor::platform {
namespace {

using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteWholeFile;

// One step of the script every stop point is tried with.
struct Step {
  int file;  // 0 or 1
  enum { kWrite, kTruncate, kFlush } what;
  uint64_t offset = 0;  // write offset or new size
  std::string data;
};

const std::vector<Step> kScript = {
    {0, Step::kWrite, 0, "header-v1:"},
    {0, Step::kWrite, 10, "page one ........"},
    {1, Step::kWrite, 0, "log entry 1;"},
    {0, Step::kFlush, 0, ""},
    {1, Step::kWrite, 12, "log entry 2;"},
    {0, Step::kWrite, 0, "HEADER-V2"},          // overwrites flushed bytes
    {0, Step::kWrite, 40, "beyond a hole"},     // extends past the end, leaving a gap
    {0, Step::kWrite, 5, "overlapping write"},  // overlaps an unflushed write
    {1, Step::kFlush, 0, ""},
    {0, Step::kTruncate, 30, ""},  // cuts into the unflushed extension
    {1, Step::kWrite, 3, "XY"},
    {0, Step::kWrite, 28, "tail"},
    {0, Step::kTruncate, 64, ""},  // grows with zeros
    {1, Step::kTruncate, 5, ""},
    {0, Step::kFlush, 0, ""},
    {1, Step::kWrite, 20, "after the last flush of file 0"},
};

void Apply(std::string* bytes, const Step& s, uint64_t kept) {
  if (s.what == Step::kTruncate) {
    bytes->resize(s.offset, '\0');
    return;
  }
  if (bytes->size() < s.offset + kept) bytes->resize(s.offset + kept, '\0');
  bytes->replace(s.offset, kept, s.data.substr(0, kept));
}

// What the files must hold: the bytes of the last flush, and the successful steps since.
struct Model {
  std::string durable[2];
  std::string current[2];
  std::vector<Step> unflushed[2];
};

Model RunScript(Env* env, const std::string paths[2], uint64_t* failures) {
  Model m;
  std::unique_ptr<File> files[2];
  for (int i = 0; i < 2; ++i) {
    EXPECT_TRUE(env->Open(paths[i], Access::kReadWrite, Share::kDenyWrite, Disposition::kCreateNew,
                          &files[i])
                    .ok());
  }
  *failures = 0;
  for (const Step& s : kScript) {
    File* f = files[s.file].get();
    Status status;
    if (s.what == Step::kWrite) status = f->Write(s.offset, s.data.data(), s.data.size());
    if (s.what == Step::kTruncate) status = f->Truncate(s.offset);
    if (s.what == Step::kFlush) status = f->Flush();
    if (!status.ok()) {
      EXPECT_EQ(status.error, syserr::kWriteFault);
      ++*failures;
      continue;
    }
    EXPECT_EQ(*failures, 0u) << "an operation succeeded after the stop";
    if (s.what == Step::kFlush) {
      m.durable[s.file] = m.current[s.file];
      m.unflushed[s.file].clear();
    } else {
      Apply(&m.current[s.file], s, s.data.size());
      m.unflushed[s.file].push_back(s);
    }
  }
  return m;
}

TEST(FaultInjectionEnv, EveryStopPointAndFateLeavesExactlyWhatTheModelSays) {
  const uint64_t total = kScript.size();
  for (UnflushedFate fate : {UnflushedFate::kKeep, UnflushedFate::kDrop, UnflushedFate::kTear}) {
    for (uint64_t k = 1; k <= total + 1; ++k) {
      SCOPED_TRACE("fate " + std::to_string(static_cast<int>(fate)) + ", stop at " +
                   std::to_string(k));
      TempDir dir;
      const std::string paths[2] = {dir / "data.ksr", dir / "data.log"};
      // Half of the runs also sync for real: the outcome must not depend on it.
      FaultInjectionEnv env(Env::Default(), k % 2 == 0 ? DiskSync::kReal : DiskSync::kSkip);
      env.StopAt(k);
      env.SetTearSeed(k * 7919);
      uint64_t failures = 0;
      const Model m = RunScript(&env, paths, &failures);
      EXPECT_EQ(failures, k <= total ? total - k + 1 : 0);
      EXPECT_EQ(env.operations(), total);
      EXPECT_EQ(env.stopped(), k <= total);
      std::vector<CrashedOperation> report;
      ASSERT_TRUE(env.Crash(fate, &report));
      for (int i = 0; i < 2; ++i) {
        std::string expected = m.durable[i];
        if (fate == UnflushedFate::kKeep) expected = m.current[i];
        std::vector<CrashedOperation> mine;
        for (const auto& c : report)
          if (c.path == paths[i]) mine.push_back(c);
        ASSERT_EQ(mine.size(), m.unflushed[i].size());
        for (size_t j = 0; j < mine.size(); ++j) {
          const Step& s = m.unflushed[i][j];
          EXPECT_EQ(mine[j].kind == CrashedOperation::Kind::kTruncate, s.what == Step::kTruncate);
          EXPECT_EQ(mine[j].offset, s.offset);
          EXPECT_EQ(mine[j].length, s.data.size());
          if (fate == UnflushedFate::kTear && mine[j].kept_bytes > 0)
            Apply(&expected, s, mine[j].kept_bytes);
        }
        EXPECT_EQ(ReadWholeFile(paths[i]), expected) << paths[i];
      }
    }
  }
}

TEST(FaultInjectionEnv, TearingKeepsDropsAndCutsDependingOnTheSeed) {
  std::set<std::string> outcomes;  // "whole", "dropped", "cut"
  std::map<uint64_t, std::string> by_seed;
  for (uint64_t seed = 1; seed <= 12; ++seed) {
    for (int repeat = 0; repeat < 2; ++repeat) {
      TempDir dir;
      FaultInjectionEnv env(Env::Default());
      env.SetTearSeed(seed);
      std::unique_ptr<File> f;
      ASSERT_TRUE(
          env.Open(dir / "f", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &f)
              .ok());
      for (int i = 0; i < 4; ++i) {
        const std::string block(100, static_cast<char>('a' + i));
        ASSERT_TRUE(f->Write(static_cast<uint64_t>(i) * 100, block.data(), block.size()).ok());
      }
      std::vector<CrashedOperation> report;
      ASSERT_TRUE(env.Crash(UnflushedFate::kTear, &report));
      for (const auto& c : report)
        outcomes.insert(c.kept_bytes == c.length ? "whole" : c.kept_bytes == 0 ? "dropped" : "cut");
      const std::string result = ReadWholeFile(dir / "f");
      if (repeat == 0) {
        by_seed[seed] = result;
      } else {
        EXPECT_EQ(result, by_seed[seed]) << "the same seed must tear the same way";
      }
    }
  }
  EXPECT_EQ(outcomes.size(), 3u);
}

TEST(FaultInjectionEnv, AFlushThroughOneOpenCoversTheWritesOfAnother) {
  TempDir dir;
  FaultInjectionEnv env(Env::Default());
  std::unique_ptr<File> a, b;
  ASSERT_TRUE(
      env.Open(dir / "f", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &a).ok());
  ASSERT_TRUE(
      env.Open(dir / "f", Access::kReadWrite, Share::kDenyNone, Disposition::kOpenExisting, &b)
          .ok());
  ASSERT_TRUE(a->Write(0, "first", 5).ok());
  ASSERT_TRUE(b->Flush().ok());
  ASSERT_TRUE(b->Write(5, "second", 6).ok());
  EXPECT_EQ(env.writes(), 2u);
  EXPECT_EQ(env.flushes(), 1u);
  ASSERT_TRUE(env.Crash(UnflushedFate::kDrop));
  EXPECT_EQ(ReadWholeFile(dir / "f"), "first");
  // A crashed machine does nothing more.
  EXPECT_EQ(a->Write(0, "x", 1).error, syserr::kWriteFault);
  char c;
  size_t got;
  EXPECT_FALSE(a->Read(0, &c, 1, &got).ok());
  EXPECT_FALSE(
      env.Open(dir / "g", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &b).ok());
}

TEST(FaultInjectionEnv, RenamedRemovedAndRecreatedFiles) {
  TempDir dir;
  WriteWholeFile(dir / "settings", "old settings");
  FaultInjectionEnv env(Env::Default());
  {
    std::unique_ptr<File> f;
    // Opening over an existing file truncates it: that too is lost unless flushed.
    ASSERT_TRUE(env.Open(dir / "settings", Access::kReadWrite, Share::kDenyNone,
                         Disposition::kCreateAlways, &f)
                    .ok());
    EXPECT_EQ(env.truncates(), 1u);
    ASSERT_TRUE(f->Write(0, "new", 3).ok());
  }
  {
    std::unique_ptr<File> f;
    ASSERT_TRUE(
        env.Open(dir / "tmp", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &f)
            .ok());
    ASSERT_TRUE(f->Write(0, "flushed", 7).ok());
    ASSERT_TRUE(f->Flush().ok());
    ASSERT_TRUE(f->Write(7, " and not", 8).ok());
  }
  ASSERT_TRUE(env.Rename(dir / "tmp", dir / "moved").ok());
  {
    std::unique_ptr<File> f;
    ASSERT_TRUE(
        env.Open(dir / "gone", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &f)
            .ok());
    ASSERT_TRUE(f->Write(0, "doomed", 6).ok());
  }
  ASSERT_TRUE(env.Remove(dir / "gone").ok());
  EXPECT_EQ(env.operations(), 6u);
  ASSERT_TRUE(env.Crash(UnflushedFate::kDrop));
  EXPECT_EQ(ReadWholeFile(dir / "settings"), "old settings");
  EXPECT_EQ(ReadWholeFile(dir / "moved"), "flushed");
  EXPECT_FALSE(Env::Default()->Exists(dir / "gone"));
}

TEST(FaultInjectionEnv, AStoppedMachineChangesNoNames) {
  TempDir dir;
  WriteWholeFile(dir / "a", "a");
  FaultInjectionEnv env(Env::Default());
  env.StopAt(1);
  std::unique_ptr<File> f;
  ASSERT_TRUE(
      env.Open(dir / "a", Access::kReadWrite, Share::kDenyNone, Disposition::kOpenExisting, &f)
          .ok());
  EXPECT_EQ(f->Write(0, "b", 1).error, syserr::kWriteFault);
  EXPECT_EQ(env.Rename(dir / "a", dir / "b").error, syserr::kWriteFault);
  EXPECT_EQ(env.Remove(dir / "a").error, syserr::kWriteFault);
  EXPECT_EQ(
      env.Open(dir / "c", Access::kReadWrite, Share::kDenyNone, Disposition::kOpenAlways, &f).error,
      syserr::kWriteFault);
  EXPECT_EQ(ReadWholeFile(dir / "a"), "a");
  EXPECT_FALSE(Env::Default()->Exists(dir / "c"));
}

TEST(CountingEnv, CountsWritesAndFlushes) {
  TempDir dir;
  CountingEnv env(Env::Default());
  std::unique_ptr<File> f;
  ASSERT_TRUE(
      env.Open(dir / "f", Access::kReadWrite, Share::kDenyNone, Disposition::kCreateNew, &f).ok());
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(f->Write(static_cast<uint64_t>(i) * 64, "0123", 4).ok());
  ASSERT_TRUE(f->Flush().ok());
  EXPECT_EQ(env.writes(), 3u);
  EXPECT_EQ(env.flushes(), 1u);
  EXPECT_EQ(env.bytes_written(), 12u);
  env.ResetCounters();
  EXPECT_EQ(env.writes(), 0u);
  EXPECT_EQ(ReadWholeFile(dir / "f").size(), 132u);
}

}  // namespace
}  // namespace pellucor::platform
