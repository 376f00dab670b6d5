// The process and report managers with the real engines offscreen: the adaptive cycle on a clock
// the test drives, each record taken once, the percentage by records, by the step manager and by
// bytes, the deferred window, no records, cancelling, and page files that never stay behind.
#include <QTimer>
#include <filesystem>

#include "data/ascii/ascii_driver.h"
#include "data/driver/declaration.h"
#include "tests/report/report_fixture.h"
#include "tests/report/report_test_user.h"

namespace pellucor::report::testing {
namespace {

using framework::Level;
namespace response = framework::response;

using ui::testing::Collapsed;
using ui::testing::FirstMissingInOrder;
using ui::testing::PdfText;

// Options with the fields a test names set, the others as they come.
NotesRun::Options With(const std::function<void(NotesRun::Options&)>& set) {
  NotesRun::Options o;
  set(o);
  return o;
}

std::vector<std::string> Topics(const std::vector<NotesRun::Taken>& taken) {
  std::vector<std::string> out;
  for (const auto& t : taken) out.push_back(t.topic);
  return out;
}

std::vector<std::string> TopicsOf(const std::vector<Note>& notes) {
  std::vector<std::string> out;
  for (const auto& n : notes) out.push_back(n.topic);
  return out;
}

class ReportManagerTest : public ReportFixture {
 protected:
  // Runs the procedure to its end; the pages go to a PDF file, nothing asks.
  uint8_t Run(NotesRun& run) {
    reports_.SetOutputFile(pdf_);
    return run.Run();
  }
  std::string pdf_ = tmp_.path() + "/out.pdf";
};

TEST_F(ReportManagerTest, AFastCycleDoublesAndReadsOnInTheSameTimerEvent) {
  const std::vector<Note> notes = Numbered(40);
  AddNotes(notes);
  NotesRun run(relations_, errors_, With([](auto& o) { o.record_cost = 30; }));
  EXPECT_EQ(Run(run), response::kCompleted);
  // Each record exactly once, in key order.
  EXPECT_EQ(Topics(run.taken), TopicsOf(notes));
  // The first timer event: 0.3 s after one record doubles the count to 2 and, with less than
  // half the budget used, reads on; 0.6 s after the second doubles it to 4 and ends the event.
  ASSERT_GE(run.taken.size(), 3u);
  EXPECT_EQ(run.taken[0].timer_event, 1);
  EXPECT_EQ(run.taken[1].timer_event, 1);
  EXPECT_EQ(run.taken[2].timer_event, 2);
  ASSERT_GE(run.cycles_after.size(), 2u);
  EXPECT_EQ(run.cycles_after[0], 4);
  // Then four records take 1.2 s: above 80 %, not above 150 %: the count stays.
  EXPECT_EQ(run.cycles_after[1], 4);
  for (size_t i = 2; i < 6; ++i) EXPECT_EQ(run.taken[i].timer_event, 2) << i;
}

TEST_F(ReportManagerTest, ASlowCycleHalvesButNeverBelowOne) {
  AddNotes(Numbered(12));
  {
    NotesRun run(relations_, errors_, With([](auto& o) {
                   o.record_cost = 40;
                   o.records_per_cycle = 4;
                 }));
    EXPECT_EQ(Run(run), response::kCompleted);
    // Four records of 0.4 s: 1.6 s, more than 150 % of the budget.
    ASSERT_GE(run.cycles_after.size(), 2u);
    EXPECT_EQ(run.cycles_after[0], 2);
    EXPECT_EQ(run.cycles_after[1], 2);  // 0.8 s: kept
    EXPECT_EQ(run.taken.size(), 12u);
  }
  NotesRun slow(relations_, errors_, With([](auto& o) { o.record_cost = 160; }));
  EXPECT_EQ(Run(slow), response::kCompleted);
  for (int32_t c : slow.cycles_after) EXPECT_EQ(c, 1);
  EXPECT_EQ(slow.taken.size(), 12u);
  for (size_t i = 0; i < slow.taken.size(); ++i) {
    EXPECT_EQ(slow.taken[i].timer_event, static_cast<int>(i) + 1);
  }
}

TEST_F(ReportManagerTest, ThePercentageFollowsTheRecordsAndEndsAt100) {
  AddNotes(Numbered(8));
  NotesRun run(relations_, errors_, {});
  run.on_record = [&](const NotesRun::Taken& t) {
    const char* shots = std::getenv("PELLUCOR_SCREENSHOTS");
    if (shots == nullptr || t.topic != "Note 0004") return;
    engine_.WidgetOf(run.window().id())
        ->grab()
        .save(QString::fromLocal8Bit(shots) + "/progress.png");
  };
  EXPECT_EQ(Run(run), response::kCompleted);
  EXPECT_EQ(run.last_percent_text, "100% Complete");
  // After record n of 8 the bar stands at n/8 (the first is counted as it is read).
  EXPECT_EQ(run.percents, (std::vector<int>{12, 25, 37, 50, 62, 75, 87, 100}));
  EXPECT_EQ(FirstMissingInOrder(Collapsed(PdfText(pdf_)), TopicsOf(Numbered(8))), "");
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(ReportManagerTest, TheStepManagerGivesThePercentageWhenItsLimitsDiffer) {
  // Archive flags from "A" to "Z": the key's first field spreads over its range.
  std::vector<Note> notes;
  for (char c = 'A'; c <= 'Z'; ++c) notes.push_back({std::string("Flag ") + c, "", 0, 0, c, 'N'});
  AddNotes(notes);
  NotesRun run(relations_, errors_, With([](auto& o) { o.step_manager = true; }));
  EXPECT_EQ(Run(run), response::kCompleted);
  ASSERT_EQ(run.percents.size(), 26u);
  // Record n of "A" to "Z" stands at (n - 1) / 25 of the way.
  EXPECT_EQ(run.percents[0], 0);
  EXPECT_EQ(run.percents[12], 48);
  EXPECT_EQ(run.percents[25], 100);
  EXPECT_EQ(run.last_percent_text, "100% Complete");

  // Every note with the same flag: the step manager cannot tell them apart, and the percentage
  // follows the records read instead of standing at 0.
  std::filesystem::remove("plk.KSR");
  AddNotes(Numbered(4));
  NotesRun same(relations_, errors_, With([](auto& o) { o.step_manager = true; }));
  EXPECT_EQ(Run(same), response::kCompleted);
  EXPECT_EQ(same.percents, (std::vector<int>{25, 50, 75, 100}));
}

TEST_F(ReportManagerTest, DeferWindow65535NeverShowsTheProgressWindow) {
  AddNotes(Numbered(60));
  for (uint16_t defer : {uint16_t{65535}, uint16_t{0}}) {
    NotesRun run(relations_, errors_, With([defer](auto& o) { o.defer_window = defer; }));
    bool seen_visible = false;
    int looks = 0;
    QTimer watch;
    watch.setInterval(1);
    QObject::connect(&watch, &QTimer::timeout, [&] {
      if (!run.window().IsOpen()) return;
      QWidget* w = engine_.WidgetOf(run.window().id());
      if (w == nullptr) return;
      ++looks;
      seen_visible = seen_visible || w->isVisible();
    });
    watch.start();
    // Slow enough that the watch looks many times.
    run.on_record = [](const NotesRun::Taken&) { QTest::qWait(2); };
    EXPECT_EQ(Run(run), response::kCompleted);
    EXPECT_GT(looks, 5);
    EXPECT_EQ(seen_visible, defer == 0) << defer;
    EXPECT_EQ(run.taken.size(), 60u);
  }
}

TEST_F(ReportManagerTest, NoRecordsTellsSoAndPrintsNothing) {
  AddNotes(Numbered(3));
  NotesRun run(relations_, errors_, With([](auto& o) {
                 o.preview = true;
                 o.filter = "sno:topic = 'nothing like it'";
               }));
  bool preview_seen = false;
  User watch;
  watch.Add("P17$PREVIEWWINDOW", [&](QWidget*) { preview_seen = true; });
  EXPECT_EQ(Run(run), response::kCancelled);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].title, "No Records");
  EXPECT_EQ(boxes_[0].text, "There are no records available to process.");
  EXPECT_FALSE(preview_seen);
  EXPECT_TRUE(run.taken.empty());
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(ReportManagerTest, CancelPrintsNothingAndLeavesNoPageFiles) {
  std::vector<Note> notes = Numbered(400);
  for (Note& n : notes) n.memo = std::string(1500, 'm') + " " + n.topic;
  AddNotes(notes);
  // Four records a timer event (0.3 s each on the test's clock): the user's click comes between
  // two events, as it would in a long run.
  NotesRun run(relations_, errors_, With([](auto& o) {
                 o.preview = true;
                 o.record_cost = 30;
               }));
  size_t pages_when_cancelled = 0;
  run.on_record = [&](const NotesRun::Taken& t) {
    if (t.topic != "Note 0150") return;
    pages_when_cancelled = tmp_.PageFiles().size();
    // The user clicks "Cancel" while the run goes on.
    QTimer::singleShot(0, [&] {
      auto* cancel = qobject_cast<QAbstractButton*>(
          engine_.ControlWidget(run.window().id(), progress_window::kCancel));
      if (cancel != nullptr) cancel->click();
    });
  };
  bool preview_seen = false;
  User watch;
  watch.Add("P17$PREVIEWWINDOW", [&](QWidget*) { preview_seen = true; });
  EXPECT_EQ(Run(run), response::kCancelled);
  EXPECT_GT(pages_when_cancelled, 3u);
  EXPECT_LT(run.taken.size(), 400u);
  EXPECT_FALSE(preview_seen);
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(ReportManagerTest, ThePreviewPrintsWhatTheUserChose) {
  std::vector<Note> notes = Numbered(90);
  AddNotes(notes);
  NotesRun run(relations_, errors_, With([](auto& o) { o.preview = true; }));
  User user;
  int pages = 0;
  user.Add("P17$PREVIEWWINDOW", [&](QWidget* win) {
    pages = std::atoi(User::Status(win, 2).section(' ', -1).toLocal8Bit().constData());
    EXPECT_TRUE(User::Choose(win, "Pa&ges to Print..."));
  });
  user.Add("P37$WINDOW", [&](QWidget* win) {
    User::Type(win, 2, "2", false);
    qobject_cast<QAbstractButton*>(User::Control(win, 4))->click();
  });
  user.Add("P17$PREVIEWWINDOW", [&](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Print")); });
  EXPECT_EQ(Run(run), response::kCompleted);
  EXPECT_TRUE(user.Done());
  EXPECT_GE(pages, 3);
  const std::string text = Collapsed(PdfText(pdf_));
  EXPECT_NE(text.find("Page 2"), std::string::npos);
  EXPECT_EQ(text.find("Page 1"), std::string::npos);
  EXPECT_EQ(text.find("Note 0001"), std::string::npos);
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

// A text file cannot count its records: the percentage follows the bytes read.
class LinesFile : public framework::FileManager {
 public:
  void BindFields() override {}
};

TEST_F(ReportManagerTest, PercentageByBytesWhenTheFileCannotCountItsRecords) {
  const std::string path = cwd_.path() + "/lines.txt";
  std::string content;
  for (int i = 1; i <= 10; ++i)
    content += "line " + std::to_string(i) + std::string(i * 3, '.') + "\r\n";
  testsupport::WriteWholeFile(path, content);
  data::DeclarationBuilder b("Lines", "LIN", &data::AsciiDriverInstance());
  auto decl = b.Name(path).String("LINE", 80).Build();
  LinesFile lines;
  lines.Init(*decl, errors_);
  lines.OPENMODE = 0x40;
  framework::RelationManager relations;
  relations.Init(lines);
  ASSERT_EQ(relations.Open(), Level::Proceed);
  runtime::WindowDescription d = ProgressWindow("test$LINES", nullptr);
  uint8_t percent = 0;
  d.controls[0].use = runtime::AnyRef{&percent, 1, runtime::TypeCode::kByte, 0};
  d.timer = 0;
  runtime::Window window(d);
  window.Open();
  data::view::View view({decl.get(), {}, {}});
  ProcessManager process;
  process.Init(view, relations, progress_window::kPercentText, &percent, nullptr, {});
  process.AddSortOrder(nullptr);
  ASSERT_EQ(process.Reset(), Level::Proceed);
  EXPECT_EQ(process.RECORDSTOPROCESS, 0);
  EXPECT_EQ(process.FILESIZE, static_cast<int32_t>(content.size()));
  std::vector<int> seen;
  Level last = Level::Proceed;
  while ((last = process.Next(true)) == Level::Proceed) seen.push_back(percent);
  EXPECT_EQ(last, Level::Notified) << runtime::ErrorCode() << " " << runtime::ErrorText();
  ASSERT_EQ(seen.size(), 10u);
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_LT(seen.front(), 10);
  // A record's bytes are its line without the line end: the last record leaves the percentage
  // at the share of the file that the lines' text makes up.
  size_t text_bytes = 0;
  for (int i = 1; i <= 10; ++i) text_bytes += 5 + std::to_string(i).size() + i * 3;
  const int expected = static_cast<int>(text_bytes * 100 / content.size());
  EXPECT_EQ(seen.back(), expected);
  EXPECT_EQ(runtime::GetProperty(progress_window::kPercentText, runtime::Prop::kText),
            std::to_string(expected) + "% Complete");
  (void)process.Kill();
  window.Close();
  (void)relations.Close();
}

}  // namespace
}  // namespace pellucor::report::testing
