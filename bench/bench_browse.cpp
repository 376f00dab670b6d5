// The notes browse of the main window over 1,000 and 100,000 notes, in each of its four orders
// ("Notes Only", "Current Reminders", "Done Items", "Everything"): opening with the first page,
// a page down, a row down at the page's bottom edge, a jump to the end and a locator jump. Each
// is timed through the browse itself (BrowseManager over the VIEW over a Kestrune file), with
// the list shown by a window engine without a screen that reads every cell of the page as a list
// control does. SQLite answers the same page in the same run, with prepared statements and
// keyset paging (WHERE (k) > (last) ORDER BY k LIMIT n) over an index for each order.
//
// Goals: every action at 100,000 notes within twice the same action at 1,000, and at most 20 ms.
//
// Run: bench_browse [notes] [order]   (default 100000 notes, the small table has 1000; an order
// name runs that one alone, for profiling). BENCH_NO_RETAIN=1 in the environment runs the browse
// without RETAINROW, so that a located record goes to the top row instead of keeping the
// highlight's screen row (which reads the rows above it backwards). Ends with SUMMARY lines: one
// per order and action at the large size (ours against SQLite, in microseconds) and one per order
// and action with the growth from the small to the large table.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "bench/support/note_data.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_manager.h"
#include "framework/error/error_manager.h"
#include "framework/file/file_manager.h"
#include "framework/file/relation_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/core/error_state.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/expr/expression.h"
#include "runtime/queue/queue.h"

namespace {

using namespace pellucor;
using framework::BrowseManager;
using framework::Level;
using runtime::Event;
namespace nr = app::note_record;

constexpr int32_t kList = 7;
constexpr int kRows = 20;  // the rows the list shows
// Page and row moves are timed on the first pages of a tab, which both tables have.
constexpr int kNearTop = 5;

// --- A window engine without a screen ---

// Answers what the browse asks of its list (20 rows, shown) and reads every cell of the rows it
// is given whenever the list is displayed, as a list control does.
class ListEngine : public runtime::WindowEngine {
 public:
  size_t cells_read = 0;

  void ThreadStarted(runtime::ThreadNumber) override {}
  void ThreadEnded(runtime::ThreadNumber) override {}
  void Wait(runtime::ThreadNumber) override {}
  void Wake(runtime::ThreadNumber) override {}
  bool OpenWindow(runtime::WindowId, runtime::ThreadNumber, runtime::WindowId,
                  const runtime::WindowDescription&) override {
    return true;
  }
  void CloseWindow(runtime::WindowId) override {}
  bool CreateControl(runtime::WindowId, const runtime::ControlDescription&) override {
    return true;
  }
  void DestroyControl(runtime::WindowId, int32_t) override {}
  void SetProperty(runtime::WindowId, int32_t control, runtime::Prop prop, int32_t,
                   std::string_view value) override {
    props_[{control, prop}] = std::string(value);
  }
  std::string GetProperty(runtime::WindowId, int32_t control, runtime::Prop prop,
                          int32_t) override {
    if (control == kList && prop == runtime::Prop::kItems) return std::to_string(kRows);
    if (control == kList && prop == runtime::Prop::kVisible) return "1";
    if (control == kList && prop == runtime::Prop::kKind) return "14";
    auto it = props_.find({control, prop});
    return it != props_.end() ? it->second : std::string();
  }
  void Display(runtime::WindowId, int32_t control) override {
    if ((control != kList && control != 0) || rows_ == nullptr) return;
    for (int32_t r = 1; r <= rows_->RowCount(); ++r) {
      for (int32_t f = 1; f <= 4; ++f) cells_read += rows_->Field(r, f).size();
    }
  }
  void Update(runtime::WindowId, int32_t) override {}
  void Select(runtime::WindowId, int32_t) override {}
  bool CanAccept(runtime::WindowId, int32_t) override { return true; }
  void SetTimer(runtime::WindowId, int32_t) override {}
  void SetListRows(runtime::WindowId, int32_t, const runtime::ListRows* rows) override {
    rows_ = rows;
  }
  int32_t Message(const runtime::MessageRequest& request) override {
    std::fprintf(stderr, "message: %s\n", request.text.c_str());
    return runtime::button::kOk;
  }
  int32_t Popup(runtime::WindowId, const runtime::PopupMenu&,
                std::optional<runtime::ScreenPoint>) override {
    return 0;
  }
  void Beep() override {}
  void SetCursor(runtime::CursorKind) override {}
  void Help(runtime::WindowId, std::string_view) override {}
  void KeysPressed() override {}

 private:
  std::map<std::pair<int32_t, runtime::Prop>, std::string> props_;
  const runtime::ListRows* rows_ = nullptr;
};

// --- The notes, the orders and the browse ---

class NotesFile : public framework::FileManager {
 public:
  void BindFields() override {
    AddKey(FILE->Key(0), "sno:SNOT");
    AddKey(FILE->Key(1), "sno:allnotes");
    AddKey(FILE->Key(2), "sno:Donyet");
  }
};

struct Table {
  std::unique_ptr<data::FileDecl> decl;
  NotesFile file;
  framework::RelationManager relations;
};

bool Check(int32_t e, const char* what) {
  if (e == 0) return true;
  std::fprintf(stderr, "%s failed: %d %s\n", what, e, runtime::ErrorText().c_str());
  return false;
}

std::unique_ptr<Table> MakeTable(const std::string& name, const std::vector<bench::Note>& notes,
                                 framework::ErrorManager& errors) {
  auto t = std::make_unique<Table>();
  t->decl = app::MakeSNotes(&data::KestruneDriverInstance());
  t->decl->name_storage = "bench\\!" + name;
  t->decl->name_length = static_cast<int32_t>(t->decl->name_storage.size());
  t->file.Init(*t->decl, errors);
  t->file.CREATE = true;
  t->relations.Init(t->file);
  if (t->relations.Open() != Level::Proceed) return nullptr;
  if (!Check(data::Dispatch(*t->decl, data::Op::kSTREAM).error, "STREAM")) return nullptr;
  for (const bench::Note& n : notes) {
    bench::FillNoteRecord(t->decl->RecordBuffer(), n);
    if (!Check(data::Dispatch(*t->decl, data::Op::kADD).error, "ADD")) return nullptr;
  }
  if (!Check(data::Dispatch(*t->decl, data::Op::kFLUSH).error, "FLUSH")) return nullptr;
  return t;
}

int32_t Today() {
  auto tree = runtime::expr::CompileExpression("today()");
  return runtime::expr::EvaluateInteger(*tree);
}

// One of the main window's sort orders, and the same page in SQL.
struct Order {
  const char* name;
  const char* key;
  const char* filter;
  const char* added;  // the order after the key
  bool step;          // a string step manager on the thumb
  int32_t locator_key;
  // SQL: the WHERE of the tab, the order's columns, and the keyset condition "after the row
  // with these values" (bound as ?1..?n in column order, then the id).
  std::string where;
  const char* order_by;
  const char* reverse_by;
  const char* after;
  const char* locate;  // the condition of the locator's jump
  std::vector<const char*> columns;
};

std::vector<Order> Orders(int32_t today) {
  const std::string soon = std::to_string(today + 3);
  const char* snot = "reminder COLLATE NOCASE, reminderdate, topic COLLATE NOCASE, id";
  const char* snot_reverse =
      "reminder COLLATE NOCASE DESC, reminderdate DESC, topic COLLATE NOCASE DESC, id DESC";
  const char* snot_after =
      "(reminder COLLATE NOCASE, reminderdate, topic COLLATE NOCASE, id) > (?1, ?2, ?3, ?4)";
  const int32_t y = runtime::key::kA + ('y' - 'a');
  return {
      {"notes",
       "SNO:SNOT",
       "(sno:done ='N' and sno:reminderdate='')",
       "",
       false,
       y,
       "done = 'N' AND reminderdate = 0",
       snot,
       snot_reverse,
       snot_after,
       "reminder >= 'y' COLLATE NOCASE",
       {"reminder", "reminderdate", "topic"}},
      {"reminders",
       "SNO:ALLNOTES",
       "(sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')",
       "",
       false,
       runtime::key::k0 + 5,
       "reminderdate <= " + soon + " AND reminderdate > 0 AND done = 'N'",
       "notedate, id",
       "notedate DESC, id DESC",
       "(notedate, id) > (?1, ?2)",
       "notedate >= 5",
       {"notedate"}},
      {"done",
       "SNO:DONYET",
       "(sno:done='Y')",
       "-sno:notedate",
       false,
       y,
       "done = 'Y'",
       "done COLLATE NOCASE, reminderdate, notedate DESC, id",
       "done COLLATE NOCASE DESC, reminderdate DESC, notedate, id DESC",
       "((done COLLATE NOCASE, reminderdate) > (?1, ?2) OR ((done COLLATE NOCASE, reminderdate) "
       "= (?1, ?2) AND (notedate < ?3 OR (notedate = ?3 AND id > ?4))))",
       "done >= 'y' COLLATE NOCASE",
       {"done", "reminderdate", "notedate"}},
      {"all",
       "SNO:SNOT",
       "",
       "",
       true,
       y,
       "",
       snot,
       snot_reverse,
       snot_after,
       "reminder >= 'y' COLLATE NOCASE",
       {"reminder", "reminderdate", "topic"}},
  };
}

// The list queue of the main window's browse, as the note program declares it.
struct ListQueue {
  static constexpr uint32_t kReminderDate = 0;
  static constexpr uint32_t kIcon = 4;
  static constexpr uint32_t kNoteDate = 6;
  static constexpr uint32_t kTopic = 10;
  static constexpr uint32_t kMemo = 70;
  static constexpr uint32_t kDone = kMemo + 5050;
  static constexpr uint32_t kReminder = kDone + 1;
  static constexpr uint32_t kMark = kReminder + 1;
  static constexpr uint32_t kPosition = kMark + 1;
  static constexpr uint32_t kSize = kPosition + 1024;

  ListQueue() : queue(Descriptor()) {}
  runtime::QueueDescriptor Descriptor() {
    using runtime::TypeCode;
    return {buffer.data(),
            kSize,
            {{TypeCode::kDate, kReminderDate, 4, 0},
             {TypeCode::kShort, kIcon, 2, 0},
             {TypeCode::kDate, kNoteDate, 4, 0},
             {TypeCode::kString, kTopic, 60, 0},
             {TypeCode::kString, kMemo, 5050, 0},
             {TypeCode::kString, kDone, 1, 0},
             {TypeCode::kString, kReminder, 1, 0},
             {TypeCode::kByte, kMark, 1, 0},
             {TypeCode::kString, kPosition, 1024, 0}}};
  }
  runtime::AnyRef Field(uint32_t offset, uint32_t size, runtime::TypeCode type) {
    return {buffer.data() + offset, size, type, 0};
  }
  std::vector<uint8_t> buffer = std::vector<uint8_t>(kSize);
  runtime::Queue queue;
};

// The browse of the main window on one order, as its Init sets it up.
struct Browse {
  Browse(Table& t, const Order& o, framework::WindowManager& window)
      : view({t.decl.get(), {}, {}}) {
    using runtime::TypeCode;
    b.Init(kList, list.queue, list.Field(ListQueue::kPosition, 1024, TypeCode::kString), view,
           t.relations, window);
    b.AddSortOrder(t.decl->FindKey(o.key), o.added);
    b.AddLocator(true);
    if (std::getenv("BENCH_NO_RETAIN")) b.RETAINROW = false;
    if (o.step) {
      auto step = std::make_unique<framework::StringStepManager>();
      step->Init(framework::step_case::kNoCase, 3);
      b.AddStepManager(std::move(step));
    }
    b.SetFilter(o.filter);
    auto field = [&](uint32_t offset, uint32_t size, TypeCode type) {
      return runtime::AnyRef{t.file.Buffer() + offset, size, type, 0};
    };
    b.AddField(list.Field(ListQueue::kReminderDate, 4, TypeCode::kDate),
               field(nr::kReminderDateOffset, 4, TypeCode::kDate));
    b.AddField(list.Field(ListQueue::kNoteDate, 4, TypeCode::kDate),
               field(nr::kNoteDateOffset, 4, TypeCode::kDate));
    b.AddField(list.Field(ListQueue::kTopic, 60, TypeCode::kString),
               field(nr::kTopicOffset, nr::kTopicSize, TypeCode::kString));
    b.AddField(list.Field(ListQueue::kMemo, 5050, TypeCode::kString),
               field(nr::kMainMemoOffset, nr::kMainMemoSize, TypeCode::kString));
    b.AddField(list.Field(ListQueue::kDone, 1, TypeCode::kString),
               field(nr::kDoneOffset, 1, TypeCode::kString));
    b.AddField(list.Field(ListQueue::kReminder, 1, TypeCode::kString),
               field(nr::kReminderOffset, 1, TypeCode::kString));
  }
  ~Browse() { (void)b.Kill(); }

  data::view::View view;
  ListQueue list;
  BrowseManager b;
};

// --- Timing ---

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

template <typename F>
double Micros(F&& body) {
  const auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start)
      .count();
}

const char* kActions[] = {"open", "page_down", "row_down", "to_end", "locate"};
constexpr int kActionCount = 5;

struct Timings {
  double us[kActionCount] = {};
  int rows = 0;  // rows on the first page (a check that both sides show a page)
};

Timings TimeOurs(Table& t, const Order& o, framework::WindowManager& window, int repeat) {
  Timings out;
  std::vector<double> samples;
  for (int i = 0; i < repeat; ++i) {
    std::unique_ptr<Browse> br;
    samples.push_back(Micros([&] {
      br = std::make_unique<Browse>(t, o, window);
      br->b.ResetSort(true);
    }));
    out.rows = br->b.Rows();
  }
  out.us[0] = Median(samples);

  Browse br(t, o, window);
  BrowseManager& b = br.b;
  b.ResetSort(true);
  auto scroll = [&](Event e) { (void)b.HandleScroll(e); };
  // Page downs among the first pages: the small table has only a few dozen pages in a tab, and a
  // page down at the end of the data reads nothing.
  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    scroll(Event::kScrollTop);
    for (int k = 0; k < i % kNearTop; ++k) scroll(Event::kPageDown);
    samples.push_back(Micros([&] { scroll(Event::kPageDown); }));
  }
  out.us[1] = Median(samples);

  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    scroll(Event::kScrollTop);
    for (int k = 0; k < i % kNearTop; ++k) scroll(Event::kPageDown);
    // The highlight on the last row: the next row comes in at the bottom.
    runtime::SetProperty(kList, runtime::Prop::kChoice, std::to_string(b.Rows()));
    samples.push_back(Micros([&] { scroll(Event::kScrollDown); }));
  }
  out.us[2] = Median(samples);

  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    scroll(Event::kScrollTop);
    samples.push_back(Micros([&] { scroll(Event::kScrollBottom); }));
  }
  out.us[3] = Median(samples);

  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    scroll(Event::kScrollTop);
    runtime::SETKEYCODE(o.locator_key);
    samples.push_back(Micros([&] { (void)b.HandleKey(); }));
  }
  out.us[4] = Median(samples);
  return out;
}

// --- SQLite ---

sqlite3* MakeSqlite(const std::string& path, const std::vector<bench::Note>& notes) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return nullptr;
  const char* schema =
      "CREATE TABLE notes(id INTEGER PRIMARY KEY, topic TEXT, reminder TEXT, notedate INTEGER,"
      " reminderdate INTEGER, mainmemo TEXT, done TEXT);"
      "CREATE INDEX snot ON notes(reminder COLLATE NOCASE, reminderdate, topic COLLATE NOCASE);"
      "CREATE INDEX allnotes ON notes(notedate);"
      "CREATE INDEX donyet ON notes(done COLLATE NOCASE, reminderdate, notedate DESC);";
  if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO notes VALUES(?,?,?,?,?,?,?)", -1, &ins, nullptr);
  long id = 0;
  for (const bench::Note& n : notes) {
    sqlite3_reset(ins);
    sqlite3_bind_int64(ins, 1, ++id);
    sqlite3_bind_text(ins, 2, n.topic.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 3, std::string(1, n.reminder).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(ins, 4, n.note_date);
    sqlite3_bind_int64(ins, 5, n.reminder_date);
    sqlite3_bind_text(ins, 6, n.memo.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_text(ins, 7, std::string(1, n.done).c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(ins);
  }
  sqlite3_finalize(ins);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_exec(db, "ANALYZE", nullptr, nullptr, nullptr);
  return db;
}

class SqlPage {
 public:
  SqlPage(sqlite3* db, const Order& o) : db_(db), o_(o) {
    const std::string select =
        "SELECT id, topic, reminder, notedate, reminderdate, mainmemo, done FROM notes WHERE " +
        (o.where.empty() ? std::string("1") : o.where);
    first_ = Prepare(select + " ORDER BY " + o.order_by + " LIMIT ?9");
    after_ = Prepare(select + " AND " + o.after + " ORDER BY " + o.order_by + " LIMIT ?9");
    last_ = Prepare(select + " ORDER BY " + o.reverse_by + " LIMIT ?9");
    locate_ = Prepare(select + " AND " + o.locate + " ORDER BY " + o.order_by + " LIMIT ?9");
  }
  ~SqlPage() {
    for (sqlite3_stmt* s : {first_, after_, last_, locate_}) sqlite3_finalize(s);
  }
  bool ok() const { return first_ && after_ && last_ && locate_; }

  // Runs `s` for `limit` rows, taking every column (as the browse fills every list column) and
  // keeping the last row's key values for the next keyset step.
  int Run(sqlite3_stmt* s, int limit) {
    sqlite3_bind_int(s, 9, limit);
    int rows = 0;
    while (sqlite3_step(s) == SQLITE_ROW) {
      last_row_.clear();
      for (int c = 0; c < 7; ++c) {
        const unsigned char* text = sqlite3_column_text(s, c);
        last_row_.emplace_back(text ? reinterpret_cast<const char*>(text) : "");
      }
      ++rows;
    }
    sqlite3_reset(s);
    return rows;
  }
  int First() { return Run(first_, kRows); }
  int Last() { return Run(last_, kRows); }
  int Locate() { return Run(locate_, kRows); }
  // The `n` rows after the last row read.
  int After(int n) {
    BindLast(after_);
    return Run(after_, n);
  }

 private:
  sqlite3_stmt* Prepare(const std::string& sql) {
    sqlite3_stmt* s = nullptr;
    if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK) {
      std::fprintf(stderr, "sqlite: %s\n%s\n", sqlite3_errmsg(db_), sql.c_str());
      return nullptr;
    }
    return s;
  }
  // Binds the last row's values of the order's columns (?1..) and its id (after them).
  void BindLast(sqlite3_stmt* s) {
    static const std::map<std::string, int> kColumn = {
        {"topic", 1}, {"reminder", 2}, {"notedate", 3}, {"reminderdate", 4}, {"done", 6}};
    int p = 1;
    for (const char* c : o_.columns) {
      const std::string& v = last_row_[static_cast<size_t>(kColumn.at(c))];
      if (std::strcmp(c, "notedate") == 0 || std::strcmp(c, "reminderdate") == 0) {
        sqlite3_bind_int64(s, p++, std::atoll(v.c_str()));
      } else {
        sqlite3_bind_text(s, p++, v.c_str(), -1, SQLITE_TRANSIENT);
      }
    }
    sqlite3_bind_int64(s, p, std::atoll(last_row_[0].c_str()));
  }

  sqlite3* db_;
  const Order& o_;
  sqlite3_stmt* first_ = nullptr;
  sqlite3_stmt* after_ = nullptr;
  sqlite3_stmt* last_ = nullptr;
  sqlite3_stmt* locate_ = nullptr;
  std::vector<std::string> last_row_;
};

Timings TimeSqlite(sqlite3* db, const Order& o, int repeat) {
  Timings out;
  SqlPage page(db, o);
  if (!page.ok()) return out;
  std::vector<double> samples;
  for (int i = 0; i < repeat; ++i) samples.push_back(Micros([&] { out.rows = page.First(); }));
  out.us[0] = Median(samples);
  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    (void)page.First();
    for (int k = 0; k < i % kNearTop; ++k) (void)page.After(kRows);
    samples.push_back(Micros([&] { (void)page.After(kRows); }));
  }
  out.us[1] = Median(samples);
  samples.clear();
  for (int i = 0; i < repeat; ++i) {
    (void)page.First();
    for (int k = 0; k < i % kNearTop; ++k) (void)page.After(kRows);
    samples.push_back(Micros([&] { (void)page.After(1); }));
  }
  out.us[2] = Median(samples);
  samples.clear();
  for (int i = 0; i < repeat; ++i) samples.push_back(Micros([&] { (void)page.Last(); }));
  out.us[3] = Median(samples);
  samples.clear();
  for (int i = 0; i < repeat; ++i) samples.push_back(Micros([&] { (void)page.Locate(); }));
  out.us[4] = Median(samples);
  return out;
}

std::vector<bench::Note> MakeNotes(int n, uint32_t seed) {
  bench::NoteGenerator g(seed);
  std::vector<bench::Note> notes;
  notes.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) notes.push_back(g.Next());
  return notes;
}

}  // namespace

int main(int argc, char** argv) {
  const int big = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
  const int small = 1000;
  const std::string only = argc > 2 ? argv[2] : "";
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-browse-XXXXXX").string();
  const std::string dir = mkdtemp(pattern.data());
  std::filesystem::current_path(dir);
  setenv("PELLUCOR_SYSTEM_PROFILE", (dir + "/system.ini").c_str(), 1);
  data::SetTransactionControlFile(dir + "/kestrune.tcf");

  ListEngine engine;
  runtime::ProgramScope program(engine);
  runtime::WindowDescription d;
  d.name = "BROWSE";
  runtime::ControlDescription list;
  list.number = kList;
  list.kind = runtime::ControlKind::kList;
  d.controls.push_back(list);
  runtime::Window window(d);
  window.Open();
  framework::ErrorManager errors;
  errors.Init();
  framework::WindowManager procedure;

  const std::vector<bench::Note> big_notes = MakeNotes(big, 1);
  const std::vector<bench::Note> small_notes = MakeNotes(small, 2);
  const auto t0 = std::chrono::steady_clock::now();
  auto big_table = MakeTable("big", big_notes, errors);
  auto small_table = MakeTable("small", small_notes, errors);
  if (!big_table || !small_table) return 1;
  std::printf("loaded %d + %d notes into Kestrune in %.1f s\n", big, small,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  sqlite3* big_db = MakeSqlite(dir + "/big.sqlite", big_notes);
  sqlite3* small_db = MakeSqlite(dir + "/small.sqlite", small_notes);
  if (!big_db || !small_db) return 1;

  std::vector<std::string> summary;
  bool all_met = true;
  std::printf("%-10s %-10s %12s %12s %7s %12s %12s  %s\n", "order", "action", "ours 1k us",
              "ours big us", "growth", "sqlite 1k", "sqlite big", "goal");
  for (const Order& o : Orders(Today())) {
    if (!only.empty() && only != o.name) continue;
    const Timings ours_small = TimeOurs(*small_table, o, procedure, 41);
    const Timings ours_big = TimeOurs(*big_table, o, procedure, 41);
    const Timings sql_small = TimeSqlite(small_db, o, 41);
    const Timings sql_big = TimeSqlite(big_db, o, 41);
    if (ours_big.rows != sql_big.rows) {
      std::printf("%s: first page rows differ: ours %d, sqlite %d\n", o.name, ours_big.rows,
                  sql_big.rows);
    }
    for (int a = 0; a < kActionCount; ++a) {
      const double growth = ours_small.us[a] > 0 ? ours_big.us[a] / ours_small.us[a] : 0;
      const bool met = ours_big.us[a] <= 20000 && growth <= 2.0;
      all_met &= met;
      std::printf("%-10s %-10s %12.1f %12.1f %7.2f %12.1f %12.1f  %s\n", o.name, kActions[a],
                  ours_small.us[a], ours_big.us[a], growth, sql_small.us[a], sql_big.us[a],
                  met ? "met" : "MISSED");
      char buf[256];
      std::snprintf(buf, sizeof buf,
                    "SUMMARY workload=%s_%s ours=%.1f sqlite=%.1f unit=us speedup=%.2f", o.name,
                    kActions[a], ours_big.us[a], sql_big.us[a],
                    ours_big.us[a] > 0 ? sql_big.us[a] / ours_big.us[a] : 0.0);
      summary.push_back(buf);
      std::snprintf(
          buf, sizeof buf,
          "SUMMARY workload=%s_%s_growth ours=%.2f sqlite=%.2f unit=ratio_%d_over_%d "
          "speedup=%.2f",
          o.name, kActions[a], growth, sql_small.us[a] > 0 ? sql_big.us[a] / sql_small.us[a] : 0.0,
          big, small,
          growth > 0 && sql_small.us[a] > 0 ? (sql_big.us[a] / sql_small.us[a]) / growth : 0.0);
      summary.push_back(buf);
    }
  }
  std::printf("goals (at most 20 ms, within 2x of 1,000 notes): %s\n",
              all_met ? "all met" : "some missed");
  for (const std::string& s : summary) std::printf("%s\n", s.c_str());

  sqlite3_close(big_db);
  sqlite3_close(small_db);
  (void)big_table->relations.Close();
  (void)small_table->relations.Close();
  window.Close();
  errors.Kill();
  std::error_code ec;
  std::filesystem::current_path("/", ec);
  std::filesystem::remove_all(dir, ec);
  return 0;
}
