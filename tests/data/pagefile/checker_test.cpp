// The checker on files shaped as the driver writes them (a table with its name, definition,
// character tables, counters, records and two keys), sound and then damaged in the ways a bad
// disk or a faulty writer damages files.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "data/kestrune/entry_kinds.h"
#include "data/kestrune/key_value.h"
#include "data/kestrune/table_definition.h"
#include "data/pagefile/checker.h"
#include "runtime/core/char_tables.h"
#include "test_files.h"

namespace pellucor::data::pagefile::testing {
namespace {

namespace kst = kestrune;

kst::TableDefinition NoteDefinition() {
  kst::TableDefinition def;
  def.record_length = 24;
  kst::FieldDef name;
  name.type = runtime::TypeCode::kString;
  name.offset = 0;
  name.label = "NOTE:NAME";
  name.size = 20;
  name.index = 0;
  name.picture = "@s20";
  kst::FieldDef id;
  id.type = runtime::TypeCode::kLong;
  id.offset = 20;
  id.label = "NOTE:ID";
  id.size = 4;
  id.index = 1;
  def.fields = {name, id};
  kst::KeyDef by_id;
  by_id.label = "NOTE:BYID";
  by_id.components = {{1, kst::SortOrder::kAscending}};
  kst::KeyDef by_name;
  by_name.label = "NOTE:BYNAME";
  by_name.flags = kst::kKeyDup | kst::kKeyNoCase;
  by_name.components = {{0, kst::SortOrder::kAscending}};
  def.keys = {by_id, by_name};
  return def;
}

// Writes table "NOTES" with `records` records the way the driver lays them out.
struct TableFile {
  uint32_t table = 0;
  kst::TableDefinition def = NoteDefinition();
  runtime::CharTables tables = runtime::CharTables::Defaults();
  std::vector<uint32_t> records;

  Bytes Record(int i) const {
    Bytes r(24, ' ');
    const std::string name = (i % 3 ? "note " : "Note ") + std::to_string(i % 40);
    std::copy(name.begin(), name.end(), r.begin());
    const int32_t id = i * 7 - 300;
    std::memcpy(r.data() + 20, &id, 4);
    return r;
  }
  Bytes KeyEntry(size_t k, const Bytes& record, uint32_t number) const {
    const kst::KeyContext context{&def, &tables, kst::TextForm::kAnsi};
    Bytes value, key;
    (void)kst::BuildKeyValue(context, k, record, number, &value);
    const bool dup = def.keys[k].dup();
    kst::KeyEntryKey(table, static_cast<uint8_t>(k),
                     dup ? std::span<const uint8_t>(value).first(value.size() - 4)
                         : std::span<const uint8_t>(value),
                     dup ? kst::Duplicates::kDup : kst::Duplicates::kUnique, number, &key);
    return key;
  }
  void SetCounter(PageFile* file, uint8_t which, uint32_t count) const {
    Bytes key, data;
    kst::CounterKey(table, which, &key);
    kst::CounterData({count, 0}, &data);
    file->Put(S(key), S(data));
  }

  void Write(PageFile* file, int n) {
    Bytes key, data;
    table = file->NextNumber();
    kst::NameDirectoryKey("NOTES", &key);
    kst::NumberData(table, &data);
    ASSERT_TRUE(file->Insert(S(key), S(data)));
    auto blocks = kst::DefinitionBlocks(kst::EncodeDefinition(def));
    for (size_t b = 0; b < blocks.size(); ++b) {
      kst::DefinitionKey(table, static_cast<uint16_t>(b), &key);
      file->Put(S(key), S(blocks[b]));
    }
    kst::CharTablesKey(table, &key);
    data.assign(1, 0);
    auto serialized = tables.Serialize();
    data.insert(data.end(), serialized.begin(), serialized.end());
    file->Put(S(key), S(data));
    for (int i = 0; i < n; ++i) {
      const uint32_t number = file->NextNumber();
      records.push_back(number);
      const Bytes record = Record(i);
      kst::DataKey(table, number, &key);
      file->Put(S(key), S(record));
      for (size_t k = 0; k < def.keys.size(); ++k) {
        kst::NumberData(number, &data);
        file->Put(S(KeyEntry(k, record, number)), S(data));
      }
    }
    SetCounter(file, kst::kDataCounter, static_cast<uint32_t>(n));
    SetCounter(file, 0, static_cast<uint32_t>(n));
    SetCounter(file, 1, static_cast<uint32_t>(n));
    ASSERT_TRUE(file->Commit());
  }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
void WriteAll(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Small pages that still hold the 1153-byte character tables entry.
OpenOptions SmallPageOptions() {
  OpenOptions options;
  options.split = SplitLimits{3000, 1200, 8};
  return options;
}

class CheckerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto file = OpenFile(path_, SmallPageOptions());
    ASSERT_TRUE(file);
    table_.Write(file.get(), 150);
  }
  std::unique_ptr<PageFile> Writable() { return PageFile::Open(path_, SmallPageOptions()); }
  CheckReport Check() {
    OpenOptions ro;
    ro.mode = OpenMode::kReadOnly;
    auto file = PageFile::Open(path_, ro);
    EXPECT_TRUE(file);
    return file ? CheckPageFile(file.get()) : CheckReport{};
  }
  static bool Says(const CheckReport& r, const std::string& words) {
    return r.Text().find(words) != std::string::npos;
  }

  ScratchDir dir_;
  std::string path_ = dir_.File("notes.ksr");
  TableFile table_;
};

TEST_F(CheckerTest, WrittenTableIsSound) {
  CheckReport r = Check();
  EXPECT_TRUE(r.sound()) << r.Text();
  EXPECT_GT(r.pages, 10u);
  EXPECT_EQ(r.entries, 1 + 1 + 1 + 3 + 150u * 3);
}

TEST_F(CheckerTest, MissingKeyEntryAndWrongCounterAreNamed) {
  {
    auto file = Writable();
    const uint32_t victim = table_.records[17];
    ASSERT_TRUE(file->Erase(S(table_.KeyEntry(1, table_.Record(17), victim))));
    table_.SetCounter(file.get(), kst::kDataCounter, 151);
    ASSERT_TRUE(file->Commit());
  }
  CheckReport r = Check();
  EXPECT_TRUE(Says(r, "record " + std::to_string(table_.records[17]) + " lacks its entry of key 1"))
      << r.Text();
  EXPECT_TRUE(Says(r, "key 1 counter says 150, 149 entries exist")) << r.Text();
  EXPECT_TRUE(Says(r, "data counter says 151, 150 entries exist")) << r.Text();
  EXPECT_TRUE(Says(r, "page ")) << "faults carry their page: " << r.Text();
}

TEST_F(CheckerTest, KeyEntryOfAMissingOrChangedRecordIsNamed) {
  {
    auto file = Writable();
    Bytes key;
    kst::DataKey(table_.table, table_.records[3], &key);
    ASSERT_TRUE(file->Erase(S(key)));
    // A record rewritten without its keys following.
    Bytes changed = table_.Record(5);
    changed[0] = 'X';
    kst::DataKey(table_.table, table_.records[5], &key);
    file->Put(S(key), S(changed));
    table_.SetCounter(file.get(), kst::kDataCounter, 149);
    ASSERT_TRUE(file->Commit());
  }
  CheckReport r = Check();
  EXPECT_TRUE(Says(r, "names missing record " + std::to_string(table_.records[3]))) << r.Text();
  EXPECT_TRUE(Says(r, "does not match record " + std::to_string(table_.records[5]))) << r.Text();
  EXPECT_TRUE(Says(r, "lacks its entry")) << r.Text();
}

TEST_F(CheckerTest, FlippedBytesAndBrokenOrderInAPageAreFound) {
  const std::string good = ReadAll(path_);
  FileHeader h;
  ASSERT_EQ(DecodeHeader({reinterpret_cast<const uint8_t*>(good.data()), 512}, &h),
            HeaderCheck::kOk);
  // Find leaves through the checker's own reading.
  OpenOptions ro;
  ro.mode = OpenMode::kReadOnly;
  std::vector<std::pair<uint32_t, kst::Page>> leaves;
  {
    auto file = PageFile::Open(path_, ro);
    for (size_t d = 1; d < kRegionCount; ++d) {
      for (uint32_t p = h.region_start[d]; !h.RegionEmpty(d) && p < h.region_end[d]; p += d) {
        kst::Page page;
        kst::PagePrefix prefix;
        ASSERT_EQ(file->ReadPageChecked(p, &page, &prefix), 0);
        if (page.is_leaf() && page.count() >= 3) leaves.emplace_back(p, std::move(page));
      }
    }
  }
  ASSERT_FALSE(leaves.empty());

  // Bytes flipped in the middle of a page.
  std::string bad = good;
  const uint64_t at = kst::PageOffset(leaves[0].first);
  for (int i = 20; i < 60; ++i) bad[at + i] = static_cast<char>(bad[at + i] ^ 0x5A);
  WriteAll(path_, bad);
  CheckReport r = Check();
  EXPECT_FALSE(r.sound());
  EXPECT_TRUE(Says(r, "page " + std::to_string(leaves[0].first))) << r.Text();

  // Two entries swapped: rebuild one leaf with its first two entries in the wrong order, at the
  // same size, and put it in place.
  bool swapped = false;
  for (auto& [number, page] : leaves) {
    kst::Page wrong(0);
    for (size_t i : {size_t{1}, size_t{0}}) wrong.Insert(wrong.count(), page.Key(i), page.Data(i));
    for (size_t i = 2; i < page.count(); ++i)
      wrong.Insert(wrong.count(), page.Key(i), page.Data(i));
    std::vector<uint8_t> image;
    kst::PageEncodeResult e = kst::EncodePage(wrong, number, &image);
    ASSERT_TRUE(e.ok());
    if (e.blocks != h.RegionOf(number)) continue;
    bad = good;
    bad.replace(kst::PageOffset(number), image.size(), std::string(image.begin(), image.end()));
    WriteAll(path_, bad);
    r = Check();
    EXPECT_TRUE(Says(r, "page " + std::to_string(number) + ": entries out of order at 1"))
        << r.Text();
    swapped = true;
    break;
  }
  EXPECT_TRUE(swapped) << "no leaf kept its size with two entries swapped";
}

}  // namespace
}  // namespace pellucor::data::pagefile::testing
