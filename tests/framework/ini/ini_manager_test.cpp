// The INI manager against real settings files: values, stored queues and the sector register,
// checked in the file's bytes, and damaged files read without harm.
#include "framework/ini/ini_manager.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>

#include "tests/platform/temp_dir.h"

namespace pellucor::framework {
namespace {

using platform::testing::ReadWholeFile;
using platform::testing::TempDir;
using platform::testing::WriteWholeFile;

// A queue of three STRING(20) fields, as a browse's saved rows would be.
struct Row {
  char a[20];
  char b[20];
  char c[20];
};

class ListQueue {
 public:
  ListQueue()
      : queue_(runtime::QueueDescriptor{reinterpret_cast<uint8_t*>(&row_),
                                        sizeof(Row),
                                        {{runtime::TypeCode::kString, offsetof(Row, a), 20, 0},
                                         {runtime::TypeCode::kString, offsetof(Row, b), 20, 0},
                                         {runtime::TypeCode::kString, offsetof(Row, c), 20, 0}}}) {}
  void Add(std::string_view a, std::string_view b = {}, std::string_view c = {}) {
    Put(row_.a, a);
    Put(row_.b, b);
    Put(row_.c, c);
    runtime::QueueAdd(queue_);
  }
  // Each row as its fields without padding, joined with "|".
  std::vector<std::string> Rows() {
    std::vector<std::string> rows;
    for (int32_t i = 1; i <= runtime::QueueRecords(queue_); ++i) {
      runtime::QueueGet(queue_, i);
      rows.push_back(Get(row_.a) + "|" + Get(row_.b) + "|" + Get(row_.c));
    }
    return rows;
  }
  runtime::Queue& queue() { return queue_; }

 private:
  static void Put(char (&field)[20], std::string_view text) {
    std::memset(field, ' ', sizeof field);
    text.copy(field, std::min(text.size(), sizeof field));
  }
  static std::string Get(const char (&field)[20]) {
    std::string s(field, sizeof field);
    s.erase(s.find_last_not_of(' ') + 1);
    return s;
  }
  Row row_{};
  runtime::Queue queue_;
};

class IniManagerTest : public ::testing::Test {
 protected:
  IniManagerTest() : file_(dir_ / "KNB4.INI") { ini_.Init(file_); }
  std::string Bytes() const { return ReadWholeFile(file_); }

  TempDir dir_;
  std::string file_;
  IniManager ini_;
};

TEST_F(IniManagerTest, MissingAndEmptyValuesAreToldApart) {
  EXPECT_EQ(ini_.Fetch("Main", "XPos"), "");
  EXPECT_EQ(ini_.TryReadValue("Main", "XPos"), "---Unknown---");
  ASSERT_TRUE(ini_.Update("Main", "XPos", "12"));
  ASSERT_TRUE(ini_.Update("Main", "Note", ""));
  ASSERT_TRUE(ini_.Update("Other", "Key", "a value"));
  ASSERT_TRUE(ini_.Update("main", "xpos", "14"));  // names match without regard to case
  EXPECT_EQ(Bytes(), "[Main]\nxpos=14\nNote=\n\n[Other]\nKey=a value\n");
  EXPECT_EQ(ini_.TryReadValue("Main", "Note"), "");
  EXPECT_EQ(ini_.TryReadValue("MAIN", "XPOS"), "14");
  EXPECT_EQ(ini_.Fetch("Other", "Key"), "a value");
  // A value a settings line cannot hold is refused and changes nothing.
  const std::string before = Bytes();
  EXPECT_FALSE(ini_.Update("Main", "Note", "two\nlines"));
  EXPECT_EQ(Bytes(), before);
}

TEST_F(IniManagerTest, ADamagedFileIsReadWithoutHarmAndKeptByWrites) {
  const std::string long_key(70, 'k');
  const std::string damaged = "garbage before any section\n[Main\nXPos=\"7\"\n" + long_key +
                              "=long key\nBig=" + std::string(3000, 'v') +
                              "\n=no key\n\x01\x02\xff binary\r\n[Main]\nXPos=99\n";
  WriteWholeFile(file_, damaged);
  EXPECT_EQ(ini_.Fetch("Main", "XPos"), "7");  // the first section of the name wins
  EXPECT_EQ(ini_.Fetch("Main", long_key), "long key");
  EXPECT_EQ(ini_.Fetch("Main", "Big"), std::string(kMaxIniValue, 'v'));
  EXPECT_EQ(ini_.TryReadValue("Main", ""), "---Unknown---");
  ASSERT_TRUE(ini_.Update("Main", "YPos", "3"));
  // Every other line, damaged or not, stays byte for byte.
  const std::string after = Bytes();
  const size_t at = after.find("YPos=3\n");
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(after.substr(0, at) + after.substr(at + 7), damaged);
}

TEST_F(IniManagerTest, AShorterQueueLeavesOldEntriesButReadsBackItsOwnRows) {
  ListQueue three;
  three.Add("Topic", "=abc");
  three.Add("Done", "=0");
  three.Add("Memo", "*x, y and z");  // a comma inside the last field
  ASSERT_TRUE(ini_.StoreList("Query", "Main$Work$$Query", three.queue(), 1, 2));
  ListQueue one;
  one.Add("Topic", "^*meet");
  ASSERT_TRUE(ini_.StoreList("Query", "Main$Work$$Query", one.queue(), 1, 2));
  EXPECT_EQ(Bytes(),
            "[Query]\nMain$Work$$Query=1\nMain$Work$$Query_1=Topic,^*meet\n"
            "Main$Work$$Query_2=Done,=0\nMain$Work$$Query_3=Memo,*x, y and z\n");
  ListQueue read;
  ASSERT_TRUE(ini_.LoadList("Query", "Main$Work$$Query", read.queue(), 1, 2));
  EXPECT_EQ(read.Rows(), (std::vector<std::string>{"Topic|^*meet|"}));

  ASSERT_TRUE(ini_.StoreList("Query", "Main$Work$$Query", three.queue(), 1, 2));
  ListQueue again;
  ASSERT_TRUE(ini_.LoadList("Query", "Main$Work$$Query", again.queue(), 1, 2));
  EXPECT_EQ(again.Rows(),
            (std::vector<std::string>{"Topic|=abc|", "Done|=0|", "Memo|*x, y and z|"}));
  // A field number the queue does not have is refused before anything is written.
  EXPECT_FALSE(ini_.StoreList("Query", "Other", three.queue(), 1, 4));
  EXPECT_EQ(ini_.TryReadValue("Query", "Other"), "---Unknown---");
}

TEST_F(IniManagerTest, ADamagedRowCountReadsOnlyTheRowsThatExist) {
  WriteWholeFile(file_,
                 "[L]\nA=1000000000\nA_1=one\nA_3=three\nA_01=not a row\nA_x=nor this\n"
                 "B=abc\nB_1=never read\nC=-2\nC_1=never read\nD=2\nD_1=first\nD_2=second\n"
                 "D_3=beyond the count\n");
  const auto start = std::chrono::steady_clock::now();
  ListQueue a;
  ASSERT_TRUE(ini_.LoadList("L", "A", a.queue(), 1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
  EXPECT_EQ(a.Rows(), (std::vector<std::string>{"one||", "three||"}));
  ListQueue b;
  ASSERT_TRUE(ini_.LoadList("L", "B", b.queue(), 1));
  ASSERT_TRUE(ini_.LoadList("L", "C", b.queue(), 1));
  EXPECT_TRUE(b.Rows().empty());
  ListQueue d;
  ASSERT_TRUE(ini_.LoadList("L", "D", d.queue(), 1));
  EXPECT_EQ(d.Rows(), (std::vector<std::string>{"first||", "second||"}));
}

TEST(Sectors, TextsAreMadeAndSplitAtTheFirstDollarAndTheDoubleDollarAfterIt) {
  EXPECT_EQ(IniManager::MakeSector("Main", "Work", "Query"), "Main$Work$$Query");
  EXPECT_EQ(IniManager::SplitSector("Main$Work$$Query"), (Sector{"Main", "Work", "Query"}));
  EXPECT_EQ(IniManager::SplitSector(IniManager::MakeSector("Main", "", "Query")),
            (Sector{"Main", "", "Query"}));
  EXPECT_EQ(IniManager::SplitSector("Main$a$b$$Query"), (Sector{"Main", "a$b", "Query"}));
  EXPECT_EQ(IniManager::SplitSector("NoDollars"), (Sector{"NoDollars", "", ""}));
}

TEST_F(IniManagerTest, TheSectorRegisterReachesTheFileOnlyThroughKill) {
  ini_.AddSector(IniManager::MakeSector("Main", "Work, urgent", "Query"));
  ini_.AddSector(IniManager::MakeSector("Main", "tsMRU", "Query"));
  ini_.AddSector(IniManager::MakeSector("Main", "Work, urgent", "Query"));  // already there
  ini_.AddSector(IniManager::MakeSector("BrowseARC", "Old", "Query"));
  EXPECT_EQ(ini_.SectorList().size(), 3u);
  {
    IniManager other;
    other.Init(file_);
    EXPECT_TRUE(other.SectorList().empty());
    other.Kill();  // writes its own empty register
  }
  ini_.DeleteSector("Main$tsMRU$$Query");
  ini_.DeleteSector("Main$missing$$Query");
  ini_.Kill();
  EXPECT_EQ(Bytes(),
            "[__Dont_Touch_Me__]\nSectors=2\nSectors_1=Main,Work, urgent,Query\n"
            "Sectors_2=BrowseARC,Old,Query\n");
  EXPECT_TRUE(ini_.SectorList().empty());

  IniManager reopened;
  reopened.Init(file_);
  EXPECT_EQ(reopened.SectorList(), (std::vector<Sector>{{"Main", "Work, urgent", "Query"},
                                                        {"BrowseARC", "Old", "Query"}}));
  reopened.DeleteSector("BrowseARC$Old$$Query");
  reopened.Kill();
  // The count shrinks; the row it no longer covers stays in the file, unread.
  EXPECT_EQ(Bytes(),
            "[__Dont_Touch_Me__]\nSectors=1\nSectors_1=Main,Work, urgent,Query\n"
            "Sectors_2=BrowseARC,Old,Query\n");
  IniManager last;
  last.Init(file_);
  EXPECT_EQ(last.SectorList(), (std::vector<Sector>{{"Main", "Work, urgent", "Query"}}));
}

}  // namespace
}  // namespace pellucor::framework
