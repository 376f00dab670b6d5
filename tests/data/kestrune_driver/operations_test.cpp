// The driver's other operations: memos and blobs, OEM text, the character tables a table keeps,
// streams, builds, the driver options, properties, and REMOVE, RENAME, COPY.
#include <thread>

#include "data/kestrune/entry_kinds.h"
#include "platform/fault_injection_env.h"
#include "runtime/core/char_tables.h"
#include "tests/data/kestrune_driver/kd_test_util.h"

namespace pellucor::data::kdtest {
namespace {

namespace err = runtime::err;

std::unique_ptr<FileDecl> MemoTable(uint8_t attributes = decl_attr::kCreate) {
  return DeclarationBuilder("Docs", "DOC", &KestruneDriverInstance())
      .Name("docs")
      .Attributes(attributes)
      .Long("ID")
      .String("TITLE", 20)
      .Key("BYTITLE", "doc:bytitle", key_flag::kDup | key_flag::kNoCase, {"TITLE"})
      .Key("BYID", "doc:byid", key_flag::kOpt, {"ID"})
      .Memo("TEXT", 600)
      .Blob("PICTURE")
      .Build();
}

void FillDoc(FileDecl& f, int32_t id, const std::string& title) {
  std::memset(f.RecordBuffer(), ' ', f.record_length);
  std::memcpy(f.RecordBuffer(), &id, 4);
  std::memcpy(f.RecordBuffer() + 4, title.data(), title.size());
}
std::string Title(FileDecl& f) {
  std::string t(reinterpret_cast<char*>(f.RecordBuffer()) + 4, 20);
  while (!t.empty() && t.back() == ' ') t.pop_back();
  return t;
}
void SetText(FileDecl& f, const std::string& text) {
  auto& m = f.MemoBuffer(0);
  std::fill(m.begin(), m.end(), ' ');
  std::copy(text.begin(), text.end(), m.begin());
}
std::string Text(FileDecl& f) {
  auto& m = f.MemoBuffer(0);
  return std::string(m.begin(), m.end());
}
std::vector<std::string> Titles(FileDecl& f, size_t key) {
  std::vector<std::string> out;
  EXPECT_EQ(KeyOp(f, Op::kSETkey, key), 0);
  while (Call(f, Op::kNEXT) == 0) out.push_back(Title(f));
  return out;
}

// Every entry of the file, as the page file holds it.
std::vector<std::pair<kestrune::Bytes, kestrune::Bytes>> Entries(const std::string& path) {
  pagefile::OpenOptions o;
  o.mode = pagefile::OpenMode::kReadOnly;
  auto pf = pagefile::PageFile::Open(path, o);
  std::vector<std::pair<kestrune::Bytes, kestrune::Bytes>> out;
  if (!pf) return out;
  pagefile::Cursor c(pf.get());
  for (bool ok = c.SeekFirst(); ok; ok = c.Next()) {
    out.emplace_back(kestrune::Bytes(c.key().begin(), c.key().end()),
                     kestrune::Bytes(c.data().begin(), c.data().end()));
  }
  return out;
}

TEST(KestruneMemos, TextMemosLoseTrailingBlanksBlobsKeepTheirSizeNomemoLeavesThemAlone) {
  ScratchCwd dir;
  auto f = MemoTable();
  ASSERT_EQ(OpenOrCreate(*f), 0);
  FillDoc(*f, 1, "one");
  const std::string long_text(300, 'x');  // two chunks
  SetText(*f, long_text + "   end");
  OpArgs take;
  take.index = 1;
  take.bytes = {1, 2, 3, 0, 0, 0};
  ASSERT_EQ(Dispatch(*f, Op::kBLOB_TAKE, take).error, 0);
  ASSERT_EQ(Call(*f, Op::kADD), 0);
  const uint32_t one = Pointer(*f);
  FillDoc(*f, 2, "two");
  SetText(*f, "");
  take.bytes.clear();
  ASSERT_EQ(Dispatch(*f, Op::kBLOB_TAKE, take).error, 0);
  ASSERT_EQ(Call(*f, Op::kADD), 0);

  SetText(*f, "junk");
  ASSERT_EQ(GetPtr(*f, one), 0);
  EXPECT_EQ(Text(*f), long_text + "   end" + std::string(600 - 306, ' '));
  OpArgs blob;
  blob.index = 1;
  EXPECT_EQ(Dispatch(*f, Op::kBLOB_SIZE, blob).value, 6);
  EXPECT_EQ(Dispatch(*f, Op::kBLOB_YIELD, blob).bytes, (std::vector<uint8_t>{1, 2, 3, 0, 0, 0}));

  // Stored: record one's text in two chunks without the trailing blanks, its blob with its size
  // in front, record two's empty memos with no chunks at all.
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  size_t text_bytes = 0, chunks = 0;
  for (const auto& [key, data] : Entries("docs.KSR")) {
    const auto parsed = kestrune::ParseKey(key);
    if (parsed.kind != kestrune::EntryKind::kMemo) continue;
    EXPECT_EQ(parsed.record, one);
    ++chunks;
    if (parsed.memo == 0) text_bytes += data.size();
    if (parsed.memo == 1) {
      EXPECT_EQ(data, (kestrune::Bytes{6, 0, 0, 0, 1, 2, 3, 0, 0, 0}));
    }
  }
  EXPECT_EQ(chunks, 3u);
  EXPECT_EQ(text_bytes, 306u);

  // A record read with NOMEMO is changed without touching its memos.
  ASSERT_EQ(Open(*f), 0);
  ASSERT_EQ(Call(*f, Op::kNOMEMO), 0);
  SetText(*f, "not read");
  ASSERT_EQ(GetPtr(*f, one), 0);
  EXPECT_EQ(Text(*f).substr(0, 8), "not read");
  FillDoc(*f, 1, "one renamed");
  ASSERT_EQ(Call(*f, Op::kPUT), 0);
  ASSERT_EQ(GetPtr(*f, one), 0);
  EXPECT_EQ(Title(*f), "one renamed");
  EXPECT_EQ(Text(*f).substr(0, 300), long_text);
  // DELETE takes the memo chunks with it.
  ASSERT_EQ(Call(*f, Op::kDELETE), 0);
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  for (const auto& [key, data] : Entries("docs.KSR")) {
    EXPECT_NE(kestrune::ParseKey(key).kind, kestrune::EntryKind::kMemo);
  }
  EXPECT_EQ(CheckFile("docs.KSR"), "");
}

TEST(KestruneText, OemTableStoresOemTextAndReadsAnsiBack) {
  ScratchCwd dir;
  auto f = MemoTable(decl_attr::kCreate | decl_attr::kOem);
  ASSERT_EQ(OpenOrCreate(*f), 0);
  FillDoc(*f, 1, "caf\xE9");  // e acute in Windows-1252
  SetText(*f, "cr\xE8me");
  ASSERT_EQ(Call(*f, Op::kADD), 0);
  const uint32_t p = Pointer(*f);
  FillDoc(*f, 0, "");
  ASSERT_EQ(GetPtr(*f, p), 0);
  EXPECT_EQ(Title(*f), "caf\xE9");
  EXPECT_EQ(Text(*f).substr(0, 5), "cr\xE8me");
  OpArgs prop;
  prop.text = "OEM";
  EXPECT_EQ(Dispatch(*f, Op::kGET_PROPERTY, prop).text, "1");
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  bool record_seen = false, memo_seen = false;
  for (const auto& [key, data] : Entries("docs.KSR")) {
    const auto kind = kestrune::ParseKey(key).kind;
    const std::string d(data.begin(), data.end());
    if (kind == kestrune::EntryKind::kData) record_seen = d.find("caf\x82") != std::string::npos;
    if (kind == kestrune::EntryKind::kMemo) memo_seen = d == "cr\x8Ame";
  }
  EXPECT_TRUE(record_seen);
  EXPECT_TRUE(memo_seen);
}

TEST(KestruneText, KeyOrderFollowsTheCharacterTablesStoredAtCreate) {
  ScratchCwd dir;
  runtime::CharTables saved = runtime::CurrentCharTables();
  runtime::CharTables reversed = runtime::CharTables::Defaults();
  for (int c = 'A'; c <= 'Z'; ++c) reversed.collation[c] = static_cast<uint8_t>('Z' - (c - 'A'));
  runtime::CurrentCharTables() = reversed;
  auto f = MemoTable();
  ASSERT_EQ(OpenOrCreate(*f), 0);
  runtime::CurrentCharTables() = saved;  // the locale changes; the table keeps its order
  for (const char* t : {"alpha", "Bravo", "charlie"}) {
    FillDoc(*f, 0, t);
    ASSERT_EQ(Call(*f, Op::kADD), 0);
  }
  EXPECT_EQ(Titles(*f, 0), (std::vector<std::string>{"charlie", "Bravo", "alpha"}));
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*f), 0);
  FillDoc(*f, 0, "delta");
  ASSERT_EQ(Call(*f, Op::kADD), 0);
  EXPECT_EQ(Titles(*f, 0), (std::vector<std::string>{"delta", "charlie", "Bravo", "alpha"}));
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("docs.KSR"), "");
}

TEST(KestruneStream, StreamDefersCommitsUntilFlush) {
  ScratchCwd dir;
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  ASSERT_EQ(OpenOrCreate(*notes, 0x42), 0);
  FillNote(*notes, {"plain", 'N', 1, 1, 2026});
  const uint64_t before = CommitsOf("plk.KSR");
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  EXPECT_EQ(CommitsOf("plk.KSR"), before + 1);  // every changing operation commits

  ASSERT_EQ(Call(*notes, Op::kSTREAM), 0);
  const uint64_t streamed = CommitsOf("plk.KSR");
  for (int i = 0; i < 20; ++i) {
    FillNote(*notes, {"streamed " + std::to_string(i), 'N', 1, 2, 2026});
    ASSERT_EQ(Call(*notes, Op::kADD), 0);
  }
  EXPECT_LT(CommitsOf("plk.KSR") - streamed, 3u);  // only when 40 pages wait
  EXPECT_EQ(Records(*notes), 21);
  ASSERT_EQ(Call(*notes, Op::kFLUSH), 0);
  const uint64_t flushed = CommitsOf("plk.KSR");
  EXPECT_GT(flushed, streamed);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*notes, 0x42), 0);
  EXPECT_EQ(Records(*notes), 21);
  // CLOSE in a stream commits what it deferred.
  ASSERT_EQ(Call(*notes, Op::kSTREAM), 0);
  FillNote(*notes, {"last", 'N', 1, 3, 2026});
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*notes, 0x42), 0);
  EXPECT_EQ(Records(*notes), 22);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("plk.KSR"), "");
}

TEST(KestruneBuild, BuildsNeedExclusiveAccessAndRestoreKeysOfAppendedRecords) {
  ScratchCwd dir;
  auto f = MemoTable();
  ASSERT_EQ(OpenOrCreate(*f, 0x42), 0);
  EXPECT_EQ(KeyOp(*f, Op::kBUILDkey, 0), err::kExclusiveRequired);
  FillDoc(*f, 5, "added");
  ASSERT_EQ(Call(*f, Op::kADD), 0);
  FillDoc(*f, 6, "appended");
  ASSERT_EQ(Call(*f, Op::kAPPEND), 0);
  EXPECT_EQ(Records(*f), 2);
  EXPECT_EQ(KeyRecords(*f, 0), 1);
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*f, 0x12), 0);  // exclusive
  ASSERT_EQ(KeyOp(*f, Op::kBUILDkey, 0), 0);
  EXPECT_EQ(KeyRecords(*f, 0), 2);
  EXPECT_EQ(KeyRecords(*f, 1), 1);
  ASSERT_EQ(Call(*f, Op::kBUILDfile), 0);
  EXPECT_EQ(KeyRecords(*f, 1), 2);
  EXPECT_EQ(Titles(*f, 0), (std::vector<std::string>{"added", "appended"}));
  ASSERT_EQ(Call(*f, Op::kPACK), 0);
  EXPECT_EQ(Titles(*f, 1), (std::vector<std::string>{"added", "appended"}));
  ASSERT_EQ(Call(*f, Op::kEMPTY), 0);
  EXPECT_EQ(Records(*f), 0);
  EXPECT_EQ(KeyRecords(*f, 0), 0);
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("docs.KSR"), "");
}

TEST(KestruneOptions, SendOptionsAndProperties) {
  ScratchCwd dir;
  auto f = MemoTable();
  ASSERT_EQ(OpenOrCreate(*f), 0);
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  // An option sent before the table is open is kept by the open.
  EXPECT_EQ(Send(*f, "FULLBUILD=ON"), "OFF");
  ASSERT_EQ(Open(*f), 0);
  EXPECT_EQ(Send(*f, "FULLBUILD=OFF"), "ON");
  EXPECT_EQ(Send(*f, "REGISTER"), "KESTRUNE");
  EXPECT_EQ(Send(*f, "FULLBUILD"), "OFF");
  EXPECT_EQ(Send(*f, "FULLBUILD=ON"), "OFF");
  EXPECT_EQ(Send(*f, "FULLBUILD"), "ON");
  EXPECT_EQ(Send(*f, "FULLBUILD=OFF"), "ON");
  EXPECT_EQ(Send(*f, "FULLBUILD"), "OFF");
  EXPECT_EQ(Send(*f, "FLAGS"), "0");
  EXPECT_EQ(Send(*f, "FLAGS=1234"), "0");
  EXPECT_EQ(Send(*f, "FLAGS"), "1234");
  FillDoc(*f, 1, "x");
  ASSERT_EQ(Call(*f, Op::kADD), 0);  // adding keeps the value
  const std::string tcf = TransactionControlFile();
  EXPECT_EQ(Send(*f, "TCF=/tmp/other.tcf"), tcf);
  EXPECT_EQ(Send(*f, "TCF"), "/tmp/other.tcf");
  EXPECT_EQ(Send(*f, "TCF="), "/tmp/other.tcf");
  EXPECT_EQ(Send(*f, "TCF"), "");
  SetTransactionControlFile(tcf);
  OpArgs bad;
  bad.text = "NOSUCHOPTION";
  EXPECT_NE(Dispatch(*f, Op::kSEND, bad).error, 0);
  OpArgs prop;
  prop.text = "CREATE";
  EXPECT_EQ(Dispatch(*f, Op::kGET_PROPERTY, prop).text, "1");
  prop.text = "THREAD";
  EXPECT_EQ(Dispatch(*f, Op::kGET_PROPERTY, prop).text, "");
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
  ASSERT_EQ(Open(*f), 0);
  EXPECT_EQ(Send(*f, "FLAGS"), "1234");
  // COUNTRECORDS: 1 when there are more records than the number given.
  OpArgs count;
  count.count = 0;
  EXPECT_EQ(Dispatch(*f, Op::kCOUNTRECORDS, count).value, 1);
  count.count = 1;
  EXPECT_EQ(Dispatch(*f, Op::kCOUNTRECORDS, count).value, 0);
  ASSERT_EQ(Call(*f, Op::kCLOSE), 0);
}

TEST(KestruneFiles, RemoveAndRenameWorkOnOneTableCopyCopiesTheFile) {
  ScratchCwd dir;
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  auto arc = MakeArchiveTable(&KestruneDriverInstance());
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  FillNote(*notes, {"a note", 'N', 1, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  ASSERT_EQ(OpenOrCreate(*arc), 0);
  FillNote(*arc, {"an archived note", 'Y', 1, 1, 2025});
  ASSERT_EQ(Call(*arc, Op::kADD), 0);
  ASSERT_EQ(Call(*arc, Op::kCLOSE), 0);

  OpArgs copy;
  copy.text = "backup";
  ASSERT_EQ(Dispatch(*notes, Op::kCOPY, copy).error, 0);
  EXPECT_TRUE(std::filesystem::exists("backup.KSR"));
  copy.text = "/no/such/dir/backup";
  EXPECT_EQ(Dispatch(*notes, Op::kCOPY, copy).error, err::kInvalidFilename);

  ASSERT_EQ(Call(*notes, Op::kREMOVE), 0);
  EXPECT_EQ(Open(*notes), err::kFileNotFound);
  ASSERT_EQ(Open(*arc), 0);  // the other table stays
  EXPECT_EQ(Records(*arc), 1);
  ASSERT_EQ(Call(*arc, Op::kCLOSE), 0);

  OpArgs rename;
  rename.text = "plk\\!old";
  ASSERT_EQ(Dispatch(*arc, Op::kRENAME, rename).error, 0);
  EXPECT_EQ(Open(*arc), err::kFileNotFound);
  auto old = DeclarationBuilder("Old", "arc", &KestruneDriverInstance())
                 .Name("plk\\!old")
                 .String("TOPIC", 60)
                 .String("REMINDER", 1)
                 .Date("NOTEDATE")
                 .Date("REMINDERDATE")
                 .String("MAINMEMO", 5050)
                 .String("DONE", 1)
                 .Key("SNOT", "arc:SNOT", key_flag::kDup | key_flag::kOpt | key_flag::kNoCase,
                      {"REMINDER", "REMINDERDATE", "TOPIC"})
                 .Key("allnotes", "arc:allnotes",
                      key_flag::kDup | key_flag::kOpt | key_flag::kNoCase, {"NOTEDATE"})
                 .Build();
  ASSERT_EQ(Open(*old), 0) << runtime::ErrorText();
  EXPECT_EQ(Records(*old), 1);
  ASSERT_EQ(Call(*old, Op::kCLOSE), 0);
  // The copy still holds both tables as they were.
  auto copied = MakeNotesTable(&KestruneDriverInstance());
  copied->name_storage = "backup\\!notes";
  copied->name_length = static_cast<int32_t>(copied->name_storage.size());
  ASSERT_EQ(Open(*copied), 0);
  EXPECT_EQ(Records(*copied), 1);
  ASSERT_EQ(Call(*copied, Op::kCLOSE), 0);
  EXPECT_EQ(CheckFile("plk.KSR"), "");
}

// The driver writes nothing of its own around a commit: one ADD costs the page file's commit and
// nothing more, and streamed operations cost no flush until FLUSH.
TEST(KestruneStream, FlushesPerOperationAreTheCommitsOwn) {
  ScratchCwd dir;
  platform::CountingEnv env(platform::Env::Default());
  KestruneSettings counted;
  counted.env = &env;
  const KestruneSettings saved = KestruneDriverInstance().settings();
  KestruneDriverInstance().SetSettings(counted);
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  ASSERT_EQ(OpenOrCreate(*notes, 0x42), 0);
  FillNote(*notes, {"warm", 'N', 1, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  env.ResetCounters();
  FillNote(*notes, {"counted", 'N', 2, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  EXPECT_GE(env.flushes(), 1u);
  EXPECT_LE(env.flushes(), 4u);
  env.ResetCounters();
  ASSERT_EQ(GetPtr(*notes, Pointer(*notes)), 0);
  ASSERT_EQ(KeyOp(*notes, Op::kSETkey, 1), 0);
  while (Call(*notes, Op::kNEXT) == 0) {
  }
  EXPECT_EQ(env.writes() + env.flushes(), 0u);  // reading writes nothing
  ASSERT_EQ(Call(*notes, Op::kSTREAM), 0);
  for (int i = 0; i < 10; ++i) {
    FillNote(*notes, {"streamed", 'N', 3, 1, 2026});
    ASSERT_EQ(Call(*notes, Op::kADD), 0);
  }
  EXPECT_EQ(env.flushes(), 0u);
  ASSERT_EQ(Call(*notes, Op::kFLUSH), 0);
  EXPECT_LE(env.flushes(), 4u);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  KestruneDriverInstance().SetSettings(saved);
}

// A THREAD table gives every thread its own record buffer and table state over one physical
// file: what one thread adds, another reads.
TEST(KestruneThreads, ThreadsShareThePhysicalFileWithTheirOwnState) {
  ScratchCwd dir;
  auto notes = MakeNotesTable(&KestruneDriverInstance());
  ASSERT_EQ(OpenOrCreate(*notes), 0);
  FillNote(*notes, {"from main", 'N', 1, 1, 2026});
  ASSERT_EQ(Call(*notes, Op::kADD), 0);
  int64_t seen = 0;
  std::string read_topic;
  std::thread other([&] {
    if (Open(*notes) != 0) return;
    seen = Records(*notes);
    if (Call(*notes, Op::kSETfile) == 0 && Call(*notes, Op::kNEXT) == 0) read_topic = Topic(*notes);
    FillNote(*notes, {"from the thread", 'N', 2, 1, 2026});
    (void)Call(*notes, Op::kADD);
    (void)Call(*notes, Op::kCLOSE);
  });
  other.join();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(read_topic, "from main");
  EXPECT_EQ(Topic(*notes), "from main");  // this thread's buffer is its own
  EXPECT_EQ(Records(*notes), 2);
  EXPECT_EQ(OpenPhysicalFileCount(), 1u);
  ASSERT_EQ(Call(*notes, Op::kCLOSE), 0);
  EXPECT_EQ(OpenPhysicalFileCount(), 0u);
}

}  // namespace
}  // namespace pellucor::data::kdtest
