// The browse and its forms: a small note form (derived from WindowManager) that the browse runs
// for insert, change and delete, with the toolbar's navigation buttons walking the browse.
#include <QMenu>
#include <cstdio>

#include "framework/browse/toolbar_manager.h"
#include "framework/ini/ini_manager.h"
#include "framework/query/query_manager.h"
#include "tests/framework/browse/browse_test_util.h"

namespace pellucor::framework::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;

constexpr int32_t kOk = 2;
constexpr int32_t kCancel = 3;

std::string TopicFor(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "T%04d", i);
  return buf;
}

runtime::WindowDescription FormDescription() {
  using runtime::ControlKind;
  using ui::testing::Add;
  runtime::WindowDescription d;
  d.name = "FORM";
  d.title = "Note";
  Add(d, kOk, ControlKind::kButton, "OK", {4, 40, 40, 14});
  Add(d, kCancel, ControlKind::kButton, "Cancel", {50, 40, 40, 14});
  AddToolbar(d);
  return d;
}

// A note form: what the user does is a script run once the window is open; the record buffer is
// the form's (no entry: the script writes the topic into the buffer).
class NoteForm : public WindowManager {
 public:
  NoteForm(RelationManager& notes, ErrorManager& errors, uint8_t request, int32_t* vcr,
           std::function<void(NoteForm&)> script)
      : script_(std::move(script)), notes_(notes), window_(FormDescription()) {
    ERRORS = &errors;
    REQUEST = request;
    VCRREQUEST = vcr;
  }

  Level Init() override {
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    if (const Level level = notes_.Open(); level != Level::Proceed) return level;
    window_.Open();
    PRIMARY = &notes_;
    OKCONTROL = kOk;
    AddButton(kCancel, response::kCancelled);
    toolbar_.Init(*this);
    toolbar_.AddFormTarget(REQUEST, false);
    toolbar_.SetTarget(0);
    TOOLBAR = &toolbar_;
    return PrepareRequest();
  }
  Level Kill() override {
    const Level level = WindowManager::Kill();
    if (window_.IsOpen()) window_.Close();
    (void)notes_.Close();
    return level;
  }
  void FillNewRecord() override {
    uint8_t* r = notes_.ME->Buffer();
    r[nr::kDoneOffset] = 'N';
  }
  Level HandleEvent() override {
    const Level level = WindowManager::HandleEvent();
    if (runtime::EVENT() == Event::kOpenWindow && script_) {
      auto script = std::move(script_);
      script_ = nullptr;
      script(*this);
    }
    return level;
  }

  uint8_t* Buffer() { return notes_.ME->Buffer(); }
  void SetTopic(const std::string& topic) {
    std::memset(Buffer() + nr::kTopicOffset, ' ', nr::kTopicSize);
    std::memcpy(Buffer() + nr::kTopicOffset, topic.data(), topic.size());
  }

 private:
  std::function<void(NoteForm&)> script_;
  RelationManager& notes_;
  runtime::Window window_;
  ToolbarManager toolbar_;
};

class BrowseFormTest : public BrowseTest {
 protected:
  // The browse runs its forms through this: each run takes the next script.
  void UseForms() {
    window_->procedures = [this](uint16_t number, uint8_t request) -> uint8_t {
      EXPECT_EQ(number, 1);
      requests_.push_back(request);
      std::function<void(NoteForm&)> script;
      if (!scripts_.empty()) {
        script = std::move(scripts_.front());
        scripts_.pop_front();
      }
      NoteForm form(relations_, errors_, request, &vcr_, [&, script](NoteForm& f) {
        opened_on_.push_back(TopicOf(f.Buffer()));
        if (script) script(f);
      });
      return form.Run();
    };
  }
  // The form saves `topic` as its note, by OK or by a toolbar button.
  static std::function<void(NoteForm&)> Save(const std::string& topic, int32_t button = kOk) {
    return [topic, button](NoteForm& f) {
      f.SetTopic(topic);
      runtime::PostEvent(Event::kAccepted, button);
    };
  }
  static std::function<void(NoteForm&)> Cancel() {
    return [](NoteForm&) { runtime::PostEvent(Event::kAccepted, kCancel); };
  }
  void Press(int32_t control) {
    runtime::PostEvent(Event::kAccepted, control);
    Pump();
  }
  // The page is full, in topic order, and agrees with the list control and the record buffer.
  void ExpectSoundPage() {
    const std::vector<std::string> topics = window_->queue.Topics();
    EXPECT_EQ(static_cast<int>(topics.size()), VisibleRows());
    EXPECT_TRUE(std::is_sorted(topics.begin(), topics.end()));
    EXPECT_THAT(ShownTopics(), ElementsAreArray(topics));
    EXPECT_EQ(TopicOf(notes_.Buffer()), HighlightedTopic());
  }

  std::deque<std::function<void(NoteForm&)>> scripts_;
  std::vector<uint8_t> requests_;
  std::vector<std::string> opened_on_;
};

std::vector<Note> EvenNotes(int n) {
  std::vector<Note> notes;
  for (int i = 0; i < n; ++i) notes.push_back({TopicFor(2 * i), 80000 + i, 0, 'N'});
  return notes;
}

TEST_F(BrowseFormTest, AnInsertedNoteIsHighlightedOnAFullPage) {
  AddNotes(EvenNotes(300));
  OpenBrowse();
  UseForms();
  const int items = VisibleRows();
  for (int i = 0; i < 3; ++i) Post(Event::kPageDown);
  Post(Event::kScrollDown);
  Post(Event::kScrollDown);
  ASSERT_EQ(window_->browse.CURRENTCHOICE, 3);

  // A note that sorts into the page shown: the highlight keeps its screen row.
  const std::string added = TopicFor(2 * (3 * items) + 7);
  scripts_.push_back(Save(added));
  Press(ctl::kInsert);
  EXPECT_THAT(requests_, ElementsAre(request::kInsert));
  EXPECT_EQ(HighlightedTopic(), added);
  EXPECT_EQ(window_->browse.CURRENTCHOICE, 3);
  ExpectSoundPage();

  // One near the top of the order: the page fills from the first note on.
  scripts_.push_back(Save(TopicFor(1)));
  Press(ctl::kInsert);
  EXPECT_EQ(HighlightedTopic(), TopicFor(1));
  EXPECT_EQ(window_->queue.Topics().front(), TopicFor(0));
  ExpectSoundPage();

  // The Insert key on the list does the same; a cancelled form leaves the page as it was.
  const std::vector<std::string> before = window_->queue.Topics();
  scripts_.push_back(Cancel());
  runtime::EngineInput::Post(window_->window().id(),
                             {Event::kAlertKey, ctl::kList, browse_key::kInsert});
  Pump();
  EXPECT_THAT(requests_, ElementsAre(request::kInsert, request::kInsert, request::kInsert));
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(before));
  EXPECT_EQ(StoredTopics().size(), 302u);
}

// The first note of an empty table comes from the Insert key too; the keys that need a note do
// nothing without one.
TEST_F(BrowseFormTest, OnAnEmptyListOnlyInsertIsOffered) {
  AddNotes({});
  OpenBrowse();
  UseForms();
  auto key = [&](int32_t code) {
    runtime::EngineInput::Post(window_->window().id(), {Event::kAlertKey, ctl::kList, code});
    Pump();
  };
  key(browse_key::kDelete);
  key(browse_key::kCtrlEnter);
  EXPECT_TRUE(requests_.empty());
  scripts_.push_back(Save("first note"));
  key(browse_key::kInsert);
  EXPECT_THAT(requests_, ElementsAre(request::kInsert));
  EXPECT_THAT(window_->queue.Topics(), ElementsAre("first note"));
  EXPECT_EQ(HighlightedTopic(), "first note");
  scripts_.push_back(Cancel());
  key(browse_key::kCtrlEnter);
  EXPECT_THAT(requests_, ElementsAre(request::kInsert, request::kChange));
}

TEST_F(BrowseFormTest, DeletingMovesTheHighlightToTheNextNoteOnTheSameRow) {
  AddNotes(EvenNotes(100));
  OpenBrowse();
  UseForms();
  Post(Event::kPageDown);
  Post(Event::kScrollDown);
  Post(Event::kScrollDown);
  const std::string doomed = HighlightedTopic();
  const std::string next = TopicFor(std::stoi(doomed.substr(1)) + 2);
  answers_.push_back(runtime::button::kYes);  // "Confirm Delete"
  Press(ctl::kDelete);
  EXPECT_THAT(boxes_, ElementsAre("Confirm Delete"));
  EXPECT_THAT(opened_on_, ::testing::IsEmpty());  // deleted at once, the form never shown
  EXPECT_EQ(HighlightedTopic(), next);
  EXPECT_EQ(window_->browse.CURRENTCHOICE, 3);
  ExpectSoundPage();
  const std::vector<std::string> stored = StoredTopics();
  EXPECT_EQ(std::count(stored.begin(), stored.end(), doomed), 0);
  EXPECT_EQ(stored.size(), 99u);
}

// The "Done Items" order: by the Donyet key, then note date newest first, which the view sorts
// itself. A change must reach the note highlighted, not the last one the view read.
TEST_F(BrowseFormTest, AChangeInASortedOrderWritesTheHighlightedNote) {
  std::vector<Note> notes;
  for (int i = 0; i < 40; ++i) notes.push_back({TopicFor(i), 80000 + i, 0, 'Y'});
  notes.push_back({"open note", 80100, 0, 'N'});
  AddNotes(notes);
  OpenBrowse(ListPlace::kPlain, [this](BrowseManager& b) {
    b.AddSortOrder(notes_decl_->FindKey("SNO:DONYET"), "-sno:notedate");
    b.SetFilter("(sno:done='Y')");
  });
  UseForms();
  for (int i = 0; i < 4; ++i) Post(Event::kScrollDown);
  ASSERT_EQ(HighlightedTopic(), TopicFor(35));  // newest first
  scripts_.push_back(Save("changed"));
  Press(ctl::kChange);
  EXPECT_THAT(opened_on_, ElementsAre(TopicFor(35)));
  EXPECT_EQ(HighlightedTopic(), "changed");
  EXPECT_EQ(window_->browse.CURRENTCHOICE, 5);
  const std::vector<std::string> stored = StoredTopics();
  EXPECT_EQ(std::count(stored.begin(), stored.end(), "changed"), 1);
  EXPECT_EQ(std::count(stored.begin(), stored.end(), TopicFor(35)), 0);
  EXPECT_EQ(stored.size(), 41u);
}

TEST_F(BrowseFormTest, TheFormsNavigationButtonsSaveAndWalkTheBrowse) {
  AddNotes(EvenNotes(100));
  OpenBrowse();
  UseForms();
  Post(Event::kScrollDown);  // T0002
  // Save and go to the next note, twice; then save and go back; then cancel there.
  scripts_.push_back(Save("T0002 a", toolbar_button::kDown));
  scripts_.push_back(Save("T0004 b", toolbar_button::kDown));
  scripts_.push_back(Save("T0006 c", toolbar_button::kUp));
  scripts_.push_back(Cancel());
  Press(ctl::kChange);
  EXPECT_THAT(opened_on_, ElementsAre("T0002", "T0004", "T0006", "T0004 b"));
  EXPECT_THAT(requests_,
              ElementsAre(request::kChange, request::kChange, request::kChange, request::kChange));
  EXPECT_EQ(vcr_, 0);
  EXPECT_EQ(HighlightedTopic(), "T0004 b");
  const std::vector<std::string> stored = StoredTopics();
  EXPECT_THAT(std::vector<std::string>(stored.begin(), stored.begin() + 5),
              ElementsAre("T0000", "T0002 a", "T0004 b", "T0006 c", "T0008"));
  ExpectSoundPage();

  // On an insert form both enabled buttons save the note and add another.
  opened_on_.clear();
  scripts_.push_back(Save("T0003", toolbar_button::kInsert));
  scripts_.push_back(Save("T0005", toolbar_button::kDown));
  scripts_.push_back(Save("T0007"));
  Press(ctl::kInsert);
  EXPECT_THAT(opened_on_, ElementsAre("", "", ""));
  EXPECT_EQ(HighlightedTopic(), "T0007");
  EXPECT_EQ(StoredTopics().size(), 103u);
}

TEST_F(BrowseFormTest, TheRightButtonOffersTheBrowsesButtons) {
  AddNotes(EvenNotes(30));
  OpenBrowse();
  UseForms();
  QStringList offered;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* menu = qobject_cast<QMenu*>(dialog);
    if (menu == nullptr) return;
    for (QAction* a : menu->actions()) {
      if (!a->isSeparator()) offered << a->text();
    }
    for (QAction* a : menu->actions()) {
      if (a->text() == "&Change") a->trigger();
    }
  });
  Post(Event::kScrollDown);
  scripts_.push_back(Cancel());
  runtime::EngineInput::Post(window_->window().id(),
                             {Event::kAlertKey, ctl::kList, runtime::key::kMouseRight});
  Pump();
  // Print, Query and Select have no button in this window.
  EXPECT_EQ(offered, QStringList({"&Insert", "&Change", "&Delete"}));
  EXPECT_THAT(requests_, ElementsAre(request::kChange));
  EXPECT_THAT(opened_on_, ElementsAre(TopicFor(2)));
}

// The browse's popup carries the query's saved queries: choosing one shows what it finds, and
// Clear shows everything again.
TEST_F(BrowseFormTest, ASavedQueryChosenFromThePopupFiltersTheList) {
  std::vector<Note> notes;
  for (int i = 0; i < 60; ++i) notes.push_back({TopicFor(i), 80000 + i, 0, 'N'});
  AddNotes(notes);
  OpenBrowse();
  IniManager ini;
  ini.Init("KNB4.INI");
  QueryManager query;
  ASSERT_EQ(query.Init("Main", errors_, &ini), Level::Proceed);
  query.AddField("UPPER(sno:TOPIC)", "Topic", "@s20");
  query.SetValue("UPPER(sno:TOPIC)", QueryPart::kMiddle, "T001*");
  ASSERT_EQ(query.SaveQuery("Tens"), Level::Proceed);
  query.ClearQuery();
  window_->browse.QUERY = &query;

  std::string pick;
  QStringList offered;
  engine_.SetResponder([&](QWidget* dialog) {
    auto* menu = qobject_cast<QMenu*>(dialog);
    if (menu == nullptr) return;
    offered.clear();
    for (QAction* a : menu->actions()) {
      if (QMenu* sub = a->menu()) {
        for (QAction* s : sub->actions()) {
          if (s->isSeparator()) continue;
          offered << s->text();
          if (s->text().toStdString() == pick) s->trigger();
        }
      }
    }
  });
  auto right_click = [&](const std::string& item) {
    pick = item;
    runtime::EngineInput::Post(window_->window().id(),
                               {Event::kAlertKey, ctl::kList, runtime::key::kMouseRight});
    Pump();
  };
  right_click("Tens");
  EXPECT_EQ(offered, QStringList({"Tens", "C&lear"}));
  std::vector<std::string> tens;
  for (int i = 10; i < 20; ++i) tens.push_back(TopicFor(i));
  EXPECT_THAT(window_->queue.Topics(), ElementsAreArray(tens));
  EXPECT_EQ(window_->browse.VIEW->Filter(),
            "SNO:REMINDER = 'N' AND SNO:REMINDERDATE = 0 AND "
            "(SUB(UPPER(sno:TOPIC),1,4) = 'T001')");

  right_click("C&lear");
  EXPECT_EQ(window_->queue.Topics().front(), TopicFor(0));
  EXPECT_EQ(window_->browse.Rows(), VisibleRows());
  query.Kill();
  ini.Kill();
}

}  // namespace
}  // namespace pellucor::framework::testing
