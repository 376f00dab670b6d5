// The three note reports of the desktop program, run as the program runs them (its globals, its
// tables in a scratch data directory), with the real engines offscreen: which notes each one
// prints, the query text, the progress window kept hidden for "Print One Note", cancelling, and
// the MultiNote PDF read back with pdftotext.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstring>
#include <filesystem>

#include "app/note_store.h"
#include "app/procedures/print_note.h"
#include "app/procedures/program.h"
#include "data/driver/driver.h"
#include "framework/window/window_manager.h"
#include "report/progress_window.h"
#include "runtime/core/error_state.h"
#include "runtime/event/event.h"
#include "tests/report/notes/note_program_test.h"
#include "tests/report/report_test_user.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/report_test_util.h"

namespace pellucor::app::testing {
namespace {

namespace nr = note_record;
using report::testing::User;
namespace response = framework::response;

struct Note {
  std::string topic;
  std::string memo;
  int32_t reminder_date = 0;
  char archived = 'N';
  char done = 'N';
  int32_t note_date = 81000;
};

void Put(uint8_t* r, const Note& n) {
  std::memset(r, ' ', nr::kSize);
  std::memcpy(r + nr::kTopicOffset, n.topic.data(), std::min<size_t>(n.topic.size(), 60));
  std::memcpy(r + nr::kMainMemoOffset, n.memo.data(), std::min<size_t>(n.memo.size(), 5050));
  r[nr::kReminderOffset] = static_cast<uint8_t>(n.archived);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kNoteDateOffset, 4)
      ->SetInteger(n.note_date);
  runtime::AccessorFactory(runtime::TypeCode::kDate, r + nr::kReminderDateOffset, 4)
      ->SetInteger(n.reminder_date);
  r[nr::kDoneOffset] = static_cast<uint8_t>(n.done);
}

class NoteReportsTest : public NoteProgramTest {
 protected:
  static void Add(framework::RelationManager& table, const std::vector<Note>& notes) {
    ASSERT_EQ(table.Open(), framework::Level::Proceed);
    data::FileDecl& f = *table.ME->FILE;
    for (const Note& n : notes) {
      Put(f.RecordBuffer(), n);
      ASSERT_EQ(data::Dispatch(f, data::Op::kADD).error, 0) << runtime::ErrorText();
    }
    ASSERT_EQ(table.Close(), framework::Level::Proceed);
  }
  // The user prints from the preview once it is up.
  void PrintFromPreview() {
    user_.Add("P17$PREVIEWWINDOW", [](QWidget* win) { EXPECT_TRUE(User::Choose(win, "&Print")); });
  }
  std::string Printed() { return ui::testing::Collapsed(ui::testing::PdfText(pdf_)); }

  User user_;
};

TEST_F(NoteReportsTest, PrintOneNotePrintsTheNotesEqualInFlagReminderDateAndTopic) {
  const std::vector<Note> notes = {
      {"Dentist", "Bring the card", 81010},
      {"Dentist", "Second visit", 81010},
      {"Dentist", "Other day", 81020},
      {"Garden", "Same day, other topic", 81010},
      {"Dentist", "Done already", 81010, 'N', 'Y'},
  };
  uint8_t first = 0;
  uint8_t second = 0;
  bool progress_seen = false;
  QTimer watch;
  QObject::connect(&watch, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets()) {
      if (w->objectName() == "P1$PROGRESSWINDOW" && w->isVisible()) progress_seen = true;
    }
  });
  watch.start(1);
  RunAsProgram([&] {
    app::Program& program = TheProgram();
    Add(program.snotes_relations, notes);
    // The highlighted note is in the buffer, as the browse's print button leaves it.
    ASSERT_EQ(program.snotes_relations.Open(), framework::Level::Proceed);
    Put(program.snotes_decl->RecordBuffer(), notes[0]);
    PrintFromPreview();
    program.request = kProcessRequest;
    first = printnote();
    EXPECT_EQ(program.request, 0);
    EXPECT_EQ(program.response, first);
    const std::string text = Printed();
    EXPECT_EQ(ui::testing::FirstMissingInOrder(
                  text, {"Pellucor", "Topic", "Dentist", "Bring the card", "Dentist",
                         "Second visit", "Dentist", "Done already", "Page 1"}),
              "")
        << text;
    EXPECT_EQ(text.find("Other day"), std::string::npos);
    EXPECT_EQ(text.find("Garden"), std::string::npos);

    // The query text applies too: only the done one is left.
    std::filesystem::remove(pdf_);
    program.query_text = "sno:done = 'Y'";
    Put(program.snotes_decl->RecordBuffer(), notes[1]);
    PrintFromPreview();
    program.request = kProcessRequest;
    second = printnote();
    const std::string done = Printed();
    EXPECT_NE(done.find("Done already"), std::string::npos);
    EXPECT_EQ(done.find("Bring the card"), std::string::npos);
    EXPECT_EQ(done.find("Second visit"), std::string::npos);
    (void)program.snotes_relations.Close();
  });
  EXPECT_EQ(first, response::kCompleted);
  EXPECT_EQ(second, response::kCompleted);
  EXPECT_TRUE(user_.Done());
  EXPECT_FALSE(progress_seen);  // "Print One Note" keeps the progress window hidden
  EXPECT_TRUE(boxes_.empty());
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(NoteReportsTest, TheArchivedNoteReportAndAQueryTextOfTheNotesTable) {
  const std::vector<Note> archived = {{"Tax papers", "Filed in March", 81000, 'Y'},
                                      {"Old recipe", "Flour and water", 81005, 'Y'}};
  RunAsProgram([&] {
    app::Program& program = TheProgram();
    Add(program.arcnotes_relations, archived);
    ASSERT_EQ(program.arcnotes_relations.Open(), framework::Level::Proceed);
    Put(program.arcnotes_decl->RecordBuffer(), archived[1]);
    PrintFromPreview();
    program.request = kProcessRequest;
    EXPECT_EQ(printnote1(), response::kCompleted);
    std::string text = Printed();
    EXPECT_EQ(ui::testing::FirstMissingInOrder(text, {"Pellucor: Archived Note", "Topic", "Date",
                                                      "Old recipe", "Flour and water"}),
              "");
    EXPECT_EQ(text.find("Tax papers"), std::string::npos);
    EXPECT_TRUE(boxes_.empty());

    // The notes window's query names the notes table: the archive's view refuses it (message
    // 40) and the report still prints the highlighted archived note alone.
    std::filesystem::remove(pdf_);
    program.query_text = "sno:done = 'N'";
    PrintFromPreview();
    program.request = kProcessRequest;
    EXPECT_EQ(printnote1(), response::kCompleted);
    text = Printed();
    EXPECT_NE(text.find("Old recipe"), std::string::npos);
    EXPECT_EQ(text.find("Tax papers"), std::string::npos);
    ASSERT_EQ(boxes_.size(), 1u);
    (void)program.arcnotes_relations.Close();
  });
  EXPECT_TRUE(user_.Done());
}

TEST_F(NoteReportsTest, TheArchivedNoteReportRunsOnTheArchiveBrowsesOwnThread) {
  const std::vector<Note> archived = {{"Thread note", "Printed from a second thread", 81000, 'Y'},
                                      {"Other archived", "Not this one", 81001, 'Y'}};
  uint8_t result = 0;
  runtime::ThreadNumber thread = 0;
  RunAsProgram([&] {
    app::Program& program = TheProgram();
    Add(program.arcnotes_relations, archived);
    PrintFromPreview();
    runtime::START(
        [&] {
          thread = runtime::THREAD();
          // The archive table keeps a record buffer per thread: the highlighted note is in this
          // thread's.
          ASSERT_EQ(program.arcnotes_relations.Open(), framework::Level::Proceed);
          Put(program.arcnotes_decl->RecordBuffer(), archived[0]);
          program.request = kProcessRequest;
          result = printnote1();
          (void)program.arcnotes_relations.Close();
        },
        25000);
    runtime::WaitForOtherThreads();
  });
  EXPECT_GT(thread, 1);
  EXPECT_EQ(result, response::kCompleted);
  EXPECT_TRUE(user_.Done());
  const std::string text = Printed();
  EXPECT_NE(text.find("Printed from a second thread"), std::string::npos) << text;
  EXPECT_EQ(text.find("Not this one"), std::string::npos);
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

TEST_F(NoteReportsTest, MultiNotePrintsEveryMatchingNoteInKeyOrderWithPageNumbers) {
  std::vector<Note> notes;
  std::vector<std::string> expected;
  for (int i = 1; i <= 60; ++i) {
    char topic[32];
    std::snprintf(topic, sizeof topic, "Topic %03d", i);
    std::string memo;
    for (int w = 1; w <= (i % 7) * 40 + 5; ++w)
      memo += "t" + std::to_string(i) + "w" + std::to_string(w) + " ";
    memo.pop_back();
    // Every third note is done: the query leaves those out.
    const char done = i % 3 == 0 ? 'Y' : 'N';
    notes.push_back({topic, memo, 0, 'N', done});
    if (done == 'N') {
      expected.push_back(topic);
      size_t from = 0;
      while (from < memo.size()) {
        const size_t space = memo.find(' ', from);
        expected.push_back(memo.substr(from, space - from));
        if (space == std::string::npos) break;
        from = space + 1;
      }
    }
  }
  // Stored in another order than the key's.
  std::vector<Note> shuffled(notes.rbegin(), notes.rend());
  RunAsProgram([&] {
    app::Program& program = TheProgram();
    Add(program.snotes_relations, shuffled);
    program.query_text = "(sno:done = 'N')";
    PrintFromPreview();
    EXPECT_EQ(MultiNote(), response::kCompleted);
  });
  EXPECT_TRUE(user_.Done());
  const std::string text = Printed();
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(
      ui::testing::FirstMissingInOrder(text, {"Pellucor: MultiNote Report", "TOPIC", "NOTEDATE",
                                              "REMINDERDATE", "MAINMEMO", "DONE"}),
      "");
  EXPECT_EQ(ui::testing::FirstMissingInOrder(text, expected), "");
  EXPECT_EQ(text.find("Topic 003"), std::string::npos);
  std::vector<std::string> pages;
  for (int p = 1; text.find("Page " + std::to_string(p)) != std::string::npos; ++p) {
    pages.push_back("Page " + std::to_string(p));
  }
  EXPECT_GE(pages.size(), 3u);
  EXPECT_EQ(ui::testing::FirstMissingInOrder(text, pages), "");
  EXPECT_TRUE(tmp_.PageFiles().empty());
  // The progress window's place is remembered under the procedure's name.
  EXPECT_NE(testsupport::ReadWholeFile(cwd_.path() + "/KNB4.INI").find("[MultiNote]"),
            std::string::npos);
}

TEST_F(NoteReportsTest, NoMatchingNoteAndCancellingPrintNothing) {
  std::vector<Note> notes;
  for (int i = 0; i < 300; ++i) {
    notes.push_back({"Long note " + std::to_string(1000 + i), std::string(3000, 'x'), 0});
  }
  uint8_t none = 0;
  uint8_t cancelled = 0;
  RunAsProgram([&] {
    app::Program& program = TheProgram();
    Add(program.snotes_relations, notes);
    program.query_text = "sno:topic = 'no such topic'";
    none = MultiNote();
    EXPECT_EQ(boxes_, std::vector<std::string>{"There are no records available to process."});
    // Cancel on the progress window while the run goes on.
    program.query_text.clear();
    user_.Add("P1$PROGRESSWINDOW", [](QWidget* win) {
      qobject_cast<QAbstractButton*>(User::Control(win, report::progress_window::kCancel))->click();
    });
    cancelled = MultiNote();
  });
  EXPECT_EQ(none, response::kCancelled);
  EXPECT_EQ(cancelled, response::kCancelled);
  EXPECT_TRUE(user_.Done());
  EXPECT_FALSE(std::filesystem::exists(pdf_));
  EXPECT_TRUE(tmp_.PageFiles().empty());
}

}  // namespace
}  // namespace pellucor::app::testing
