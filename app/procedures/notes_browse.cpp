#include "app/procedures/notes_browse.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "app/note_store.h"
#include "app/note_tabs.h"
#include "app/procedures/note_forms.h"
#include "app/procedures/note_queries.h"
#include "app/procedures/print_note.h"
#include "app/procedures/program.h"
#include "app/windows/main_windows.h"
#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_manager.h"
#include "framework/browse/toolbar_manager.h"
#include "framework/query/query_manager.h"
#include "framework/resize/window_resizer.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"
#include "runtime/locale/picture.h"
#include "runtime/queue/queue.h"
#include "runtime/values/calendar.h"

namespace pellucor::app {

namespace {

namespace nr = note_record;
using framework::Level;
using runtime::Event;
using runtime::TypeCode;

// The stack the archive browse and the About window ask for on their threads.
constexpr uint32_t kProcedureStack = 25000;
// The window-wide strategy of the resizer for both browses.
constexpr uint8_t kResizeStrategy = 2;
// The most of the browse's filter that "Print FindBy's" keeps.
constexpr size_t kQueryTextSize = 2000;
// The numbers RunProcedure takes.
constexpr uint16_t kUpdateProcedure = 1;
constexpr uint16_t kPrintProcedure = 2;

std::mutex url_opener_mutex;
UrlOpener& TheUrlOpener() {
  static UrlOpener opener;
  return opener;
}

runtime::AnyRef At(uint8_t* base, uint32_t offset, uint32_t size, TypeCode type) {
  return runtime::AnyRef{base + offset, size, type, 0};
}

int32_t DateAt(const uint8_t* base, uint32_t offset) {
  return runtime::AccessorFactory(TypeCode::kDate, const_cast<uint8_t*>(base) + offset, 4)
      ->GetInteger();
}

bool Blank(const std::string& text) {
  return text.find_first_not_of(" \t") == std::string::npos;
}

// The notes list's queue: the columns the list shows (the reminder date with its icon number),
// the fields the tabs' locators use, and each row's VIEW position.
struct MainQueue {
  static constexpr uint32_t kReminderDate = 0;
  static constexpr uint32_t kReminderIcon = 4;
  static constexpr uint32_t kNoteDate = 6;
  static constexpr uint32_t kTopic = 10;
  static constexpr uint32_t kMainMemo = 70;
  static constexpr uint32_t kDone = 5120;
  static constexpr uint32_t kReminder = 5121;
  static constexpr uint32_t kMark = 5122;
  static constexpr uint32_t kPosition = 5123;
  static constexpr uint32_t kPositionSize = 1024;
  static constexpr uint32_t kSize = kPosition + kPositionSize;  // 6147

  MainQueue()
      : buffer(std::make_unique<uint8_t[]>(kSize)),
        queue(runtime::QueueDescriptor{buffer.get(),
                                       kSize,
                                       {{TypeCode::kDate, kReminderDate, 4, 0},
                                        {TypeCode::kShort, kReminderIcon, 2, 0},
                                        {TypeCode::kDate, kNoteDate, 4, 0},
                                        {TypeCode::kString, kTopic, nr::kTopicSize, 0},
                                        {TypeCode::kString, kMainMemo, nr::kMainMemoSize, 0},
                                        {TypeCode::kString, kDone, 1, 0},
                                        {TypeCode::kString, kReminder, 1, 0},
                                        {TypeCode::kByte, kMark, 1, 0},
                                        {TypeCode::kString, kPosition, kPositionSize, 0}}}) {}
  std::unique_ptr<uint8_t[]> buffer;
  runtime::Queue queue;
};

// The archive list's queue.
struct ArchiveQueue {
  static constexpr uint32_t kReminderDate = 0;
  static constexpr uint32_t kNoteDate = 4;
  static constexpr uint32_t kTopic = 8;
  static constexpr uint32_t kMainMemo = 68;
  static constexpr uint32_t kReminder = 5118;
  static constexpr uint32_t kMark = 5119;
  static constexpr uint32_t kPosition = 5120;
  static constexpr uint32_t kPositionSize = 1024;
  static constexpr uint32_t kSize = kPosition + kPositionSize;  // 6144

  ArchiveQueue()
      : buffer(std::make_unique<uint8_t[]>(kSize)),
        queue(runtime::QueueDescriptor{buffer.get(),
                                       kSize,
                                       {{TypeCode::kDate, kReminderDate, 4, 0},
                                        {TypeCode::kDate, kNoteDate, 4, 0},
                                        {TypeCode::kString, kTopic, nr::kTopicSize, 0},
                                        {TypeCode::kString, kMainMemo, nr::kMainMemoSize, 0},
                                        {TypeCode::kString, kReminder, 1, 0},
                                        {TypeCode::kByte, kMark, 1, 0},
                                        {TypeCode::kString, kPosition, kPositionSize, 0}}}) {}
  std::unique_ptr<uint8_t[]> buffer;
  runtime::Queue queue;
};

// The notes browse: the sheet's tab chooses the sort order, and every row carries the reminder
// icon when its reminder is due within three days or overdue.
class NotesBrowse : public framework::BrowseManager {
 public:
  explicit NotesBrowse(MainQueue& queue) : queue_(queue) {}

  bool ChooseSortOrder(bool force) override {
    const int32_t choice =
        std::atoi(runtime::GetProperty(main_window::kSheet, runtime::Prop::kChoice).c_str());
    return SelectSortOrder(choice >= 1 && choice <= 3 ? choice : 4, force);
  }

  void FillListRow() override {
    BrowseManager::FillListRow();
    const int16_t icon =
        ReminderIconShown(DateAt(queue_.buffer.get(), MainQueue::kReminderDate), runtime::TODAY())
            ? 1
            : 0;
    std::memcpy(queue_.buffer.get() + MainQueue::kReminderIcon, &icon, sizeof icon);
  }

 private:
  MainQueue& queue_;
};

// What both browses share: the program's globals, the window and its resizer, the query form,
// the toolbar, and the order of the life from Init to Kill.
class BrowseProcedure : public framework::WindowManager {
 protected:
  BrowseProcedure(std::string name, runtime::WindowDescription description,
                  framework::RelationManager& table)
      : program_(TheProgram()),
        name_(std::move(name)),
        window_(std::move(description)),
        table_(table),
        view_({table.ME->FILE, {}, {}}) {
    ERRORS = &program_.errors;
    VCRREQUEST = &program_.vcr_request;
  }

  // The first steps of Init: the procedure's name, the request, the base, the registrations and
  // the table. Proceed when the table opened.
  Level Begin(int32_t close_control) {
    program_.errors.PushProcedure(name_);
    REQUEST = program_.request;
    if (const Level level = WindowManager::Init(); level != Level::Proceed) return level;
    toolbar_.Init(*this);
    TOOLBAR = &toolbar_;
    program_.request = 0;
    program_.response = 0;
    AddButton(close_control, framework::response::kCancelled);
    if (const Level level = table_.Open(); level != Level::Proceed) return level;
    tables_open_ = true;
    return Level::Proceed;
  }

  void OpenWindow() {
    window_.Open();
    OPENED = true;
    runtime::SetProperty(0, runtime::Prop::kIcon, std::string(kAppIcon));
  }

  void InitQuery() {
    (void)query_.Init(kNotesQueryFamily, program_.errors, &program_.ini);
    query_.QKICON = "QkQBE.ico";
    query_.QKMENUICON = "QkLoad.ico";
  }

  void InitResizer() {
    (void)resizer_.Init(kResizeStrategy, framework::SizeLimit::kInitialSize,
                        framework::SizeLimit::kNone);
    RESIZE = &resizer_;
    program_.ini.FetchWindow(window_, name_);
    (void)resizer_.Resize();
  }

  // The browse's buttons and procedures, the query and the toolbar.
  void SetBrowseControls(framework::BrowseManager& browse, int32_t insert, int32_t change,
                         int32_t remove, int32_t select, int32_t print, int32_t query) {
    browse.INSERTCONTROL = insert;
    browse.CHANGECONTROL = change;
    browse.DELETECONTROL = remove;
    browse.SELECTCONTROL = select;
    browse.HIDESELECT = true;
    browse.PRINTCONTROL = print;
    browse.ASKPROCEDURE = kUpdateProcedure;
    browse.PRINTPROCEDURE = kPrintProcedure;
    browse.QUERY = &query_;
    browse.QUERYCONTROL = query;
    browse.AddToolbarTarget(toolbar_);
    AddBrowse(browse);
  }

  Level Kill() override {
    // The query's items leave the browse's popup before the browse lets go of it.
    query_.Kill();
    const Level level = WindowManager::Kill();
    if (tables_open_) {
      (void)table_.Close();
      tables_open_ = false;
    }
    if (OPENED && window_.IsOpen()) {
      program_.ini.UpdateWindow(window_, name_);
      window_.Close();
    }
    program_.errors.PopProcedure();
    return level;
  }

  Level HandleWindowEvent() override {
    const Level level = WindowManager::HandleWindowEvent();
    // The window closes at the end of this event: its place is kept for the next time.
    if (level == Level::Proceed &&
        (runtime::EVENT() == Event::kCloseWindow || runtime::EVENT() == Event::kCloseDown)) {
      program_.ini.UpdateWindow(window_, name_);
    }
    return level;
  }

  // Copies the request into the global one and runs `procedure`; the global response answers.
  uint8_t RunWith(uint8_t request, uint8_t (*procedure)()) {
    program_.request = request;
    if (procedure != nullptr) (void)procedure();
    return program_.response;
  }

  Program& program_;
  std::string name_;
  runtime::Window window_;
  framework::RelationManager& table_;
  data::view::View view_;
  framework::WindowResizer resizer_;
  framework::QueryManager query_;
  framework::ToolbarManager toolbar_;
  bool tables_open_ = false;
};

class MainProcedure : public BrowseProcedure {
 public:
  MainProcedure()
      : BrowseProcedure("Main", DescribeMainWindow(), TheProgram().snotes_relations),
        browse_(queue_) {}

  Level Init() override {
    namespace m = main_window;
    if (const Level level = Begin(m::kClose); level != Level::Proceed) return level;
    FIRSTFIELD = m::kEmailSupport;
    uint8_t* q = queue_.buffer.get();
    browse_.Init(m::kList, queue_.queue,
                 At(q, MainQueue::kPosition, MainQueue::kPositionSize, TypeCode::kString), view_,
                 table_, *this);
    OpenWindow();
    InitQuery();
    framework::FileManager& notes = *table_.ME;
    for (const NoteTab& tab : NoteTabs()) {
      browse_.AddSortOrder(notes.FILE->FindKey(tab.key), tab.added_order);
      if (tab.id == NoteTabId::kEverything) {
        auto step = std::make_unique<framework::StringStepManager>();
        step->Init(framework::step_case::kNoCase, 3);
        browse_.AddStepManager(std::move(step));
      }
      browse_.AddLocator(true);
      if (!tab.filter.empty()) browse_.SetFilter(tab.filter);
    }
    uint8_t* r = notes.Buffer();
    browse_.AddField(At(q, MainQueue::kReminderDate, 4, TypeCode::kDate),
                     At(r, nr::kReminderDateOffset, 4, TypeCode::kDate));
    browse_.AddField(At(q, MainQueue::kNoteDate, 4, TypeCode::kDate),
                     At(r, nr::kNoteDateOffset, 4, TypeCode::kDate));
    browse_.AddField(At(q, MainQueue::kTopic, nr::kTopicSize, TypeCode::kString),
                     At(r, nr::kTopicOffset, nr::kTopicSize, TypeCode::kString));
    browse_.AddField(At(q, MainQueue::kMainMemo, nr::kMainMemoSize, TypeCode::kString),
                     At(r, nr::kMainMemoOffset, nr::kMainMemoSize, TypeCode::kString));
    browse_.AddField(At(q, MainQueue::kDone, 1, TypeCode::kString),
                     At(r, nr::kDoneOffset, 1, TypeCode::kString));
    browse_.AddField(At(q, MainQueue::kReminder, 1, TypeCode::kString),
                     At(r, nr::kReminderOffset, 1, TypeCode::kString));
    InitResizer();
    SetBrowseControls(browse_, m::kInsert, m::kChange, m::kDelete, m::kSelect, m::kPrint,
                      m::kFindBy);
    AddNotesQueryFields(query_);
    RegisterAlertKeys();
    return Level::Proceed;
  }

  uint8_t RunProcedure(uint16_t number, uint8_t request) override {
    if (number == kUpdateProcedure) return RunWith(request, &UpdateSNotes);
    if (number == kPrintProcedure) return RunWith(request, &printnote);
    return RunWith(request, nullptr);
  }

  Level HandleWindowEvent() override {
    const Level level = BrowseProcedure::HandleWindowEvent();
    if (runtime::EVENT() == Event::kOpenWindow) {
      // The note the first load left in the buffer decides: a reminder due within three days
      // (or none at all) opens the reminders.
      const int32_t date = DateAt(table_.ME->Buffer(), nr::kReminderDateOffset);
      const bool reminders = date <= runtime::TODAY() + kReminderLeadDays;
      SelectTab(reminders ? main_window::kRemindersTab : main_window::kNotesOnlyTab);
    }
    return level;
  }

  Level HandleSelected() override {
    const Level level = BrowseProcedure::HandleSelected();
    if (runtime::SelectedControl() == main_window::kPrintFindBys) {
      // What the browse shows as the button gets the focus is what it prints.
      std::string filter = view_.Filter();
      if (filter.size() > kQueryTextSize) filter.resize(kQueryTextSize);
      program_.query_text = std::move(filter);
    }
    return level;
  }

  Level HandleAccepted() override {
    namespace m = main_window;
    const Level level = BrowseProcedure::HandleAccepted();
    switch (runtime::FIELD()) {
      case m::kAbout:
        UpdateBrowses();
        (void)runtime::START([] { About(); }, kProcedureStack);
        Reset(false);
        break;
      case m::kEmailSupport:
        OpenSupportMail();
        break;
      case m::kPrintFindBys:
        UpdateBrowses();
        if (Blank(program_.query_text)) {
          (void)runtime::MESSAGE("No query string to print, Please run query First.", "");
        } else {
          (void)MultiNote();
        }
        break;
      case m::kViewArchive:
        UpdateBrowses();
        (void)runtime::START([] { BrowseARC(); }, kProcedureStack);
        Reset(false);
        break;
      default:
        break;
    }
    return level;
  }

 private:
  // Selects the sheet's tab `tab` and lets the browse follow it.
  void SelectTab(int32_t tab) {
    namespace m = main_window;
    const int32_t choice = tab == m::kNotesOnlyTab   ? 1
                           : tab == m::kRemindersTab ? 2
                           : tab == m::kDoneTab      ? 3
                                                     : 4;
    runtime::SetProperty(m::kSheet, runtime::Prop::kChoice, std::to_string(choice));
    runtime::SELECT(tab);
    Reset(false);
  }

  static void OpenSupportMail() {
    UrlOpener opener;
    {
      std::lock_guard lock(url_opener_mutex);
      opener = TheUrlOpener();
    }
    if (!opener || !opener(SupportMailUrl())) {
      (void)runtime::MESSAGE(
          "No mail program could be started. Please write to " + std::string(kSupportMailbox) + ".",
          "Email Support", runtime::MessageIcon::kExclamation);
    }
  }

  MainQueue queue_;
  NotesBrowse browse_;
};

class ArchiveProcedure : public BrowseProcedure {
 public:
  ArchiveProcedure()
      : BrowseProcedure("BrowseARC", DescribeArchiveWindow(), TheProgram().arcnotes_relations) {}

  Level Init() override {
    namespace a = archive_window;
    if (const Level level = Begin(a::kClose); level != Level::Proceed) return level;
    uint8_t* q = queue_.buffer.get();
    browse_.Init(a::kList, queue_.queue,
                 At(q, ArchiveQueue::kPosition, ArchiveQueue::kPositionSize, TypeCode::kString),
                 view_, table_, *this);
    OpenWindow();
    InitQuery();
    framework::FileManager& archive = *table_.ME;
    browse_.AddSortOrder(archive.FILE->FindKey(kArchiveKey));
    auto step = std::make_unique<framework::StringStepManager>();
    step->Init(framework::step_case::kNoCase, 3);
    browse_.AddStepManager(std::move(step));
    browse_.AddLocator(true);
    uint8_t* r = archive.Buffer();
    browse_.AddField(At(q, ArchiveQueue::kReminderDate, 4, TypeCode::kDate),
                     At(r, nr::kReminderDateOffset, 4, TypeCode::kDate));
    browse_.AddField(At(q, ArchiveQueue::kNoteDate, 4, TypeCode::kDate),
                     At(r, nr::kNoteDateOffset, 4, TypeCode::kDate));
    browse_.AddField(At(q, ArchiveQueue::kTopic, nr::kTopicSize, TypeCode::kString),
                     At(r, nr::kTopicOffset, nr::kTopicSize, TypeCode::kString));
    browse_.AddField(At(q, ArchiveQueue::kMainMemo, nr::kMainMemoSize, TypeCode::kString),
                     At(r, nr::kMainMemoOffset, nr::kMainMemoSize, TypeCode::kString));
    browse_.AddField(At(q, ArchiveQueue::kReminder, 1, TypeCode::kString),
                     At(r, nr::kReminderOffset, 1, TypeCode::kString));
    InitResizer();
    AddArchiveQueryFields(query_);
    SetBrowseControls(browse_, a::kInsert, a::kChange, a::kDelete, a::kSelect, a::kPrint,
                      a::kFindBy);
    RegisterAlertKeys();
    return Level::Proceed;
  }

  uint8_t RunProcedure(uint16_t number, uint8_t request) override {
    if (number == kUpdateProcedure) return RunWith(request, &UpdateSNotes1);
    if (number == kPrintProcedure) return RunWith(request, &printnote1);
    return RunWith(request, nullptr);
  }

 private:
  ArchiveQueue queue_;
  framework::BrowseManager browse_;
};

}  // namespace

std::string SupportMailUrl() {
  return "mailto:" + std::string(kSupportMailbox) + "?subject=" + std::string(kSupportSubject);
}

void SetUrlOpener(UrlOpener opener) {
  std::lock_guard lock(url_opener_mutex);
  TheUrlOpener() = std::move(opener);
}

std::string VersionMessage() {
  VersionInfo& v = TheProgram().version;
  FillVersion(v);
  std::string name = v.name.substr(0, v.name.find_last_not_of(' ') + 1);
  if (name.size() < 8) name.append(8 - name.size(), ' ');
  return "App: " + name +
         "|Date: " + runtime::FORMAT(runtime::FormatValue::Integer(73466), "@d17") +
         "|Build: " + std::to_string(v.build);
}

void Main() {
  MainProcedure().Run();
}

void BrowseARC() {
  ArchiveProcedure().Run();
}

void About() {
  namespace b = about_window;
  runtime::Window window(DescribeAboutWindow());
  window.Open();
  runtime::ACCEPT([] {
    if (runtime::EVENT() == Event::kAccepted) {
      if (runtime::FIELD() == b::kClose) return runtime::LoopControl::kLeave;
      if (runtime::FIELD() == b::kIcon) (void)runtime::MESSAGE(VersionMessage(), "Info:");
    }
    return runtime::LoopControl::kNext;
  });
  if (window.IsOpen()) window.Close();
}

}  // namespace pellucor::app
