// The tree against a std::map model under a long random mix of inserts, replacements and
// deletes of entries of mixed sizes, with tiny pages so that splits, root growth, merges,
// size-class changes and region moves all happen; checked every 1,000 operations.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>

#include "data/pagefile/checker.h"
#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

Bytes RandomKey(std::mt19937& rng) {
  // Keys share prefixes (a "table" byte pair and a few common starts) so that the prefix
  // compression and the order of near-equal keys are exercised.
  static const char* starts[] = {"", "note", "notes-", "n", "zz"};
  std::string k = starts[rng() % 5];
  const size_t n = 1 + rng() % 12;
  for (size_t i = 0; i < n; ++i) k += static_cast<char>(rng() % 2 ? 'a' + rng() % 4 : rng() % 256);
  return B(k);
}

Bytes RandomData(std::mt19937& rng) {
  const size_t kind = rng() % 10;
  size_t n = kind < 5 ? rng() % 16 : kind < 9 ? rng() % 120 : 120 + rng() % 260;
  Bytes d(n);
  // Runs of blanks, as records of notes have, let pages pack.
  const bool blanks = rng() % 2;
  for (auto& b : d) b = blanks && rng() % 4 ? ' ' : static_cast<uint8_t>(rng());
  return d;
}

void ExpectSame(PageFile* file, const Model& model, size_t step) {
  ASSERT_EQ(Scan(file), model) << "after operation " << step;
  // Backwards too, and a few seeks from keys in and between the entries.
  Cursor c(file);
  auto it = model.rbegin();
  for (bool ok = c.SeekLast(); ok; ok = c.Prev(), ++it) {
    ASSERT_NE(it, model.rend());
    ASSERT_EQ(Bytes(c.key().begin(), c.key().end()), it->first);
  }
  ASSERT_EQ(it, model.rend());
  CheckReport report = CheckPageFile(file, 20, CheckScope::kStructure);
  ASSERT_TRUE(report.sound()) << "after operation " << step << "\n" << report.Text();
}

TEST(BTreeRandom, MatchesModelThroughSplitsMergesAndRegionMoves) {
  const bool short_run =
      std::getenv("PELLUCOR_SHORT") != nullptr && std::string(std::getenv("PELLUCOR_SHORT")) == "1";
  const size_t operations = short_run ? 20000 : 100000;
  ScratchDir dir(Medium::kMemory);
  const std::string path = dir.File("random.ksr");
  OpenOptions options;
  options.split = TinyPages();
  auto file = OpenFile(path, options);
  ASSERT_TRUE(file);
  Model model;
  std::mt19937 rng(20261208);
  std::vector<Bytes> known;
  uint64_t max_levels = 0;
  uint64_t page_moves = 0;
  for (size_t step = 1; step <= operations; ++step) {
    const unsigned what = rng() % 100;
    // Grow for the first third, then hover, then shrink in the last sixth.
    const unsigned insert_share = step < operations / 3 ? 70 : step > operations * 5 / 6 ? 25 : 50;
    if (what < insert_share || known.empty()) {
      Bytes k = RandomKey(rng);
      Bytes d = RandomData(rng);
      const bool inserted = file->Insert(S(k), S(d));
      ASSERT_EQ(inserted, model.count(k) == 0) << step;
      if (inserted) {
        model[k] = d;
        known.push_back(k);
      }
    } else if (what < insert_share + 10) {
      Bytes& k = known[rng() % known.size()];
      Bytes d = RandomData(rng);
      file->Put(S(k), S(d));
      model[k] = d;
    } else {
      const size_t i = rng() % known.size();
      Bytes k = known[i];
      known[i] = known.back();
      known.pop_back();
      ASSERT_EQ(file->Erase(S(k)), model.erase(k) == 1) << step;
    }
    if (step % 97 == 0) {
      ASSERT_TRUE(file->Commit());
    }
    if (step % 1000 == 0) {
      ASSERT_TRUE(file->Commit());
      ExpectSame(file.get(), model, step);
      if (file->header().root != kNoRoot) {
        kestrune::Page root;
        kestrune::PagePrefix prefix;
        ASSERT_EQ(file->ReadPageChecked(file->header().root, &root, &prefix), 0);
        max_levels = std::max<uint64_t>(max_levels, root.level());
      }
    }
    if (step % 25000 == 0) {
      // A fresh open sees exactly what was committed.
      ASSERT_TRUE(file->Commit());
      page_moves += file->stats().page_moves;
      file.reset();
      file = OpenFile(path, options);
      ASSERT_TRUE(file);
      ExpectSame(file.get(), model, step);
    }
  }
  ASSERT_TRUE(file->Commit());
  ExpectSame(file.get(), model, operations);
  EXPECT_GE(max_levels, 2u) << "the tree never grew beyond two levels";
  EXPECT_GT(page_moves + file->stats().page_moves, 0u) << "no region ever made room";
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
