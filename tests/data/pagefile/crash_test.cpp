// Crash safety: a sequence of changing operations runs through the fault-injecting file layer,
// which stops the machine at the k-th write, truncation or flush, for every k; the writes no
// flush covered are then kept, dropped or torn. After reopening, the structural check passes and
// the file holds exactly the entries before or after the interrupted operation.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <random>

#include "data/pagefile/checker.h"
#include "platform/fault_injection_env.h"
#include "runtime/core/error_state.h"
#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

using platform::FaultInjectionEnv;
using platform::UnflushedFate;

// One operation: a batch of changes made permanent by one commit.
struct Operation {
  std::vector<std::pair<Bytes, Bytes>> puts;
  std::vector<Bytes> erases;
};

std::vector<Operation> MakeOperations(const Model& start, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<Operation> ops;
  std::vector<Bytes> keys;
  for (auto& [k, v] : start) keys.push_back(k);
  // The sanitizer run (PELLUCOR_SHORT=1) walks fewer operations; every stop point of each is
  // still tried.
  const char* short_run = std::getenv("PELLUCOR_SHORT");
  const int count = short_run && std::string(short_run) == "1" ? 3 : 6;
  for (int i = 0; i < count; ++i) {
    Operation op;
    const int n = 1 + static_cast<int>(rng() % 30);
    for (int j = 0; j < n; ++j) {
      if (!keys.empty() && rng() % 3 == 0) {
        const size_t at = rng() % keys.size();
        op.erases.push_back(keys[at]);
        keys.erase(keys.begin() + static_cast<std::ptrdiff_t>(at));
      } else {
        std::string k = "k" + std::to_string(rng() % 5000);
        Bytes v(rng() % 200, static_cast<uint8_t>('a' + rng() % 26));
        op.puts.emplace_back(B(k), v);
        keys.push_back(B(k));
      }
    }
    ops.push_back(std::move(op));
  }
  return ops;
}

Model Apply(Model m, const Operation& op) {
  for (auto& [k, v] : op.puts) m[k] = v;
  for (auto& k : op.erases) m.erase(k);
  return m;
}

Model BuildStart(const std::string& path, const OpenOptions& options) {
  Model m;
  auto file = OpenFile(path, options);
  for (int i = 0; i < 300; ++i) {
    Bytes k = B("k" + std::to_string(i * 13 % 5000));
    Bytes v(40 + i % 90, static_cast<uint8_t>(' '));
    file->Put(S(k), S(v));
    m[k] = v;
  }
  EXPECT_TRUE(file->Commit());
  return m;
}

// A plain commit, or a transaction's two halves (whose log stays discardable in between).
enum class CommitForm { kPlain, kTransaction };

// Runs the operations with the machine stopping at operation k; returns the index of the
// operation that was interrupted, or ops.size() when all completed.
size_t RunUntilStop(const std::string& path, const OpenOptions& base, FaultInjectionEnv* env,
                    const std::vector<Operation>& ops, uint64_t k, CommitForm form) {
  OpenOptions options = base;
  options.env = env;
  env->StopAt(k);
  auto file = PageFile::Open(path, options);
  if (!file) return 0;  // the open itself was stopped (it writes nothing on a sound file)
  for (size_t i = 0; i < ops.size(); ++i) {
    for (auto& [key, value] : ops[i].puts) file->Put(S(key), S(value));
    for (auto& key : ops[i].erases) file->Erase(S(key));
    const bool committed =
        form == CommitForm::kPlain ? file->Commit() : file->PrepareCommit() && file->FinishCommit();
    if (!committed) {
      EXPECT_NE(runtime::ErrorCode(), 0);
      return i;
    }
  }
  return ops.size();
}

void CrashEverywhere(const OpenOptions& base, uint32_t seed, CommitForm form) {
  ScratchDir dir(Medium::kMemory);
  const std::string original = dir.File("original.ksr");
  const Model start = BuildStart(original, base);
  const std::vector<Operation> ops = MakeOperations(start, seed);
  std::vector<Model> states{start};
  for (auto& op : ops) states.push_back(Apply(states.back(), op));

  size_t runs = 0;
  for (UnflushedFate fate : {UnflushedFate::kKeep, UnflushedFate::kDrop, UnflushedFate::kTear}) {
    for (uint64_t k = 1;; ++k) {
      const std::string path = dir.File("copy.ksr");
      std::filesystem::copy_file(original, path, std::filesystem::copy_options::overwrite_existing);
      FaultInjectionEnv env(platform::Env::Default());
      env.SetTearSeed(k * 7919 + seed);
      const size_t interrupted = RunUntilStop(path, base, &env, ops, k, form);
      ASSERT_TRUE(env.Crash(fate));
      ++runs;

      OpenOptions reopen = base;
      auto file = PageFile::Open(path, reopen);
      if (!file) {
        std::ifstream in(path, std::ios::binary);
        std::vector<uint8_t> raw(512);
        in.read(reinterpret_cast<char*>(raw.data()), 512);
        FileHeader h;
        std::string detail;
        (void)DecodeHeader(raw, &h, &detail);
        FAIL() << "k=" << k << " fate " << static_cast<int>(fate) << " error "
               << runtime::ErrorCode() << " header: " << detail;
      }
      CheckReport report = CheckPageFile(file.get(), 20, CheckScope::kStructure);
      ASSERT_TRUE(report.sound()) << "k=" << k << "\n" << report.Text();
      const Model seen = Scan(file.get());
      if (interrupted == ops.size()) {
        ASSERT_EQ(seen, states.back()) << "k=" << k;
        break;  // the stop lay beyond the last operation: every k has been tried
      }
      ASSERT_TRUE(seen == states[interrupted] || seen == states[interrupted + 1])
          << "k=" << k << " interrupted operation " << interrupted << " fate "
          << static_cast<int>(fate);
      // The repaired file takes further changes.
      file->Put(S(B("after")), S(B("crash")));
      ASSERT_TRUE(file->Commit());
    }
  }
  EXPECT_GT(runs, 30u);
}

TEST(CrashSafety, EveryStopKeepsTheTreeBeforeOrAfter) {
  OpenOptions options;
  options.split = TinyPages();
  CrashEverywhere(options, 1, CommitForm::kPlain);
}

TEST(CrashSafety, EveryStopKeepsATransactionsTreeBeforeOrAfter) {
  OpenOptions options;
  options.split = TinyPages();
  CrashEverywhere(options, 3, CommitForm::kTransaction);
}

TEST(CrashSafety, EveryStopKeepsAnEncipheredTreeBeforeOrAfter) {
  OpenOptions options;
  options.split = TinyPages();
  options.owner = "crash owner";
  CrashEverywhere(options, 2, CommitForm::kPlain);
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
