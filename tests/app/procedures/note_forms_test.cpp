// The note forms on real windows over real note tables: today's date, the archive move, the
// cancelled ticked form, the calendar button, and the archive form's refusals.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/note.h"
#include "app/note_store.h"
#include "app/procedures/note_forms.h"
#include "app/procedures/program.h"
#include "app/windows/calendar_window.h"
#include "app/windows/note_forms.h"
#include "data/driver/driver.h"
#include "framework/window/window_manager.h"
#include "procedure_test_util.h"
#include "runtime/locale/picture.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {
namespace {

using framework::Level;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using testing::User;
namespace f = note_form;

constexpr const char* kForm = "P1$QUICKWINDOW";

Note NoteOf(std::string topic, int32_t note_date, int32_t reminder_date = 0) {
  Note n;
  n.topic = std::move(topic);
  n.note_date = note_date;
  n.reminder_date = reminder_date;
  return n;
}

class NoteFormTest : public testing::ProcedureTest {
 protected:
  // Runs `body` as the program's Main.
  void InProgram(const std::function<void()>& body) {
    ProgramRun run;
    run.main = body;
    EXPECT_EQ(RunProgram(std::move(run)), 0);
  }

  // Every note of a table, read through its file manager.
  static std::vector<Note> All(framework::RelationManager& table) {
    std::vector<Note> notes;
    (void)table.Open();
    data::OpArgs set;
    (void)data::Dispatch(*table.ME->FILE, data::Op::kSETfile, set);
    while (table.ME->Next() == Level::Proceed) notes.push_back(DecodeNote(table.ME->Buffer()));
    (void)table.Close();
    return notes;
  }
  static void Store(framework::RelationManager& table, const Note& note) {
    (void)table.Open();
    EncodeNote(note, table.ME->Buffer());
    EXPECT_EQ(table.ME->Insert(), Level::Proceed);
    (void)table.Close();
  }
  // Makes `topic` the current note of the table with its record in the buffer, as the browse
  // leaves it before it calls a form; the table stays open for the form.
  static void MakeCurrent(framework::RelationManager& table, const std::string& topic) {
    (void)table.Open();
    data::OpArgs set;
    (void)data::Dispatch(*table.ME->FILE, data::Op::kSETfile, set);
    while (table.ME->Next() == Level::Proceed) {
      if (DecodeNote(table.ME->Buffer()).topic == topic) return;
    }
    ADD_FAILURE() << "no note " << topic;
  }

  void Type(int32_t control, const QString& text) {
    user_.Add(kForm, [control, text](QWidget* w) {
      auto* entry = qobject_cast<QLineEdit*>(User::Control(w, control));
      entry->setFocus();
      entry->selectAll();
      QTest::keyClicks(entry, text);
    });
  }
  void Click(int32_t control) {
    user_.Add(kForm, [control](QWidget* w) {
      QTest::mouseClick(User::Control(w, control), Qt::LeftButton);
    });
  }
  void Tick(int32_t control) {
    user_.Add(kForm, [control](QWidget* w) {
      auto* box = qobject_cast<QCheckBox*>(User::Control(w, control));
      QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    });
  }
};

TEST_F(NoteFormTest, ANewNoteGetsTodaysDateAsTheFormOpens) {
  QString shown_date;
  QString title;
  InProgram([&] {
    Program& p = TheProgram();
    user_.Add(kForm, [&](QWidget* w) {
      User::Shot(w, "note-form");
      title = w->windowTitle();
      shown_date = qobject_cast<QLabel*>(User::Control(w, f::kNoteDate))->text();
    });
    Type(f::kTopic, "Call the plumber");
    Click(f::kOk);
    user_.Start();
    p.request = framework::request::kInsert;
    EXPECT_EQ(UpdateSNotes(), framework::response::kCompleted);
    EXPECT_EQ(p.response, framework::response::kCompleted);
    const std::vector<Note> notes = All(p.snotes_relations);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].topic, "Call the plumber");
    EXPECT_EQ(notes[0].note_date, runtime::TODAY());
  });
  EXPECT_EQ(title, "Adding a Notes Record");
  EXPECT_EQ(shown_date.trimmed().toStdString(),
            runtime::FORMAT(runtime::FormatValue::Integer(runtime::TODAY()), "@d17"));
  EXPECT_THAT(Titles(), IsEmpty());
}

// The form keeps the size it was closed at (in the settings file); opened again at that size, its
// controls stand where they stood the first time (a status bar made only when the first message
// showed once pushed them down and cut off OK and Cancel).
TEST_F(NoteFormTest, AFormReopenedAtItsSavedSizeKeepsItsLayout) {
  std::vector<QRect> first, second;
  auto record = [](std::vector<QRect>* into) {
    return [into](QWidget* w) {
      for (int32_t c : {f::kTopic, f::kMemo, f::kOk, f::kCancel}) {
        into->push_back(User::Control(w, c)->geometry());
      }
      into->push_back(QRect(QPoint(), w->size()));
    };
  };
  InProgram([&] {
    Program& p = TheProgram();
    Store(p.snotes_relations, NoteOf("Milk", runtime::DayNumber(2026, 3, 1)));
    for (std::vector<QRect>* into : {&first, &second}) {
      MakeCurrent(p.snotes_relations, "Milk");
      user_.Add(kForm, record(into));
      Click(f::kCancel);
      user_.Start();
      p.request = framework::request::kChange;
      EXPECT_EQ(UpdateSNotes(), framework::response::kCancelled);
      (void)p.snotes_relations.Close();
    }
  });
  ASSERT_EQ(first.size(), 5u);
  ASSERT_EQ(second.size(), 5u);
  // The size goes through the settings file in dialog units: a pixel or two may round away.
  for (size_t i = 0; i < first.size(); ++i) {
    EXPECT_NEAR(first[i].top(), second[i].top(), 2) << i;
    EXPECT_NEAR(first[i].bottom(), second[i].bottom(), 2) << i;
    EXPECT_NEAR(first[i].left(), second[i].left(), 2) << i;
    EXPECT_NEAR(first[i].right(), second[i].right(), 2) << i;
  }
}

// A changed note with "Archive" ticked: one copy in the archive, none left among the notes.
TEST_F(NoteFormTest, TickingArchiveOnAChangedNoteMovesIt) {
  InProgram([&] {
    Program& p = TheProgram();
    Store(p.snotes_relations, NoteOf("Milk", runtime::DayNumber(2026, 3, 1)));
    Store(p.snotes_relations, NoteOf("Bread", runtime::DayNumber(2026, 3, 2)));
    MakeCurrent(p.snotes_relations, "Milk");
    Type(f::kTopic, "Oat milk");
    Tick(f::kArchive);
    Click(f::kOk);
    user_.Start();
    p.request = framework::request::kChange;
    EXPECT_EQ(UpdateSNotes(), framework::response::kCompleted);
    (void)p.snotes_relations.Close();
    const std::vector<Note> archived = All(p.arcnotes_relations);
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(archived[0].topic, "Oat milk");
    EXPECT_EQ(archived[0].archive, 'Y');
    const std::vector<Note> notes = All(p.snotes_relations);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].topic, "Bread");
  });
}

TEST_F(NoteFormTest, TickingArchiveOnANewNoteStoresItInTheArchiveOnly) {
  InProgram([&] {
    Program& p = TheProgram();
    Type(f::kTopic, "Old receipts");
    Tick(f::kArchive);
    Click(f::kOk);
    user_.Start();
    p.request = framework::request::kInsert;
    EXPECT_EQ(UpdateSNotes(), framework::response::kCompleted);
    EXPECT_THAT(All(p.snotes_relations), IsEmpty());
    const std::vector<Note> archived = All(p.arcnotes_relations);
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(archived[0].topic, "Old receipts");
  });
}

// Ticking "Archive" and then cancelling (without saving) loses nothing and copies nothing.
TEST_F(NoteFormTest, ACancelledFormWithArchiveTickedKeepsTheNote) {
  InProgram([&] {
    Program& p = TheProgram();
    Store(p.snotes_relations, NoteOf("Milk", runtime::DayNumber(2026, 3, 1)));
    MakeCurrent(p.snotes_relations, "Milk");
    Tick(f::kArchive);
    Click(f::kCancel);
    answers_ = {runtime::button::kNo};  // "Save Record": no
    user_.Start();
    p.request = framework::request::kChange;
    EXPECT_EQ(UpdateSNotes(), framework::response::kCancelled);
    (void)p.snotes_relations.Close();
    EXPECT_THAT(All(p.arcnotes_relations), IsEmpty());
    const std::vector<Note> notes = All(p.snotes_relations);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].topic, "Milk");
    EXPECT_EQ(notes[0].archive, 'N');
  });
  EXPECT_THAT(Titles(), ElementsAre("Save Record"));
}

// The calendar button replaces the reminder date with the day picked, shown at once.
TEST_F(NoteFormTest, TheCalendarsDayReplacesTheReminderDate) {
  QString shown;
  InProgram([&] {
    Program& p = TheProgram();
    Store(p.snotes_relations,
          NoteOf("Dentist", runtime::DayNumber(2026, 3, 1), runtime::DayNumber(2026, 4, 9)));
    MakeCurrent(p.snotes_relations, "Dentist");
    Click(f::kCalendar);
    user_.Add("P1$WINDOW", [](QWidget* w) {
      // April 2026 starts on a Wednesday: the 20th stands in the cell 22 places on.
      QTest::mouseClick(User::Control(w, calendar_window::kFirstCell + 3 + 19), Qt::LeftButton);
    });
    user_.Add(kForm, [&](QWidget* w) {
      shown = qobject_cast<QLineEdit*>(User::Control(w, f::kReminderDate))->text();
      QTest::mouseClick(User::Control(w, f::kOk), Qt::LeftButton);
    });
    user_.Start();
    p.request = framework::request::kChange;
    EXPECT_EQ(UpdateSNotes(), framework::response::kCompleted);
    (void)p.snotes_relations.Close();
    const std::vector<Note> notes = All(p.snotes_relations);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes[0].reminder_date, runtime::DayNumber(2026, 4, 20));
  });
  EXPECT_EQ(
      shown.trimmed().toStdString(),
      runtime::FORMAT(runtime::FormatValue::Integer(runtime::DayNumber(2026, 4, 20)), "@d17"));
}

// The archive form never shows its window for an insert: message 20 says why.
TEST_F(NoteFormTest, TheArchiveFormRefusesToInsert) {
  bool shown = false;
  InProgram([&] {
    Program& p = TheProgram();
    user_.Add(kForm, [&](QWidget*) { shown = true; });
    user_.Start();
    p.request = framework::request::kInsert;
    EXPECT_EQ(UpdateSNotes1(), framework::response::kCancelled);
  });
  EXPECT_FALSE(shown);
  ASSERT_EQ(boxes_.size(), 1u);
  EXPECT_EQ(boxes_[0].text, "This form cannot be used to insert a record");
}

// Deleting an archived note asks first; clearing an archived note's date and pressing "OK" sets
// it to today.
TEST_F(NoteFormTest, TheArchiveFormAsksBeforeDeletingAndDatesItsNotes) {
  InProgram([&] {
    Program& p = TheProgram();
    Store(p.arcnotes_relations, NoteOf("Old", runtime::DayNumber(2020, 1, 1)));
    Store(p.arcnotes_relations, NoteOf("Older", runtime::DayNumber(2020, 1, 2)));
    MakeCurrent(p.arcnotes_relations, "Old");
    answers_ = {runtime::button::kYes};
    p.request = framework::request::kDelete;
    EXPECT_EQ(UpdateSNotes1(), framework::response::kCompleted);
    (void)p.arcnotes_relations.Close();

    MakeCurrent(p.arcnotes_relations, "Older");
    user_.Add(kForm, [](QWidget* w) {
      auto* date = qobject_cast<QLineEdit*>(User::Control(w, archive_form::kNoteDate));
      date->setFocus();
      date->clear();
      QTest::mouseClick(User::Control(w, archive_form::kOk), Qt::LeftButton);
    });
    user_.Start();
    p.request = framework::request::kChange;
    EXPECT_EQ(UpdateSNotes1(), framework::response::kCompleted);
    (void)p.arcnotes_relations.Close();
    const std::vector<Note> archived = All(p.arcnotes_relations);
    ASSERT_EQ(archived.size(), 1u);
    EXPECT_EQ(archived[0].topic, "Older");
    EXPECT_EQ(archived[0].note_date, runtime::TODAY());
  });
  EXPECT_THAT(Titles(), ElementsAre("Confirm Delete"));
}

}  // namespace
}  // namespace pellucor::app
