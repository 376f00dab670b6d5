// The print buttons of the notes window and the archive browse, pressed as a person presses them:
// "Print One Note" prints the highlighted note, "Print FindBy's" the notes of the tab (and query)
// shown as it got the focus, and the archive's print button the highlighted archived note. The
// pages are printed from the preview to a PDF file and read back with pdftotext.
#include <QAbstractButton>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <filesystem>

#include "app/note.h"
#include "app/note_store.h"
#include "app/procedures/notes_browse.h"
#include "app/procedures/program.h"
#include "app/windows/main_windows.h"
#include "runtime/values/calendar.h"
#include "tests/app/procedures/procedure_test_util.h"
#include "tests/report/notes/note_program_test.h"
#include "tests/report/report_test_user.h"
#include "tests/support/scratch_dir.h"
#include "tests/ui/report_test_util.h"

namespace pellucor::app {
namespace {

using testing::User;
using Report = report::testing::User;
namespace m = main_window;
namespace a = archive_window;

constexpr const char* kBrowseWindow = "P1$QUICKWINDOW";
constexpr const char* kPreviewWindow = "P17$PREVIEWWINDOW";

class PrintButtonsTest : public testing::NoteProgramTest {
 protected:
  static void Store(framework::RelationManager& table, const std::vector<Note>& notes) {
    ASSERT_EQ(table.Open(), framework::Level::Proceed);
    for (const Note& note : notes) {
      EncodeNote(note, table.ME->Buffer());
      EXPECT_EQ(table.ME->Insert(), framework::Level::Proceed);
    }
    (void)table.Close();
  }
  static Note NoteOf(std::string topic, std::string memo, int32_t reminder, char archive = 'N') {
    Note n;
    n.topic = std::move(topic);
    n.memo = std::move(memo);
    n.note_date = 81000;
    n.reminder_date = reminder;
    n.archive = archive;
    return n;
  }
  static void Press(QWidget* window, int32_t control) {
    auto* button = qobject_cast<QAbstractButton*>(User::Control(window, control));
    ASSERT_NE(button, nullptr) << control;
    button->setFocus();
    button->click();
  }
  // The preview's "&Print" once it is up; then the browse is closed with its Close button.
  void PrintThenClose(int32_t close_control) {
    user_.Add(kPreviewWindow, [](QWidget* w) { EXPECT_TRUE(Report::Choose(w, "&Print")); });
    user_.Add(kBrowseWindow, [close_control](QWidget* w) { Press(w, close_control); });
  }
  std::string Printed() {
    if (!std::filesystem::exists(pdf_)) return "";
    return ui::testing::Collapsed(ui::testing::PdfText(pdf_));
  }

  User user_;
};

TEST_F(PrintButtonsTest, PrintOneNotePrintsOnlyTheHighlightedNote) {
  const int32_t today = runtime::TODAY();
  RunAsProgram([&] {
    // Both are due: the window opens on "Current Reminders" with the earlier one highlighted.
    Store(TheProgram().snotes_relations, {NoteOf("Dentist", "Bring the card", today + 1),
                                          NoteOf("Garden", "Cut the hedge", today + 2)});
    user_.Add(kBrowseWindow, [](QWidget* w) { Press(w, m::kPrint); });
    PrintThenClose(m::kClose);
    user_.Start();
    Main();
  });
  EXPECT_TRUE(user_.Done());
  const std::string text = Printed();
  EXPECT_EQ(ui::testing::FirstMissingInOrder(text, {"Pellucor", "Dentist", "Bring the card"}), "")
      << text;
  EXPECT_EQ(text.find("Garden"), std::string::npos) << text;
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PrintButtonsTest, PrintFindBysPrintsTheNotesOfTheTabShown) {
  const int32_t today = runtime::TODAY();
  RunAsProgram([&] {
    Store(TheProgram().snotes_relations,
          {NoteOf("Plain one", "Without a reminder", 0), NoteOf("Plain two", "Also none", 0),
           NoteOf("Due soon", "A reminder", today + 1)});
    // "Notes Only": the notes without a reminder.
    user_.Add(kBrowseWindow, [](QWidget* w) {
      auto* sheet = User::Control(w, m::kSheet)->findChild<QTabWidget*>();
      if (sheet == nullptr) sheet = qobject_cast<QTabWidget*>(User::Control(w, m::kSheet));
      ASSERT_NE(sheet, nullptr);
      sheet->setCurrentIndex(0);
    });
    user_.Add(kBrowseWindow, [](QWidget* w) { Press(w, m::kPrintFindBys); });
    PrintThenClose(m::kClose);
    user_.Start();
    Main();
  });
  EXPECT_TRUE(user_.Done());
  const std::string text = Printed();
  EXPECT_EQ(ui::testing::FirstMissingInOrder(
                text, {"Pellucor: MultiNote Report", "Plain one", "Plain two", "Page 1"}),
            "")
      << text;
  EXPECT_EQ(text.find("Due soon"), std::string::npos) << text;
  EXPECT_TRUE(boxes_.empty());
}

TEST_F(PrintButtonsTest, TheArchivePrintButtonPrintsTheHighlightedArchivedNote) {
  RunAsProgram([&] {
    Store(TheProgram().arcnotes_relations, {NoteOf("Old thing", "Kept for later", 0, 'Y'),
                                            NoteOf("Older thing", "Long gone", 0, 'Y')});
    user_.Add(kBrowseWindow, [](QWidget* w) { Press(w, a::kPrint); });
    PrintThenClose(a::kClose);
    user_.Start();
    BrowseARC();
  });
  EXPECT_TRUE(user_.Done());
  const std::string text = Printed();
  EXPECT_EQ(
      ui::testing::FirstMissingInOrder(text, {"Pellucor: Archived Note", "Old thing", "Kept for"}),
      "")
      << text;
  EXPECT_EQ(text.find("Older thing"), std::string::npos) << text;
}

}  // namespace
}  // namespace pellucor::app
