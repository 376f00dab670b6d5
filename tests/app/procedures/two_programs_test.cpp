// The notes window beside a second program on the same data file: pellucor-cli, run as a real
// process while the window is up. What the other program adds shows once the browse refreshes;
// saving a note the other program changed meanwhile writes nothing of ours, says so with the
// "changed by another station" message and shows the other program's values.
#include <QCheckBox>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include "app/note.h"
#include "app/note_store.h"
#include "app/procedures/notes_browse.h"
#include "app/procedures/program.h"
#include "app/windows/main_windows.h"
#include "app/windows/note_forms.h"
#include "procedure_test_util.h"
#include "runtime/event/engine.h"
#include "tests/app/cli_runner.h"

namespace pellucor::app {
namespace {

using framework::Level;
using testing::User;
namespace m = main_window;
namespace f = note_form;

constexpr const char* kWindow = "P1$QUICKWINDOW";

std::vector<std::string> ListTopics(QWidget* window) {
  std::vector<std::string> topics;
  QWidget* c = User::Control(window, m::kList);
  auto* list = qobject_cast<QTreeWidget*>(c);
  if (list == nullptr && c != nullptr) list = c->findChild<QTreeWidget*>();
  for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
    topics.push_back(list->topLevelItem(i)->text(2).trimmed().toStdString());
  }
  return topics;
}

void ChooseTab(QWidget* window, int index) {
  QWidget* c = User::Control(window, m::kSheet);
  auto* sheet = qobject_cast<QTabWidget*>(c);
  if (sheet == nullptr && c != nullptr) sheet = c->findChild<QTabWidget*>();
  ASSERT_NE(sheet, nullptr);
  sheet->setCurrentIndex(index);
}

void Click(QWidget* window, int32_t control) {
  auto* button = qobject_cast<QAbstractButton*>(User::Control(window, control));
  ASSERT_NE(button, nullptr) << control;
  button->click();
}

class TwoProgramsTest : public testing::ProcedureTest {
 protected:
  clitest::Outcome Cli(const std::vector<std::string>& args) {
    return clitest::RunCli(dir_.path(), args);
  }
  // The id pellucor-cli gives the note with `topic` (on every tab).
  std::string IdOf(const std::string& topic) {
    const clitest::Outcome all = Cli({"list", "--tab", "all", "--tsv"});
    for (const std::string& line : clitest::Lines(all.out)) {
      const std::vector<std::string> fields = clitest::Fields(line);
      if (fields.size() > 3 && fields[3] == topic) return fields[0];
    }
    ADD_FAILURE() << "pellucor-cli does not list " << topic << ": " << all.out << all.err;
    return "0";
  }
};

TEST_F(TwoProgramsTest, TheOtherProgramsChangesShowAndAConflictingSaveKeepsTheirs) {
  std::vector<std::string> done_before, done_after, notes_only;
  std::string topic_after_conflict;
  clitest::Outcome added, edited;
  ProgramRun run;
  run.main = [&] {
    framework::RelationManager& table = TheProgram().snotes_relations;
    ASSERT_EQ(table.Open(), Level::Proceed);
    Note mine;
    mine.topic = "Buy stamps";
    mine.note_date = 81000;
    EncodeNote(mine, table.ME->Buffer());
    ASSERT_EQ(table.ME->Insert(), Level::Proceed);
    (void)table.Close();

    user_.Add(kWindow, [](QWidget* w) { ChooseTab(w, 2); });  // "Done Items"
    user_.Add(kWindow, [&](QWidget* w) {
      done_before = ListTopics(w);
      added = Cli({"add", "--topic", "Paid the rent", "--done"});
      ChooseTab(w, 0);  // "Notes Only": the browse reads the file again
    });
    user_.Add(kWindow, [&](QWidget* w) {
      notes_only = ListTopics(w);
      ChooseTab(w, 2);
    });
    user_.Add(kWindow, [&](QWidget* w) {
      done_after = ListTopics(w);
      ChooseTab(w, 0);
    });
    user_.Add(kWindow, [](QWidget* w) { Click(w, m::kChange); });
    // In the form: the other program renames the note, then this one saves its own memo.
    user_.Add(kWindow, [&](QWidget* w) {
      ASSERT_NE(User::Control(w, f::kMemo), nullptr) << "the change form is not up";
      edited = Cli({"edit", IdOf("Buy stamps"), "--topic", "Buy stamps and envelopes"});
      auto* topic = qobject_cast<QLineEdit*>(User::Control(w, f::kTopic));
      topic->setFocus();
      topic->selectAll();
      QTest::keyClicks(topic, "Buy a stamp");
    });
    user_.Add(kWindow, [](QWidget* w) { Click(w, f::kOk); });
    user_.Add(kWindow, [&](QWidget* w) {
      auto* topic = qobject_cast<QLineEdit*>(User::Control(w, f::kTopic));
      ASSERT_NE(topic, nullptr) << "the form closed after a conflicting save";
      topic_after_conflict = topic->text().trimmed().toStdString();
      // Leaving now asks whether to save what differs from the note as the form opened: no.
      answers_ = {runtime::button::kNo};
      Click(w, f::kCancel);
    });
    user_.Add(kWindow, [](QWidget* w) { Click(w, m::kClose); });
    user_.Start();
    Main();
  };
  EXPECT_EQ(RunProgram(std::move(run)), 0);
  EXPECT_TRUE(user_.Done());
  EXPECT_EQ(added.status, 0) << added.err;
  EXPECT_EQ(edited.status, 0) << edited.err;
  EXPECT_TRUE(done_before.empty());
  EXPECT_EQ(done_after, std::vector<std::string>{"Paid the rent"});
  EXPECT_EQ(notes_only, std::vector<std::string>{"Buy stamps"});

  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0].title, "Record Was Not Updated");
  EXPECT_EQ(boxes_[0].text,
            "This record was changed by another station. Those changes will now be displayed. "
            "Use the Ditto Button or Ctrl+' to recall your changes.");
  EXPECT_EQ(topic_after_conflict, "Buy stamps and envelopes");
  // The other program's change is what the file keeps.
  const clitest::Outcome shown = Cli({"list", "--tab", "notes", "--tsv"});
  EXPECT_NE(shown.out.find("Buy stamps and envelopes"), std::string::npos) << shown.out;
  EXPECT_EQ(shown.out.find("Buy a stamp\t"), std::string::npos) << shown.out;
}

}  // namespace
}  // namespace pellucor::app
