// The record-form protocol on a real form over the notes table: real windows offscreen, real
// message boxes answered by the engine's responder, a second program for another station.
#include <QLineEdit>
#include <QPushButton>
#include <functional>
#include <utility>

#include "framework/window/window_manager.h"
#include "runtime/event/key_codes.h"
#include "tests/framework/file/file_test_util.h"

namespace pellucor::framework::testing {
namespace {

using runtime::Event;
using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr int32_t kTopic = 1;
constexpr int32_t kOk = 2;
constexpr int32_t kCancel = 3;
constexpr int32_t kDittoKey = runtime::key::kF1 + 2;  // F3

// A note form as the program's procedures derive it: the topic, OK and Cancel.
class NoteForm : public WindowManager {
 public:
  NoteForm(RelationManager& notes, ErrorManager& errors, uint8_t request, ui::QtEngine& engine)
      : notes_(notes), engine_(engine), window_(Description()) {
    ERRORS = &errors;
    REQUEST = request;
  }

  // What the user does after the form has handled an event of that kind, in order.
  std::vector<std::pair<Event, std::function<void()>>> user;
  bool loop_ran = false;
  uint8_t insert_action = 2;
  uint8_t delete_action = 2;

  QLineEdit* Entry() {
    return qobject_cast<QLineEdit*>(engine_.ControlWidget(window_.id(), kTopic));
  }
  // The user acts on the window once it is in front, as a person can only act on it then.
  void Type(const QString& text) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(engine_.WidgetOf(window_.id())));
    QTest::keyClicks(Entry(), text);
  }
  void Click(int32_t control) {
    ASSERT_TRUE(QTest::qWaitForWindowActive(engine_.WidgetOf(window_.id())));
    QTest::mouseClick(engine_.ControlWidget(window_.id(), control), Qt::LeftButton);
  }

  Level Init() override {
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    INSERTACTION = insert_action;
    DELETEACTION = delete_action;
    (void)notes_.Open();
    window_.description().controls[0].use = runtime::AnyRef{
        notes_.ME->Buffer() + nr::kTopicOffset, nr::kTopicSize, runtime::TypeCode::kString, 0};
    window_.Open();
    PRIMARY = &notes_;
    OKCONTROL = kOk;
    FIRSTFIELD = kTopic;
    HISTORYKEY = kDittoKey;
    AddButton(kCancel, response::kCancelled);
    AddHistory(kTopic, window_.description().controls[0].use);
    RegisterAlertKeys();
    return PrepareRequest();
  }
  Level Kill() override {
    const Level level = WindowManager::Kill();
    if (window_.IsOpen()) window_.Close();
    (void)notes_.Close();
    return level;
  }
  void FillNewRecord() override { SetTopic(*notes_.ME, ""); }
  Level HandleEvent() override {
    loop_ran = true;
    const Event event = runtime::EVENT();
    const Level level = WindowManager::HandleEvent();
    if (!user.empty() && user.front().first == event) {
      auto act = std::move(user.front().second);
      user.erase(user.begin());
      act();
    }
    return level;
  }

 private:
  static runtime::WindowDescription Description() {
    runtime::WindowDescription d;
    d.name = "NOTEFORM";
    d.title = "Note";
    ui::testing::Add(d, kTopic, runtime::ControlKind::kEntry, "", {40, 4, 120, 12}).picture =
        "@s80";
    ui::testing::Add(d, kOk, runtime::ControlKind::kButton, "OK", {40, 24, 40, 14});
    ui::testing::Add(d, kCancel, runtime::ControlKind::kButton, "Cancel", {84, 24, 40, 14});
    return d;
  }

  RelationManager& notes_;
  ui::QtEngine& engine_;
  runtime::Window window_;
};

class FormTest : public FileTest {
 protected:
  FormTest() {
    decl_ = Notes();
    file_.Init(*decl_, errors_);
    file_.CREATE = true;
    file_.OPENMODE = 0x42;  // read and write, deny none: another station may write too
    notes_.Init(file_);
  }
  ~FormTest() override { notes_.Kill(); }

  // Adds notes with these topics; returns their record pointers.
  std::vector<uint32_t> Add(std::initializer_list<const char*> topics) {
    std::vector<uint32_t> pointers;
    (void)notes_.Open();
    for (const char* t : topics) {
      SetTopic(file_, t);
      EXPECT_EQ(file_.Insert(), Level::Proceed);
      pointers.push_back(file_.CurrentPointer());
    }
    (void)notes_.Close();
    return pointers;
  }
  // Makes the note with `topic` current in the buffer, as a browse does before it calls a form.
  void MakeCurrent(const std::string& topic) {
    (void)notes_.Open();
    (void)SetKey(*decl_, 0);
    for (Level l = file_.Next(); l == Level::Proceed; l = file_.Next()) {
      if (Topic(file_) == topic) break;
    }
    ASSERT_EQ(Topic(file_), topic);
    // Read again watched, as a browse does before it calls a change form: the write then finds
    // out whether another station changed the note meanwhile.
    data::OpArgs get;
    get.pointer = file_.CurrentPointer();
    ASSERT_EQ(data::Dispatch(*decl_, data::Op::kWATCH).error, 0);
    ASSERT_EQ(data::Dispatch(*decl_, data::Op::kGETfileptr, get).error, 0);
  }
  void Done() { (void)notes_.Close(); }
  std::vector<std::string> Topics() {
    std::vector<std::string> all;
    (void)notes_.Open();
    (void)SetKey(*decl_, 0);
    for (Level l = file_.Next(); l == Level::Proceed; l = file_.Next()) all.push_back(Topic(file_));
    (void)notes_.Close();
    return all;
  }

  std::unique_ptr<data::FileDecl> decl_;
  NotesFile file_;
  RelationManager notes_;
};

TEST_F(FormTest, AnInsertFormAddsTheNoteAndCompletes) {
  NoteForm form(notes_, errors_, request::kInsert, engine_);
  form.user = {{Event::kOpenWindow, [&] {
                  form.Type("Milk");
                  form.Click(kOk);
                }}};
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_THAT(Topics(), ElementsAre("Milk"));
  EXPECT_THAT(Titles(), IsEmpty());
}

// Insert-another keeps the form open on a fresh record after each save; the ditto key brings the
// last saved topic back. Closing afterwards completes, and the caller's buffer holds the last
// note added.
TEST_F(FormTest, InsertAnotherStaysOnAFreshRecordAndRecallsTheDitto) {
  NoteForm form(notes_, errors_, request::kInsert, engine_);
  form.insert_action = 3;
  QString after_ditto;
  form.user = {{Event::kOpenWindow,
                [&] {
                  form.Type("Milk");
                  form.Click(kOk);
                }},
               {Event::kCompleted,
                [&] {
                  EXPECT_EQ(form.Entry()->text(), "");
                  QTest::keyClick(form.Entry(), Qt::Key_F3);
                }},
               {Event::kAlertKey,
                [&] {
                  after_ditto = form.Entry()->text();
                  form.Entry()->clear();
                  form.Type("Bread");
                  form.Click(kOk);
                }},
               {Event::kCompleted, [&] { form.Click(kCancel); }}};
  EXPECT_EQ(form.Run(), response::kCompleted);
  EXPECT_EQ(after_ditto, "Milk");
  EXPECT_EQ(Topic(file_), "Bread");
  EXPECT_THAT(Topics(), ElementsAre("Bread", "Milk"));
  EXPECT_THAT(Titles(), IsEmpty());  // the fresh record was unchanged: nothing to ask
}

TEST_F(FormTest, RecordAddedAsksWhetherToAddAnother) {
  {
    NoteForm form(notes_, errors_, request::kInsert, engine_);
    form.insert_action = 4;
    answers_ = {runtime::button::kYes, runtime::button::kNo};
    form.user = {{Event::kOpenWindow,
                  [&] {
                    form.Type("Milk");
                    form.Click(kOk);
                  }},
                 {Event::kCompleted, [&] {
                    form.Type("Bread");
                    form.Click(kOk);
                  }}};
    // Yes keeps the form on a fresh record; No after the second note ends it.
    EXPECT_EQ(form.Run(), response::kCompleted);
  }
  EXPECT_THAT(Titles(), ElementsAre("Record Added", "Record Added"));
  EXPECT_THAT(Topics(), ElementsAre("Bread", "Milk"));
}

TEST_F(FormTest, AChangeFormWritesOnlyWhatChanged) {
  Add({"Milk"});
  MakeCurrent("Milk");
  {
    NoteForm form(notes_, errors_, request::kChange, engine_);
    form.user = {{Event::kOpenWindow, [&] {
                    EXPECT_EQ(form.Entry()->text(), "Milk");
                    form.Type(" and eggs");
                    form.Click(kOk);
                  }}};
    EXPECT_EQ(form.Run(), response::kCompleted);
  }
  Done();
  EXPECT_THAT(Topics(), ElementsAre("Milk and eggs"));
  EXPECT_THAT(Titles(), IsEmpty());
}

TEST_F(FormTest, ADeleteRequestAsksConfirmDeleteAndNeverRunsTheForm) {
  Add({"Milk", "Bread"});
  MakeCurrent("Milk");
  {
    NoteForm form(notes_, errors_, request::kDelete, engine_);
    answers_ = {runtime::button::kNo};
    EXPECT_EQ(form.Run(), response::kCancelled);
    EXPECT_FALSE(form.loop_ran);
  }
  Done();
  EXPECT_THAT(Topics(), ElementsAre("Bread", "Milk"));
  MakeCurrent("Milk");
  {
    NoteForm form(notes_, errors_, request::kDelete, engine_);
    answers_ = {runtime::button::kYes};
    EXPECT_EQ(form.Run(), response::kCompleted);
    EXPECT_FALSE(form.loop_ran);
  }
  Done();
  EXPECT_THAT(Titles(), ElementsAre("Confirm Delete", "Confirm Delete"));
  EXPECT_THAT(Topics(), ElementsAre("Bread"));
}

// Closing a changed form asks "Save Record": Cancel keeps it open on the first field, No closes
// without saving, Yes saves through the normal completion. An unchanged form asks nothing.
TEST_F(FormTest, ClosingAChangedFormAsksSaveRecord) {
  Add({"Milk"});
  for (int32_t answer : {runtime::button::kNo, runtime::button::kYes}) {
    MakeCurrent("Milk");
    boxes_.clear();
    answers_ = {runtime::button::kCancel, answer};
    NoteForm form(notes_, errors_, request::kChange, engine_);
    QWidget* focus_after_cancel = nullptr;
    form.user = {{Event::kOpenWindow,
                  [&] {
                    form.Type("!");
                    form.Click(kCancel);
                  }},
                 {Event::kCloseWindow, [&] {
                    // Refused: the window stays, and the user tries again.
                    focus_after_cancel = QApplication::focusWidget();
                    form.Click(kCancel);
                  }}};
    const uint8_t result = form.Run();
    EXPECT_THAT(Titles(), ElementsAre("Save Record", "Save Record"));
    EXPECT_EQ(focus_after_cancel, form.Entry());
    Done();
    if (answer == runtime::button::kNo) {
      EXPECT_EQ(result, response::kCancelled);
      EXPECT_THAT(Topics(), ElementsAre("Milk"));
    } else {
      EXPECT_EQ(result, response::kCompleted);
      EXPECT_THAT(Topics(), ElementsAre("Milk!"));
    }
  }
  MakeCurrent("Milk!");
  boxes_.clear();
  NoteForm unchanged(notes_, errors_, request::kChange, engine_);
  unchanged.user = {{Event::kOpenWindow, [&] { unchanged.Click(kCancel); }}};
  EXPECT_EQ(unchanged.Run(), response::kCancelled);
  Done();
  EXPECT_THAT(Titles(), IsEmpty());
}

// Another station changes the note while the form is open: saving shows message 7, and the
// form stays open showing the other station's version.
TEST_F(FormTest, AChangeThatMeetsAnotherStationsChangeShowsTheirVersion) {
  const std::vector<uint32_t> pointers = Add({"Milk"});
  MakeCurrent("Milk");
  NoteForm form(notes_, errors_, request::kChange, engine_);
  QString shown_after;
  answers_ = {runtime::button::kOk, runtime::button::kNo};
  form.user = {{Event::kOpenWindow,
                [&] {
                  SecondStation other("change", std::to_string(pointers[0]) + ":Oat milk");
                  EXPECT_EQ(other.Read(), "changed");
                  EXPECT_TRUE(other.ExitedCleanly());
                  form.Type(" and eggs");
                  form.Click(kOk);
                }},
               {Event::kCompleted, [&] {
                  shown_after = form.Entry()->text();
                  form.Click(kCancel);
                }}};
  EXPECT_EQ(form.Run(), response::kCancelled);
  Done();
  EXPECT_EQ(shown_after, "Oat milk");
  ASSERT_FALSE(boxes_.empty());
  EXPECT_EQ(boxes_[0].title, "Record Was Not Updated");
  EXPECT_THAT(Topics(), ElementsAre("Oat milk"));
}

}  // namespace
}  // namespace pellucor::framework::testing
