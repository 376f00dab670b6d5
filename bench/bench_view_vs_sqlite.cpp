// The browse's four tab views and a "Begins" query over 100,000 notes, read through the VIEW
// engine from a Kestrune file, against SQLite running the same WHERE and ORDER BY with prepared
// statements on the same rows, in one run: the first page (20 rows) and the full result. The
// first page is also timed over 1,000 notes to show how it grows with the table.
//
// Run: bench_view_vs_sqlite [notes] [workload]   (default 100000 notes, the small table has 1000;
// a workload name runs that one alone, for profiling)
// Ends with one "SUMMARY workload=... ours=... sqlite=... unit=... speedup=..." line per workload.
#include <sqlite3.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/note_store.h"
#include "data/driver/driver.h"
#include "data/kestrune_driver/kestrune_driver.h"
#include "data/view/view.h"
#include "runtime/core/error_state.h"
#include "runtime/expr/expression.h"
#include "runtime/values/accessor.h"

namespace {

using namespace pellucor;
using data::Dispatch;
using data::Op;
using data::OpArgs;
namespace nr = app::note_record;

constexpr int kPage = 20;

struct Note {
  std::string topic;
  char reminder;
  int32_t note_date;
  int32_t reminder_date;
  std::string memo;
  char done;
};

int32_t Today() {
  auto tree = runtime::expr::CompileExpression("today()");
  return runtime::expr::EvaluateInteger(*tree);
}

std::vector<Note> MakeNotes(int n, uint32_t seed) {
  static const char* words[] = {"Meeting", "meet",   "Memo",  "Call",  "Buy",    "Pay",
                                "Email",   "Review", "Plan",  "Fix",   "Doctor", "Garden",
                                "Taxes",   "Report", "Visit", "Order", "Book",   "Clean"};
  std::mt19937 rng(seed);
  const int32_t today = Today();
  std::vector<Note> out;
  out.reserve(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) {
    Note x;
    x.topic = std::string(words[rng() % 18]) + " " + words[rng() % 18] + " " +
              std::to_string(rng() % 1000);
    x.reminder = rng() % 20 == 0 ? 'Y' : 'N';
    x.note_date = today - static_cast<int32_t>(rng() % 1100);
    x.reminder_date = rng() % 10 < 6 ? 0 : today - 60 + static_cast<int32_t>(rng() % 120);
    x.done = rng() % 10 < 3 ? 'Y' : 'N';
    x.memo = "Note " + std::to_string(i) + ": " + std::string(40 + rng() % 160, 'a' + rng() % 26);
    out.push_back(std::move(x));
  }
  return out;
}

void Fill(data::FileDecl& f, const Note& n) {
  uint8_t* r = f.RecordBuffer();
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(), std::min<size_t>(n.topic.size(), 60));
  r[nr::kReminderOffset] = static_cast<uint8_t>(n.reminder);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kNoteDateOffset, 4)
      ->SetInteger(n.note_date);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kReminderDateOffset, 4)
      ->SetInteger(n.reminder_date);
  std::memcpy(r + nr::kMainMemoOffset, n.memo.data(), std::min<size_t>(n.memo.size(), 5050));
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

bool Check(int32_t e, const char* what) {
  if (e == 0) return true;
  std::fprintf(stderr, "%s failed: %d %s\n", what, e, runtime::ErrorText().c_str());
  return false;
}

// A notes table of its own name inside the data file "bench".
std::unique_ptr<data::FileDecl> OpenTable(const std::string& table, const std::vector<Note>& rows) {
  auto f = app::MakeSNotes(&data::KestruneDriverInstance());
  f->name_storage = "bench\\!" + table;
  f->name_length = static_cast<int32_t>(f->name_storage.size());
  OpArgs create;
  create.mode = 0x22;
  if (!Check(Dispatch(*f, Op::kCREATE, create).error, "CREATE")) return nullptr;
  OpArgs open;
  open.mode = 0x12;  // read and write, deny all: nobody else shares the benchmark's file
  if (!Check(Dispatch(*f, Op::kOPEN, open).error, "OPEN")) return nullptr;
  if (!Check(Dispatch(*f, Op::kSTREAM).error, "STREAM")) return nullptr;
  for (const Note& n : rows) {
    Fill(*f, n);
    if (!Check(Dispatch(*f, Op::kADD).error, "ADD")) return nullptr;
  }
  if (!Check(Dispatch(*f, Op::kFLUSH).error, "FLUSH")) return nullptr;
  return f;
}

struct Workload {
  const char* name;
  const char* key;
  std::string filter;
  const char* order;  // view order text, or nullptr for the key's order
  std::string sql_where;
  const char* sql_order;
};

std::vector<Workload> Workloads(int32_t today) {
  const std::string soon = std::to_string(today + 3);
  const char* snot_order = "reminder, reminderdate, topic COLLATE NOCASE";
  return {
      {"notes", "SNO:SNOT", "(sno:done ='N' and sno:reminderdate='')", nullptr,
       "done = 'N' AND reminderdate = 0", snot_order},
      {"reminders", "SNO:ALLNOTES",
       "(sno:reminderdate <= today()+3 and sno:reminderdate > '' and sno:done='N')", nullptr,
       "reminderdate <= " + soon + " AND reminderdate > 0 AND done = 'N'", "notedate"},
      {"done", "SNO:DONYET", "(sno:done='Y')", "+sno:done,+sno:reminderdate,-sno:notedate",
       "done = 'Y'", "done, reminderdate, notedate DESC"},
      {"all", "SNO:SNOT", "", nullptr, "", snot_order},
      {"begins", "SNO:SNOT", "SUB(UPPER(sno:TOPIC),1,3) = 'MEE'", nullptr,
       "substr(upper(topic),1,3) = 'MEE'", snot_order},
  };
}

double Seconds(const std::function<void()>& body, int repeat) {
  std::vector<double> times;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    body();
    times.push_back(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];  // the median
}

struct Timing {
  double first_page = 0;
  double full = 0;
  long rows = 0;
};

Timing TimeOurs(data::FileDecl& f, const Workload& w, int first_repeat, int full_repeat) {
  data::view::View v({&f, {}, {}});
  Timing t;
  if (!Check(v.Open(), "view OPEN")) return t;
  v.SetKey(f.FindKey(w.key));
  v.SetFilter(w.filter);
  if (w.order) (void)v.SetOrderText(w.order);
  long rows = 0;
  t.first_page = Seconds(
      [&] {
        (void)v.Set();
        for (int i = 0; i < kPage && v.Next() == 0; ++i) {
        }
      },
      first_repeat);
  t.full = Seconds(
      [&] {
        (void)v.Set();
        rows = 0;
        while (v.Next() == 0) ++rows;
      },
      full_repeat);
  t.rows = rows;
  (void)v.Close();
  return t;
}

long StepAll(sqlite3_stmt* s, long limit) {
  long rows = 0;
  sqlite3_reset(s);
  while ((limit < 0 || rows < limit) && sqlite3_step(s) == SQLITE_ROW) {
    // Every column is taken, as the view leaves every field in the record buffer.
    volatile const unsigned char* topic = sqlite3_column_text(s, 1);
    volatile const unsigned char* memo = sqlite3_column_text(s, 5);
    volatile int64_t nd = sqlite3_column_int64(s, 3) + sqlite3_column_int64(s, 4);
    (void)topic;
    (void)memo;
    (void)nd;
    (void)sqlite3_column_text(s, 2);
    (void)sqlite3_column_text(s, 6);
    ++rows;
  }
  return rows;
}

Timing TimeSqlite(sqlite3* db, const Workload& w, int first_repeat, int full_repeat) {
  std::string sql = "SELECT id, topic, reminder, notedate, reminderdate, mainmemo, done FROM notes";
  if (!w.sql_where.empty()) sql += " WHERE " + w.sql_where;
  sql += std::string(" ORDER BY ") + w.sql_order;
  sqlite3_stmt* page = nullptr;
  sqlite3_stmt* full = nullptr;
  Timing t;
  if (sqlite3_prepare_v2(db, (sql + " LIMIT 20").c_str(), -1, &page, nullptr) != SQLITE_OK ||
      sqlite3_prepare_v2(db, sql.c_str(), -1, &full, nullptr) != SQLITE_OK) {
    std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
    return t;
  }
  t.first_page = Seconds([&] { (void)StepAll(page, kPage); }, first_repeat);
  long rows = 0;
  t.full = Seconds([&] { rows = StepAll(full, -1); }, full_repeat);
  t.rows = rows;
  sqlite3_finalize(page);
  sqlite3_finalize(full);
  return t;
}

sqlite3* MakeSqlite(const std::string& path, const std::vector<Note>& rows) {
  sqlite3* db = nullptr;
  if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) return nullptr;
  const char* schema =
      "CREATE TABLE notes(id INTEGER PRIMARY KEY, topic TEXT, reminder TEXT, notedate INTEGER,"
      " reminderdate INTEGER, mainmemo TEXT, done TEXT);"
      "CREATE INDEX snot ON notes(reminder, reminderdate, topic COLLATE NOCASE);"
      "CREATE INDEX allnotes ON notes(notedate);"
      "CREATE INDEX donyet ON notes(done, reminderdate);";
  if (sqlite3_exec(db, schema, nullptr, nullptr, nullptr) != SQLITE_OK) return nullptr;
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* ins = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO notes VALUES(?,?,?,?,?,?,?)", -1, &ins, nullptr);
  long id = 0;
  for (const Note& n : rows) {
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

}  // namespace

int main(int argc, char** argv) {
  const int big = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 100000;
  const int small = 1000;
  std::string pattern = (std::filesystem::temp_directory_path() / "bench-view-XXXXXX").string();
  const std::string dir = mkdtemp(pattern.data());
  std::filesystem::current_path(dir);
  setenv("PELLUCOR_SYSTEM_PROFILE", (dir + "/system.ini").c_str(), 1);
  data::SetTransactionControlFile(dir + "/kestrune.tcf");

  const int32_t today = Today();
  const std::vector<Note> big_rows = MakeNotes(big, 1);
  const std::vector<Note> small_rows = MakeNotes(small, 2);
  auto t0 = std::chrono::steady_clock::now();
  auto big_table = OpenTable("big", big_rows);
  auto small_table = OpenTable("small", small_rows);
  if (!big_table || !small_table) return 1;
  std::printf("loaded %d + %d notes into Kestrune in %.1f s\n", big, small,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
  sqlite3* db = MakeSqlite(dir + "/notes.sqlite", big_rows);
  sqlite3* small_db = MakeSqlite(dir + "/small.sqlite", small_rows);
  if (!db || !small_db) return 1;

  // The driver alone: every note read in SNOT order, without a view; what the view adds to the
  // full "Everything" reading is its own work (positions, the row buffer, the filter).
  {
    OpArgs set;
    set.key = big_table->FindKey("SNO:SNOT");
    long n = 0;
    const double raw = Seconds(
        [&] {
          (void)Dispatch(*big_table, Op::kSETkey, set);
          n = 0;
          while (Dispatch(*big_table, Op::kNEXT).error == 0) ++n;
        },
        3);
    std::printf("driver alone: %ld notes in SNOT order in %.1f ms (%.2f us a note)\n", n, raw * 1e3,
                n ? raw * 1e6 / static_cast<double>(n) : 0.0);
  }
  std::vector<Workload> workloads = Workloads(today);
  if (argc > 2) {
    const std::string only = argv[2];
    std::erase_if(workloads, [&](const Workload& w) { return only != w.name; });
    if (workloads.empty()) {
      std::fprintf(stderr, "no workload named %s\n", only.c_str());
      return 2;
    }
  }
  std::vector<std::string> summary;
  auto line = [&](const std::string& name, double ours, double theirs, const char* unit) {
    char buf[256];
    std::snprintf(buf, sizeof buf, "SUMMARY workload=%s ours=%.3f sqlite=%.3f unit=%s speedup=%.2f",
                  name.c_str(), ours, theirs, unit, ours > 0 ? theirs / ours : 0.0);
    summary.push_back(buf);
  };
  std::vector<std::pair<Timing, Timing>> results;
  double slowest = -1, slowest_small = 0, sqlite_big = 0, sqlite_small = 0;
  std::string slowest_name;
  for (const Workload& w : workloads) {
    const Timing ours = TimeOurs(*big_table, w, 51, 3);
    const Timing theirs = TimeSqlite(db, w, 51, 3);
    const Timing ours_small = TimeOurs(*small_table, w, 51, 1);
    const Timing theirs_small = TimeSqlite(small_db, w, 51, 1);
    std::printf(
        "%-10s rows ours=%ld sqlite=%ld  first page %.1f us vs %.1f us (1000 notes: %.1f us)"
        "  full %.1f ms vs %.1f ms\n",
        w.name, ours.rows, theirs.rows, ours.first_page * 1e6, theirs.first_page * 1e6,
        ours_small.first_page * 1e6, ours.full * 1e3, theirs.full * 1e3);
    results.emplace_back(ours, theirs);
    // The slowest of the four tabs (the "Begins" query is no tab).
    if (results.size() <= 4 && ours.first_page > slowest) {
      slowest = ours.first_page;
      slowest_small = ours_small.first_page;
      sqlite_big = theirs.first_page;
      sqlite_small = theirs_small.first_page;
      slowest_name = w.name;
    }
  }
  for (size_t i = 0; i < workloads.size(); ++i) {
    line(std::string("first_page_") + workloads[i].name, results[i].first.first_page * 1e6,
         results[i].second.first_page * 1e6, "us");
  }
  for (size_t i = 0; i < workloads.size(); ++i) {
    line(std::string("full_") + workloads[i].name, results[i].first.full * 1e3,
         results[i].second.full * 1e3, "ms");
  }
  {
    char buf[256];
    const double ratio = slowest_small > 0 ? slowest / slowest_small : 0;
    const double sqlite_ratio = sqlite_small > 0 ? sqlite_big / sqlite_small : 0;
    std::snprintf(buf, sizeof buf,
                  "SUMMARY workload=page_scaling ours=%.2f sqlite=%.2f unit=ratio_%s_%d_over_%d "
                  "speedup=%.2f",
                  ratio, sqlite_ratio, slowest_name.c_str(), big, small,
                  ratio > 0 ? sqlite_ratio / ratio : 0.0);
    summary.push_back(buf);
  }
  for (const std::string& s : summary) std::printf("%s\n", s.c_str());

  sqlite3_close(db);
  sqlite3_close(small_db);
  (void)Dispatch(*big_table, Op::kCLOSE);
  (void)Dispatch(*small_table, Op::kCLOSE);
  std::error_code ec;
  std::filesystem::current_path("/", ec);
  std::filesystem::remove_all(dir, ec);
  return 0;
}
