// The browse's set-up, its rows and record buffers, and what the window asks of it. Filling the
// list is in browse_fill.cpp, scrolling in browse_scroll.cpp, events and forms in
// browse_events.cpp.
#include "framework/browse/browse_manager.h"

#include <cstring>

#include "data/driver/driver.h"
#include "data/view/view.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/step_manager.h"
#include "framework/browse/toolbar_manager.h"
#include "framework/file/file_manager.h"
#include "framework/popup/popup_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

namespace {

std::string BytesOf(const runtime::AnyRef& field) {
  if (field.address == nullptr) return {};
  return std::string(static_cast<const char*>(field.address), field.size);
}

void Copy(const runtime::AnyRef& to, const runtime::AnyRef& from) {
  if (to.address == nullptr || from.address == nullptr) return;
  if (to.type == from.type && to.size == from.size) {
    std::memcpy(to.address, from.address, to.size);
    return;
  }
  runtime::AccessorFactory(to.type, to.address, to.size, to.places)
      ->Assign(*runtime::AccessorFactory(from.type, from.address, from.size, from.places));
}

}  // namespace

BrowseManager::BrowseManager() : own_popup_(std::make_unique<PopupManager>()) {
  SORT = &ORDER;
  POPUP = own_popup_.get();
}

BrowseManager::~BrowseManager() = default;

void BrowseManager::Init(int32_t list, runtime::Queue& queue, runtime::AnyRef position,
                         data::view::View& view, RelationManager& primary, WindowManager& window) {
  ViewManager::Init(view, primary);
  SORT = &ORDER;
  LISTCONTROL = list;
  LISTQUEUE = &queue;
  VIEWPOSITION = position;
  WINDOW = &window;
  FIELDS.clear();
  CURRENTCHOICE = LASTCHOICE = 0;
  LOADED = LOADPENDING = false;
  applied_order_ = 0;
  rows_window_ = 0;
  runtime::QueueFree(queue);
}

void BrowseManager::AddField(runtime::AnyRef list_field, runtime::AnyRef file_field) {
  FIELDS.push_back({list_field, file_field});
}

void BrowseManager::AddLocator(bool no_case, int32_t control) {
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->MAINKEY == nullptr || order->FREEELEMENT == 0) return;
  const int32_t field =
      std::abs(order->MAINKEY->components[static_cast<size_t>(order->FREEELEMENT - 1)]);
  order->LOCATOR = std::make_unique<StepLocator>();
  order->LOCATOR->Init(*this, control, PrimaryField(field), no_case);
}

void BrowseManager::AddStepManager(std::unique_ptr<StepManager> step) {
  if (SortOrder* order = CurrentOrder()) order->THUMB = std::move(step);
}

void BrowseManager::AddResetField(runtime::AnyRef field) {
  if (SortOrder* order = CurrentOrder()) order->RESETS.push_back({field, BytesOf(field)});
}

void BrowseManager::AddToolbarTarget(ToolbarManager& toolbar) {
  TOOLBAR = &toolbar;
  TOOLBARITEM = toolbar.AddTarget(*this);
}

int32_t BrowseManager::Rows() {
  return LISTQUEUE != nullptr ? runtime::QueueRecords(*LISTQUEUE) : 0;
}

std::string BrowseManager::RowPosition(int32_t row) {
  if (row < 1 || row > Rows()) return {};
  runtime::QueueGet(*LISTQUEUE, row);
  return LoadPosition(VIEWPOSITION);
}

int32_t BrowseManager::FindRow(const std::string& position) {
  if (position.empty()) return 0;
  const int32_t rows = Rows();
  for (int32_t i = 1; i <= rows; ++i) {
    if (RowPosition(i) == position) return i;
  }
  return 0;
}

bool BrowseManager::ListVisible() {
  return runtime::GetProperty(LISTCONTROL, runtime::Prop::kVisible) == "1";
}

int32_t BrowseManager::VisibleRows() {
  const int32_t items = std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kItems).c_str());
  return items > 0 ? items : 1;
}

void BrowseManager::ClearList() {
  runtime::QueueFree(*LISTQUEUE);
  at_start_ = at_end_ = false;
}

void BrowseManager::DropRow(int32_t row) {
  runtime::QueueGet(*LISTQUEUE, row);
  runtime::QueueDelete(*LISTQUEUE);
}

bool BrowseManager::PositionAt(const std::string& position) {
  if (position.empty()) return false;
  if (!OPENED && Open() != Level::Proceed) return false;
  positioned_at_start_ = false;
  return VIEW->Reset(position) == 0;
}

bool BrowseManager::PressButton(int32_t button) {
  if (button == 0) return false;
  // A button the procedure disabled (or a control that is not there) offers nothing.
  if (runtime::GetProperty(button, runtime::Prop::kKind).empty() ||
      runtime::GetProperty(button, runtime::Prop::kDisable) == "1") {
    return false;
  }
  runtime::PostEvent(runtime::Event::kAccepted, button);
  return true;
}

void BrowseManager::Display() {
  const runtime::WindowId window = runtime::CurrentWindow();
  shown_.Take(*LISTQUEUE);
  if (rows_window_ != window) {
    runtime::SetListRows(LISTCONTROL, &shown_);
    rows_window_ = window;
  }
  runtime::DISPLAY(LISTCONTROL);
  runtime::SetProperty(LISTCONTROL, runtime::Prop::kChoice, std::to_string(CURRENTCHOICE));
}

// --- Rows and record buffers ---

void BrowseManager::FillListRow() {
  if (const runtime::QueueDescriptor* d = LISTQUEUE->descriptor()) {
    // Columns the pairs do not fill start blank, never with the previous row's values.
    for (const runtime::QueueField& f : d->fields) {
      if (f.offset + f.size > d->size || !runtime::HasAccessor(f.type)) continue;
      runtime::ClearValue(f.type, d->buffer + f.offset, f.size, f.places,
                          runtime::ClearMode::kBlank);
    }
  }
  for (const BrowseField& f : FIELDS) Copy(f.LIST, f.FILE);
  StorePosition(VIEWPOSITION, VIEW->Position());
}

void BrowseManager::CopyRowToBuffers() {
  if (Rows() == 0 || CURRENTCHOICE < 1) {
    if (FileManager* file = PrimaryFile()) {
      data::OpArgs clear;
      (void)data::Dispatch(*file->FILE, data::Op::kCLEAR, clear);
    }
    return;
  }
  runtime::QueueGet(*LISTQUEUE, std::min(CURRENTCHOICE, Rows()));
  for (const BrowseField& f : FIELDS) Copy(f.FILE, f.LIST);
}

void BrowseManager::UpdateBuffer() {
  if (!LOADED || Rows() == 0) return;
  const int32_t choice =
      std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kChoice).c_str());
  if (choice >= 1 && choice <= Rows()) CURRENTCHOICE = choice;
  CopyRowToBuffers();
}

Level BrowseManager::RereadHighlighted() {
  if (Rows() == 0 || CURRENTCHOICE < 1) return Level::Notified;
  const std::string position = RowPosition(std::min(CURRENTCHOICE, Rows()));
  if (position.empty() || !OPENED) return Level::Notified;
  if (VIEW->Reget(position) != 0) {
    // Gone (another station deleted it), or it cannot be read: the caller refills the list.
    PrimaryFile()->NoteError(view_msg::kRecordRetrievalError);
    return Level::Notified;
  }
  return Level::Proceed;
}

// --- What the view manager does, as the browse needs it ---

Level BrowseManager::Next() {
  const Level level = ViewManager::Next();
  if (level == Level::Notified) at_end_ = true;
  if (level == Level::Fatal) runtime::PostEvent(runtime::Event::kCloseWindow);
  return level;
}

Level BrowseManager::Previous() {
  const Level level = ViewManager::Previous();
  if (level == Level::Notified) at_start_ = true;
  if (level == Level::Fatal) runtime::PostEvent(runtime::Event::kCloseWindow);
  return level;
}

bool BrowseManager::NeedRefresh() {
  if (LOADPENDING) return ListVisible();
  if (!LOADED) return false;
  if (VisibleRows() != LASTITEMS) return true;
  return ResetValuesChanged() || ViewManager::NeedRefresh();
}

void BrowseManager::NoteResetValues() {
  if (SortOrder* order = CurrentOrder()) {
    for (ResetField& r : order->RESETS) r.seen = BytesOf(r.FIELD);
  }
}

bool BrowseManager::ResetValuesChanged() {
  SortOrder* order = CurrentOrder();
  if (order == nullptr) return false;
  for (const ResetField& r : order->RESETS) {
    if (r.seen != BytesOf(r.FIELD)) return true;
  }
  return false;
}

Level BrowseManager::Kill() {
  if (LISTQUEUE != nullptr) runtime::QueueFree(*LISTQUEUE);
  if (rows_window_ != 0 && runtime::CurrentWindow() == rows_window_) {
    runtime::SetListRows(LISTCONTROL, nullptr);
  }
  rows_window_ = 0;
  LOADED = LOADPENDING = false;
  TOOLBARITEM = nullptr;
  if (POPUP == own_popup_.get()) POPUP->Kill();
  return ViewManager::Kill();
}

void BrowseManager::RegisterKeys() {
  runtime::ALERT(browse_key::kInsert);
  runtime::ALERT(browse_key::kDelete);
  runtime::ALERT(browse_key::kCtrlEnter);
  if (POPUP != nullptr) runtime::ALERT(runtime::key::kMouseRight);
  bool locators = false;
  for (const auto& order : ORDER) locators |= order->LOCATOR != nullptr;
  if (!locators) return;
  // The characters a step locator takes: letters (with and without Shift), digits and the blank.
  runtime::ALERT(runtime::key::kA, runtime::key::kA + 25);
  runtime::ALERT(runtime::key::kA + runtime::key::kShift,
                 runtime::key::kA + 25 + runtime::key::kShift);
  runtime::ALERT(runtime::key::k0, runtime::key::k0 + 9);
  runtime::ALERT(runtime::key::kSpace);
}

}  // namespace pellucor::framework
