// Reading one entry's data: from a cached leaf, or from the stored leaf without caching it, and
// cached at a second read soon after.
#include <gtest/gtest.h>

#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

TEST(ReadData, UncachedLeavesAreReadInPlaceAndCachedAtTheSecondRead) {
  ScratchDir dir;
  const std::string path = dir.File("f.ksr");
  Model model;
  {
    auto file = OpenFile(path);
    for (int i = 0; i < 300; ++i) {
      Bytes value(900 + i % 7, static_cast<uint8_t>(' '));
      value[i % 50] = static_cast<uint8_t>('a' + i % 26);
      const Bytes key = B("k" + std::to_string(1000 + i));
      file->Put(S(key), S(value));
      model[key] = value;
    }
    ASSERT_TRUE(file->Commit());
  }
  auto file = OpenFile(path);
  ASSERT_TRUE(file->CheckHeader(LogHandling::kApply));
  for (const auto& [key, value] : model) {
    Bytes out(2000, 0xEE);
    size_t length = 0;
    const uint64_t before = file->stats().pages_read;
    ASSERT_TRUE(file->ReadData(S(key), out, &length));
    ASSERT_EQ(length, value.size());
    EXPECT_TRUE(std::equal(value.begin(), value.end(), out.begin()));
    EXPECT_EQ(out[value.size()], 0xEE);
    EXPECT_GE(file->stats().pages_read, before);
  }
  // On a cold cache the same entry again and again: its leaf is read from the file twice (the
  // first time in place, the second time into the cache), then comes from memory.
  file = OpenFile(path);
  ASSERT_TRUE(file->CheckHeader(LogHandling::kApply));
  const Bytes key = model.rbegin()->first;
  Bytes out(10);
  size_t length = 0;
  uint64_t reads[4];
  for (uint64_t& r : reads) {
    ASSERT_TRUE(file->ReadData(S(key), out, &length));
    r = file->stats().pages_read;
  }
  EXPECT_EQ(reads[1] - reads[0], 1u);
  EXPECT_EQ(reads[2], reads[1]);
  EXPECT_EQ(reads[3], reads[2]);
  // A short buffer takes what fits; a key that is not there is not found.
  EXPECT_EQ(length, model.rbegin()->second.size());
  EXPECT_FALSE(file->ReadData(S(B("k0999")), out, &length));
  EXPECT_FALSE(file->ReadData(S(B("zzz")), out, &length));
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
