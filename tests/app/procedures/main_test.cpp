// The notes window and the archive browse on real windows over a real notes file: which notes
// each tab shows and in what order, the reminder icon, the opening tab, "Print FindBy's" without
// a query, the archive beside the notes window, and the About window's version message.
#include <QApplication>
#include <QTabWidget>
#include <QTreeWidget>
#include <set>

#include "app/note.h"
#include "app/note_store.h"
#include "app/note_tabs.h"
#include "app/procedures/notes_browse.h"
#include "app/procedures/program.h"
#include "app/windows/main_windows.h"
#include "procedure_test_util.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {
namespace {

using framework::Level;
using ::testing::ElementsAre;
using testing::User;

constexpr const char* kWindow = "P1$QUICKWINDOW";
namespace m = main_window;

struct Row {
  std::string topic;
  bool icon = false;
};

QTreeWidget* ListOf(QWidget* window, int32_t control) {
  QWidget* c = User::Control(window, control);
  if (auto* tree = qobject_cast<QTreeWidget*>(c)) return tree;
  return c == nullptr ? nullptr : c->findChild<QTreeWidget*>();
}

QTabWidget* SheetOf(QWidget* window) {
  QWidget* c = User::Control(window, m::kSheet);
  if (auto* tabs = qobject_cast<QTabWidget*>(c)) return tabs;
  return c == nullptr ? nullptr : c->findChild<QTabWidget*>();
}

// The rows the notes list shows: the topic column and whether the first column has an icon.
std::vector<Row> Rows(QWidget* window) {
  std::vector<Row> rows;
  QTreeWidget* list = ListOf(window, m::kList);
  if (list == nullptr) return rows;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    rows.push_back({item->text(2).trimmed().toStdString(), !item->icon(0).isNull()});
  }
  return rows;
}

std::vector<std::string> Topics(const std::vector<Row>& rows) {
  std::vector<std::string> t;
  for (const Row& r : rows) t.push_back(r.topic);
  return t;
}

class MainTest : public testing::ProcedureTest {
 protected:
  void InProgram(const std::function<void()>& body) {
    ProgramRun run;
    run.main = body;
    EXPECT_EQ(RunProgram(std::move(run)), 0);
  }
  static void Store(framework::RelationManager& table, const std::vector<Note>& notes) {
    ASSERT_EQ(table.Open(), Level::Proceed);
    for (const Note& note : notes) {
      EncodeNote(note, table.ME->Buffer());
      EXPECT_EQ(table.ME->Insert(), Level::Proceed);
    }
    (void)table.Close();
  }
  static Note NoteOf(std::string topic, int32_t reminder, char done, int32_t note_date = 80000) {
    Note n;
    n.topic = std::move(topic);
    n.note_date = note_date;
    n.reminder_date = reminder;
    n.done = done;
    return n;
  }
  // Chooses tab `index` (0 to 3) and, once the list has followed, records what it shows.
  void ShowTab(int index, std::vector<Row>* rows) {
    user_.Add(kWindow, [index](QWidget* w) { SheetOf(w)->setCurrentIndex(index); });
    user_.Add(kWindow, [rows](QWidget* w) { *rows = Rows(w); });
  }
  void CloseMain() {
    user_.Add(kWindow, [](QWidget* w) {
      // Another window may share the notes window's name: the one with the Close button is it.
      QWidget* close = User::Control(w, m::kClose);
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (close == nullptr && top->isVisible()) close = User::Control(top, m::kClose);
      }
      ASSERT_NE(close, nullptr);
      qobject_cast<QAbstractButton*>(close)->click();
    });
  }
};

TEST_F(MainTest, TabsShowTheirNotesInOrderWithTheReminderIcon) {
  const int32_t today = runtime::TODAY();
  std::array<std::vector<Row>, 4> tabs;
  int opening_tab = -1;
  InProgram([&] {
    Store(TheProgram().snotes_relations,
          {NoteOf("Plain", 0, 'N'), NoteOf("Due3", today + 3, 'N'), NoteOf("Due4", today + 4, 'N'),
           NoteOf("Past", today - 2, 'N'), NoteOf("DoneOld", today - 5, 'Y', 80001),
           NoteOf("DoneNoDate", 0, 'Y', 80002), NoteOf("DoneNoDate2", 0, 'Y', 80005)});
    user_.Add(kWindow, [&](QWidget* w) {
      opening_tab = SheetOf(w)->currentIndex();
      User::Shot(w, "main-window");
    });
    for (int i = 0; i < 4; ++i) ShowTab(i, &tabs[static_cast<size_t>(i)]);
    CloseMain();
    user_.Start();
    Main();
  });
  EXPECT_TRUE(user_.Done());
  EXPECT_EQ(opening_tab, 1) << "the first load left a note without a later reminder";
  EXPECT_THAT(Topics(tabs[0]), ElementsAre("Plain"));
  EXPECT_THAT(Topics(tabs[1]), ::testing::UnorderedElementsAre("Due3", "Past"));
  // By the done flag, then the reminder date, then the newest note first.
  EXPECT_THAT(Topics(tabs[2]), ElementsAre("DoneNoDate2", "DoneNoDate", "DoneOld"));
  // By the archive flag, the reminder date, the topic.
  EXPECT_THAT(Topics(tabs[3]),
              ElementsAre("DoneNoDate", "DoneNoDate2", "Plain", "DoneOld", "Past", "Due3", "Due4"));
  const std::set<std::string> with_icon{"Due3", "Past", "DoneOld"};
  for (const auto& tab : tabs) {
    for (const Row& row : tab) {
      EXPECT_EQ(row.icon, with_icon.contains(row.topic)) << row.topic;
    }
  }
  // The tabs' table says the same of every note.
  EXPECT_EQ(NoteTabs()[1].title, "Current Reminders");
}

TEST_F(MainTest, EmptyTableOpensOnRemindersAndPrintFindBysWantsAQuery) {
  int opening_tab = -1;
  InProgram([&] {
    user_.Add(kWindow, [&](QWidget* w) { opening_tab = SheetOf(w)->currentIndex(); });
    user_.Add(kWindow, [](QWidget* w) { SheetOf(w)->setCurrentIndex(3); });
    user_.Add(kWindow, [](QWidget* w) {
      auto* button = qobject_cast<QAbstractButton*>(User::Control(w, m::kPrintFindBys));
      button->setFocus();
      button->click();
    });
    CloseMain();
    user_.Start();
    Main();
  });
  EXPECT_TRUE(user_.Done());
  EXPECT_EQ(opening_tab, 1);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "No query string to print, Please run query First.");
  // The message has no title of its own (the desktop then shows the program's name).
}

TEST_F(MainTest, ArchiveBrowseListsTheArchivedNotes) {
  std::vector<std::string> archive_topics;
  std::string archive_title;
  InProgram([&] {
    Note archived = NoteOf("Old thing", 0, 'N');
    archived.archive = 'Y';
    Note second = NoteOf("Older thing", 0, 'N');
    second.archive = 'Y';
    Store(TheProgram().arcnotes_relations, {second, archived});
    user_.Add(kWindow, [&](QWidget* w) {
      archive_title = w->windowTitle().toStdString();
      QTreeWidget* list = ListOf(w, archive_window::kList);
      for (int i = 0; list != nullptr && i < list->topLevelItemCount(); ++i) {
        archive_topics.push_back(list->topLevelItem(i)->text(2).trimmed().toStdString());
      }
      User::Shot(w, "archive-window");
      qobject_cast<QAbstractButton*>(User::Control(w, archive_window::kClose))->click();
    });
    user_.Start();
    BrowseARC();
  });
  EXPECT_TRUE(user_.Done());
  EXPECT_EQ(archive_title, "Pellucor  ARCHIVE FILE");
  // By the archive flag, the reminder date, then the topic.
  EXPECT_THAT(archive_topics, ElementsAre("Old thing", "Older thing"));
}

TEST_F(MainTest, ViewArchiveOpensTheArchiveOnItsOwnThreadBesideTheNotesWindow) {
  std::vector<std::string> archive_topics;
  bool main_still_open = false;
  InProgram([&] {
    Note archived = NoteOf("Old thing", 0, 'N');
    archived.archive = 'Y';
    Store(TheProgram().arcnotes_relations, {archived});
    user_.Add(kWindow, [](QWidget* w) {
      qobject_cast<QAbstractButton*>(User::Control(w, m::kViewArchive))->click();
    });
    // Both windows share their name: the archive is found by its title once it is up.
    std::function<void(QWidget*)> look = [&](QWidget* w) {
      QWidget* archive = nullptr;
      for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || top->objectName() != kWindow) continue;
        if (top->windowTitle() == "Pellucor  ARCHIVE FILE") {
          archive = top;
        } else {
          main_still_open = true;
        }
      }
      QTreeWidget* list = archive == nullptr ? nullptr : ListOf(archive, archive_window::kList);
      if (list == nullptr || list->topLevelItemCount() == 0) {
        main_still_open = false;
        user_.Add(kWindow, look);
        return;
      }
      for (int i = 0; i < list->topLevelItemCount(); ++i) {
        archive_topics.push_back(list->topLevelItem(i)->text(2).trimmed().toStdString());
      }
      qobject_cast<QAbstractButton*>(User::Control(archive, archive_window::kClose))->click();
      (void)w;
      CloseMain();
    };
    user_.Add(kWindow, look);
    user_.Start();
    Main();
  });
  EXPECT_TRUE(user_.Done());
  EXPECT_THAT(archive_topics, ElementsAre("Old thing"));
  EXPECT_TRUE(main_still_open);
}

TEST_F(MainTest, AboutMessageTellsNameDateAndBuild) {
  InProgram([] {
    EXPECT_EQ(VersionMessage(), "App: pelkit  |Date: " +
                                    runtime::FORMAT(runtime::FormatValue::Integer(73466), "@d17") +
                                    "|Build: 372");
  });
  EXPECT_EQ(SupportMailUrl(), "mailto:" + std::string(kSupportMailbox) + "?subject=KNB4");
}

}  // namespace
}  // namespace pellucor::app
