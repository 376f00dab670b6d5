// Opening, creating, refreshing and recovering files: what a user meets when a file is new,
// damaged, changed by another open, or left with a log by a writer that stopped.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "data/kestrune/page_codec.h"
#include "data/pagefile/checker.h"
#include "platform/fault_injection_env.h"
#include "runtime/core/error_state.h"
#include "runtime/core/fatal.h"
#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}
FileHeader HeaderOf(const std::string& path) {
  const std::string bytes = ReadAll(path);
  FileHeader h;
  EXPECT_EQ(DecodeHeader({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, &h),
            HeaderCheck::kOk);
  return h;
}

Model Fill(PageFile* file, int n, const std::string& prefix = "e") {
  Model m;
  for (int i = 0; i < n; ++i) {
    Bytes k = B(prefix + std::to_string(100000 + i));
    Bytes v(30 + i % 50, static_cast<uint8_t>('0' + i % 10));
    file->Put(S(k), S(v));
    m[k] = v;
  }
  return m;
}

TEST(OpenFile, EmptyFileBecomesANewFile) {
  ScratchDir dir;
  const std::string path = dir.File("empty.ksr");
  WriteAll(path, "");
  {
    // A reader takes it as new without writing.
    OpenOptions ro;
    ro.mode = OpenMode::kReadOnly;
    auto file = PageFile::Open(path, ro);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->CheckHeader(LogHandling::kReadThrough));
    EXPECT_TRUE(Scan(file.get()).empty());
    EXPECT_EQ(ReadAll(path).size(), 0u);
  }
  auto file = PageFile::Open(path, {});
  ASSERT_TRUE(file);
  const std::string bytes = ReadAll(path);
  ASSERT_EQ(bytes.size(), kHeaderSize);
  EXPECT_EQ(bytes.substr(14, 4), "kEsT");
  FileHeader h = HeaderOf(path);
  EXPECT_EQ(h.change_counter, 0u);
  EXPECT_EQ(h.log_start, 512u);
  EXPECT_EQ(h.log_end, 512u);
  EXPECT_EQ(h.PageSpaceEndBlocks(), 0u);
  // The first change starts the tree; the commit counts.
  Model m = Fill(file.get(), 10);
  ASSERT_TRUE(file->Commit());
  h = HeaderOf(path);
  EXPECT_GE(h.change_counter, 1u);
  EXPECT_TRUE(h.LogEmpty());
  file.reset();
  file = PageFile::Open(path, {});
  EXPECT_EQ(Scan(file.get()), m);
}

TEST(OpenFile, ShortOrForeignFilesAreNotKestruneFiles) {
  ScratchDir dir;
  const std::string path = dir.File("bad.ksr");
  for (const std::string& bytes :
       {std::string("x"), std::string(511, 'k'), std::string(600, '\0'), std::string(4096, 'z')}) {
    WriteAll(path, bytes);
    runtime::ClearError();
    EXPECT_EQ(PageFile::Open(path, {}), nullptr) << bytes.size();
    EXPECT_EQ(runtime::ErrorCode(), runtime::err::kInvalidDataFile) << bytes.size();
    EXPECT_EQ(ReadAll(path), bytes) << "a refused file must stay untouched";
  }
  // Signature in place but overlapping regions: refused, not trusted.
  FileHeader h;
  h.region_start[1] = 0;
  h.region_end[1] = 10;
  h.region_start[2] = 4;
  h.region_end[2] = 8;
  const auto raw = EncodeHeader(h);
  WriteAll(path, std::string(raw.begin(), raw.end()) + std::string(4096, '\0'));
  EXPECT_EQ(PageFile::Open(path, {}), nullptr);
  EXPECT_EQ(runtime::ErrorCode(), runtime::err::kInvalidDataFile);
  // A missing file is "File Not Found" unless the open may create it.
  EXPECT_EQ(PageFile::Open(dir.File("missing.ksr"), {}), nullptr);
  EXPECT_EQ(runtime::ErrorCode(), runtime::err::kFileNotFound);
}

TEST(OpenFile, NumberSequenceIsBigEndianAndRefusesTheDirectoryByte) {
  ScratchDir dir;
  const std::string path = dir.File("seq.ksr");
  auto file = OpenFile(path);
  EXPECT_EQ(file->NextNumber(), 1u);
  EXPECT_EQ(file->NextNumber(), 2u);
  ASSERT_TRUE(file->Commit());
  const std::string bytes = ReadAll(path);
  EXPECT_EQ(bytes.substr(20, 4), std::string("\0\0\0\2", 4));
  file.reset();

  // A sequence one short of 0xFE000000 hands out its last number, then stops with 1173.
  std::string patched = bytes;
  patched[20] = '\xFD';
  patched[21] = patched[22] = patched[23] = '\xFF';
  FileHeader h;
  ASSERT_EQ(DecodeHeader({reinterpret_cast<const uint8_t*>(patched.data()), 512}, &h),
            HeaderCheck::kOk);
  h.log_start = h.log_end = static_cast<uint32_t>(h.PageSpaceEndOffset());
  const auto raw = EncodeHeader(h);
  patched.replace(0, 512, std::string(raw.begin(), raw.end()));
  WriteAll(path, patched);
  file = PageFile::Open(path, {});
  ASSERT_TRUE(file);
  auto previous = runtime::SetHaltHook(runtime::HaltHookThrows());
  try {
    (void)file->NextNumber();
    ADD_FAILURE() << "0xFE000000 was handed out";
  } catch (const runtime::HaltException& stop) {
    EXPECT_NE(stop.text.find("1173"), std::string::npos) << stop.text;
  }
  runtime::SetHaltHook(previous);
}

TEST(Refresh, CacheStaysValidUntilAnotherOpenCommits) {
  ScratchDir dir;
  const std::string path = dir.File("shared.ksr");
  auto writer = OpenFile(path);
  Model m = Fill(writer.get(), 400);
  ASSERT_TRUE(writer->Commit());

  OpenOptions ro;
  ro.mode = OpenMode::kReadOnly;
  auto reader = PageFile::Open(path, ro);
  ASSERT_TRUE(reader);
  ASSERT_EQ(Scan(reader.get()), m);
  const uint64_t reads = reader->stats().pages_read;
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  ASSERT_EQ(Scan(reader.get()), m);
  EXPECT_EQ(reader->stats().pages_read, reads) << "an unchanged file was read again";

  // A cursor held across the other open's change finds its place again.
  Cursor cursor(reader.get());
  ASSERT_TRUE(cursor.Seek(S(B("e100200")), SeekBias::kAtOrAfter));
  writer->Put(S(B("e100200x")), S(B("new")));
  ASSERT_TRUE(writer->Erase(S(B("e100201"))));
  ASSERT_TRUE(writer->Commit());
  m[B("e100200x")] = B("new");
  m.erase(B("e100201"));

  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  EXPECT_EQ(Scan(reader.get()), m);
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(Bytes(cursor.key().begin(), cursor.key().end()), B("e100200x"));
  ASSERT_TRUE(cursor.Next());
  EXPECT_EQ(Bytes(cursor.key().begin(), cursor.key().end()), B("e100202"));
  ASSERT_TRUE(cursor.Prev());
  ASSERT_TRUE(cursor.Prev());
  EXPECT_EQ(Bytes(cursor.key().begin(), cursor.key().end()), B("e100200"));
}

TEST(Cursor, SeeksWithEveryBias) {
  ScratchDir dir;
  auto file = OpenFile(dir.File("seek.ksr"), TinyPageOptions());
  for (int i = 0; i < 2000; i += 2) file->Put(S(B("k" + std::to_string(10000 + i))), S(B("v")));
  ASSERT_TRUE(file->Commit());
  Cursor c(file.get());
  auto at = [&] { return std::string(c.key().begin(), c.key().end()); };
  ASSERT_TRUE(c.Seek(S(B("k10500")), SeekBias::kAtOrAfter));
  EXPECT_EQ(at(), "k10500");
  ASSERT_TRUE(c.Seek(S(B("k10500")), SeekBias::kAfter));
  EXPECT_EQ(at(), "k10502");
  ASSERT_TRUE(c.Seek(S(B("k10501")), SeekBias::kAtOrBefore));
  EXPECT_EQ(at(), "k10500");
  ASSERT_TRUE(c.Seek(S(B("k10500")), SeekBias::kBefore));
  EXPECT_EQ(at(), "k10498");
  EXPECT_FALSE(c.Seek(S(B("k99")), SeekBias::kAfter));
  EXPECT_FALSE(c.Seek(S(B("k0")), SeekBias::kBefore));
  ASSERT_TRUE(c.Seek(S(B("k0")), SeekBias::kAtOrAfter));
  EXPECT_EQ(at(), "k10000");
  ASSERT_TRUE(c.Seek(S(B("k99")), SeekBias::kAtOrBefore));
  EXPECT_EQ(at(), "k11998");
  // A walk over leaf boundaries in both directions meets every entry once.
  size_t n = 0;
  for (bool ok = c.SeekLast(); ok; ok = c.Prev()) ++n;
  EXPECT_EQ(n, 1000u);
  // Changes during a walk: the cursor re-seeks from its key.
  ASSERT_TRUE(c.Seek(S(B("k11000")), SeekBias::kAtOrAfter));
  for (int i = 11002; i < 11100; i += 2) ASSERT_TRUE(file->Erase(S(B("k" + std::to_string(i)))));
  ASSERT_TRUE(c.Next());
  EXPECT_EQ(at(), "k11100");
}

// Leaves a file whose header points at a complete log: the writer stopped after the header of
// its commit reached the disk and before the pages were copied in place (a transaction's commit
// stops there by itself until the transaction control file says "committed").
struct LoggedFile {
  Model before;
  Model after;
  std::string bytes;
};
LoggedFile MakeLoggedFile(const std::string& path, const std::string& owner = {}) {
  LoggedFile out;
  OpenOptions options;
  options.owner = owner;
  auto file = OpenFile(path, options);
  out.before = Fill(file.get(), 300);
  EXPECT_TRUE(file->Commit());
  out.after = out.before;
  for (auto& [key, value] : Fill(file.get(), 40, "f")) out.after[key] = value;
  for (int i = 0; i < 300; i += 3) {
    Bytes key = B("e" + std::to_string(100000 + i));
    file->Erase(S(key));
    out.after.erase(key);
  }
  EXPECT_TRUE(file->PrepareCommit());
  file.reset();  // stops here: no copies in place, the header points at the log
  out.bytes = ReadAll(path);
  return out;
}

TEST(Recovery, ReaderReadsThroughTheLogWithoutWritingIt) {
  ScratchDir dir;
  const std::string path = dir.File("logged.ksr");
  LoggedFile logged = MakeLoggedFile(path);
  OpenOptions ro;
  ro.mode = OpenMode::kReadOnly;
  auto reader = PageFile::Open(path, ro);
  ASSERT_TRUE(reader);
  EXPECT_TRUE(reader->LogPending());
  EXPECT_EQ(Scan(reader.get()), logged.after);
  EXPECT_TRUE(CheckPageFile(reader.get(), 20, CheckScope::kStructure).sound());
  ASSERT_TRUE(reader->CheckHeader(LogHandling::kReadThrough));
  EXPECT_EQ(Scan(reader.get()), logged.after);
  EXPECT_EQ(ReadAll(path), logged.bytes) << "a reader wrote the file";
}

TEST(Recovery, FirstWriterAppliesTheLog) {
  ScratchDir dir;
  const std::string path = dir.File("logged.ksr");
  LoggedFile logged = MakeLoggedFile(path);
  {
    auto writer = PageFile::Open(path, {});
    ASSERT_TRUE(writer);
    EXPECT_FALSE(writer->LogPending());
    EXPECT_EQ(Scan(writer.get()), logged.after);
  }
  EXPECT_TRUE(HeaderOf(path).LogEmpty());
  // A shared writer reads through it until it holds the write lock.
  LoggedFile again = MakeLoggedFile(path);
  OpenOptions shared;
  shared.log_at_open = LogHandling::kReadThrough;
  auto writer = PageFile::Open(path, shared);
  ASSERT_TRUE(writer->LogPending());
  EXPECT_FALSE(HeaderOf(path).LogEmpty());
  ASSERT_TRUE(writer->ApplyLog());
  EXPECT_TRUE(HeaderOf(path).LogEmpty());
  EXPECT_EQ(Scan(writer.get()), again.after);
  auto fresh = PageFile::Open(path, {});
  EXPECT_EQ(Scan(fresh.get()), again.after);
  EXPECT_TRUE(CheckPageFile(fresh.get(), 20, CheckScope::kStructure).sound());
}

TEST(Recovery, UncommittedOrUnreadableLogIsDiscarded) {
  ScratchDir dir;
  const std::string path = dir.File("logged.ksr");
  LoggedFile logged = MakeLoggedFile(path);
  OpenOptions options;
  options.log_uncommitted = [](const FileHeader&) { return true; };
  {
    auto file = PageFile::Open(path, options);
    ASSERT_TRUE(file);
    EXPECT_EQ(Scan(file.get()), logged.before);
  }
  EXPECT_TRUE(HeaderOf(path).LogEmpty());

  // A log cut short (its end beyond the file) is not applied either.
  logged = MakeLoggedFile(path);
  ASSERT_FALSE(HeaderOf(path).LogEmpty());
  FileHeader h = HeaderOf(path);
  std::filesystem::resize_file(path, h.log_end - 256);
  auto file = PageFile::Open(path, {});
  ASSERT_TRUE(file);
  EXPECT_EQ(Scan(file.get()), logged.before);
  EXPECT_TRUE(CheckPageFile(file.get(), 20, CheckScope::kStructure).sound());
}

TEST(Recovery, OnlyTheWriteLockHolderDiscardsALogItCannotRead) {
  // Without the write lock a log that cannot be read whole may be another program's commit in
  // progress: a check passes over it (the tree as before it) and writes nothing, even when the
  // file is open for writing. The check under the write lock discards it for good.
  ScratchDir dir;
  const std::string path = dir.File("logged.ksr");
  LoggedFile logged = MakeLoggedFile(path);
  const FileHeader h = HeaderOf(path);
  ASSERT_FALSE(h.LogEmpty());
  std::filesystem::resize_file(path, h.log_end - 256);
  const std::string cut = ReadAll(path);
  OpenOptions shared;
  shared.defer_header = true;
  auto writer = PageFile::Open(path, shared);
  ASSERT_TRUE(writer);
  EXPECT_EQ(ReadAll(path), cut) << "a deferred open read or wrote the file";
  ASSERT_TRUE(writer->CheckHeader(LogHandling::kReadThrough));
  EXPECT_TRUE(writer->LogPending());
  EXPECT_EQ(Scan(writer.get()), logged.before);
  ASSERT_TRUE(writer->CheckHeader(LogHandling::kReadThrough));
  EXPECT_EQ(ReadAll(path), cut) << "a check without the write lock wrote the file";
  ASSERT_TRUE(writer->CheckHeader(LogHandling::kApply));
  EXPECT_FALSE(writer->LogPending());
  EXPECT_TRUE(HeaderOf(path).LogEmpty());
  EXPECT_EQ(Scan(writer.get()), logged.before);
  writer->Put(S(B("later")), S(B("x")));
  ASSERT_TRUE(writer->Commit());
  Model expected = logged.before;
  expected[B("later")] = B("x");
  auto fresh = PageFile::Open(path, {});
  EXPECT_EQ(Scan(fresh.get()), expected);
  EXPECT_TRUE(CheckPageFile(fresh.get(), 20, CheckScope::kStructure).sound());
}

TEST(OpenFile, DeferredOpenOfAnEmptyFileWritesOnlyUnderTheWriteLock) {
  ScratchDir dir;
  const std::string path = dir.File("new.ksr");
  WriteAll(path, "");
  OpenOptions shared;
  shared.defer_header = true;
  auto file = PageFile::Open(path, shared);
  ASSERT_TRUE(file);
  ASSERT_TRUE(file->CheckHeader(LogHandling::kReadThrough));
  EXPECT_TRUE(Scan(file.get()).empty());
  EXPECT_EQ(ReadAll(path).size(), 0u);
  ASSERT_TRUE(file->CheckHeader(LogHandling::kApply));
  EXPECT_EQ(ReadAll(path).size(), kHeaderSize);
  Model m = Fill(file.get(), 20);
  ASSERT_TRUE(file->Commit());
  auto again = PageFile::Open(path, {});
  EXPECT_EQ(Scan(again.get()), m);
}

TEST(OpenFile, HeadersThatContradictTheFileAreDamagedAndNothingIsWritten) {
  ScratchDir dir;
  const std::string path = dir.File("notes.ksr");
  {
    auto file = OpenFile(path, TinyPageOptions());
    Fill(file.get(), 300);
    ASSERT_TRUE(file->Commit());
  }
  const std::string good = ReadAll(path);
  const FileHeader h = HeaderOf(path);
  auto refused = [&](FileHeader bad, const std::string& why) {
    std::string bytes = good;
    const auto raw = EncodeHeader(bad);
    bytes.replace(0, kHeaderSize, reinterpret_cast<const char*>(raw.data()), raw.size());
    WriteAll(path, bytes);
    runtime::ClearError();
    auto file = PageFile::Open(path, {});
    EXPECT_EQ(file, nullptr) << why;
    EXPECT_EQ(runtime::ErrorCode(), runtime::err::kInvalidDataFile) << why;
    EXPECT_NE(runtime::Errors().file_error.find("damaged"), std::string::npos) << why;
    EXPECT_EQ(ReadAll(path), bytes) << why << ": a damaged file was written";
  };
  // A new file's header written over a file in use (what a second program used to do when both
  // found the file empty): taking it as new would build a tree over the notes.
  refused(FileHeader{}, "new header in front of pages");
  FileHeader zero = h;
  zero.change_counter = 0;
  refused(zero, "counter 0 with regions");
  FileHeader rootless = h;
  rootless.root = kNoRoot;
  refused(rootless, "no root with regions");
  FileHeader beyond = h;
  for (size_t d = kRegionCount - 1; d > 0; --d) {
    if (beyond.RegionEmpty(d)) continue;
    beyond.region_end[d] += static_cast<uint32_t>(d) * 64;  // the highest region only
    break;
  }
  refused(beyond, "page space beyond the end of the file");
  WriteAll(path, good);
  auto file = PageFile::Open(path, {});
  ASSERT_TRUE(file);
  EXPECT_EQ(Scan(file.get()).size(), 300u);
}

TEST(Encipher, OwnerTextOpensTheFileAndNothingElseDoes) {
  ScratchDir dir;
  const std::string path = dir.File("secret.ksr");
  OpenOptions options;
  options.owner = "Topsecret";
  Model m;
  {
    auto file = OpenFile(path, options);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->enciphered());
    file->Put(S(B("plain-key-visible?")), S(B("the memo text nobody may read")));
    m = Fill(file.get(), 200);
    m[B("plain-key-visible?")] = B("the memo text nobody may read");
    ASSERT_TRUE(file->Commit());
  }
  const std::string bytes = ReadAll(path);
  EXPECT_EQ(bytes.find("kEsT"), std::string::npos);
  EXPECT_EQ(bytes.find("nobody"), std::string::npos);
  EXPECT_EQ(bytes.find("plain-key"), std::string::npos);
  EXPECT_EQ(bytes.size() % 64, 0u);

  auto file = PageFile::Open(path, options);
  ASSERT_TRUE(file);
  EXPECT_EQ(Scan(file.get()), m);
  EXPECT_TRUE(CheckPageFile(file.get(), 20, CheckScope::kStructure).sound());
  for (const std::string& owner : {std::string(), std::string("topsecret")}) {
    OpenOptions wrong;
    wrong.owner = owner;
    runtime::ClearError();
    EXPECT_EQ(PageFile::Open(path, wrong), nullptr) << "owner '" << owner << "'";
    EXPECT_EQ(runtime::ErrorCode(), runtime::err::kInvalidDataFile);
  }
  // A log left in an enciphered file is applied like any other.
  LoggedFile logged = MakeLoggedFile(dir.File("secret-log.ksr"), "Topsecret");
  auto recovered = PageFile::Open(dir.File("secret-log.ksr"), options);
  ASSERT_TRUE(recovered);
  EXPECT_EQ(Scan(recovered.get()), logged.after);
}

TEST(InternalStops, DamageThatNoWriterLeavesStopsWithItsNumber) {
  ScratchDir dir;
  const std::string path = dir.File("damaged.ksr");
  {
    auto file = OpenFile(path, TinyPageOptions());
    Fill(file.get(), 500);
    ASSERT_TRUE(file->Commit());
  }
  const std::string good = ReadAll(path);
  const FileHeader h = HeaderOf(path);
  auto stop_number = [&](const std::string& bytes) -> std::string {
    WriteAll(path, bytes);
    auto previous = runtime::SetHaltHook(runtime::HaltHookThrows());
    std::string text = "no stop";
    try {
      OpenOptions ro;
      ro.mode = OpenMode::kReadOnly;
      auto file = PageFile::Open(path, ro);
      if (!file) {
        text = "open failed " + std::to_string(runtime::ErrorCode());
      } else {
        (void)Scan(file.get());
      }
    } catch (const runtime::HaltException& stop) {
      text = stop.text;
    }
    runtime::SetHaltHook(previous);
    return text;
  };
  // The root's first child number pointing past every region.
  std::string bad = good;
  const uint64_t root = kestrune::PageOffset(h.root);
  bad[root + 13] = '\xFF';
  bad[root + 14] = '\xFF';
  bad[root + 15] = '\x7F';
  EXPECT_NE(stop_number(bad).find("1735"), std::string::npos) << stop_number(bad);
  // The file cut short inside its page space: the header names pages the file does not hold, so
  // the open refuses it as damaged before any page is read.
  EXPECT_EQ(stop_number(good.substr(0, h.PageSpaceEndOffset() - 256)), "open failed 36");
  EXPECT_NE(runtime::Errors().file_error.find("in a file of"), std::string::npos);
  // A page whose own offset is not its place.
  bad = good;
  bad[root] = static_cast<char>(bad[root] ^ 1);
  EXPECT_NE(stop_number(bad).find("1013"), std::string::npos);
  EXPECT_EQ(stop_number(good), "no stop");
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
