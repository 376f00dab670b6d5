// Moving through the browse: a row, a page, to either end, or to where the thumb was dragged.
// Each move reads only the rows that come into sight, and the list keeps one screenful.
#include <algorithm>

#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/step_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

using runtime::Event;

namespace {
constexpr int32_t kThumbTop = 0;
constexpr int32_t kThumbMiddle = 50;
constexpr int32_t kThumbBottom = 100;
}  // namespace

void BrowseManager::ScrollByRow(Event event) {
  CURRENTEVENT = static_cast<int32_t>(event);
  const bool down = event == Event::kScrollDown;
  const int32_t rows = Rows();
  if (down ? CURRENTCHOICE < rows : CURRENTCHOICE > 1) {
    CURRENTCHOICE += down ? 1 : -1;
  } else if (!FILELOADED && rows > 0) {
    // At the edge: one more record in that direction scrolls the page under the highlight.
    ITEMSTOFILL = 1;
    (void)Fetch(down ? fill::kForward : fill::kBackward);
    CURRENTCHOICE = down ? Rows() : 1;
  }
  ShowPage();
}

void BrowseManager::ScrollByPage(Event event) {
  CURRENTEVENT = static_cast<int32_t>(event);
  const bool down = event == Event::kPageDown;
  int32_t n = LASTITEMS;
  if (!FILELOADED && Rows() > 0) {
    ITEMSTOFILL = n;
    (void)Fetch(down ? fill::kForward : fill::kBackward);
    n = ITEMSTOFILL;  // what could not be read
    ITEMSTOFILL = 0;
  }
  // A full page keeps the highlight on its screen row; the last, partial page moves it on by
  // what was missing, to the end.
  CURRENTCHOICE = std::clamp(CURRENTCHOICE + (down ? n : -n), 1, std::max(1, Rows()));
  ShowPage();
}

void BrowseManager::ScrollToEnd(Event event) {
  CURRENTEVENT = static_cast<int32_t>(event);
  const bool top = event == Event::kScrollTop;
  if (!FILELOADED) {
    ClearList();
    (void)Reset();
    ITEMSTOFILL = LASTITEMS;
    if (top) {
      if (Fetch(fill::kForward) != Level::Fatal) at_start_ = true;
    } else if (Fetch(fill::kBackward) != Level::Fatal) {
      at_end_ = true;
    }
    FILELOADED = at_start_ && at_end_;
  }
  CURRENTCHOICE = top ? 1 : std::max(1, Rows());
  ShowPage();
}

void BrowseManager::ShowPage() {
  if (CURRENTCHOICE > Rows()) CURRENTCHOICE = Rows();
  if (CURRENTCHOICE < 1 && Rows() > 0) CURRENTCHOICE = 1;
  LASTCHOICE = CURRENTCHOICE;
  CopyRowToBuffers();
  if (SortOrder* order = CurrentOrder(); order != nullptr && order->LOCATOR != nullptr) {
    order->LOCATOR->Refresh();
  }
  Display();
  UpdateThumb();
}

void BrowseManager::UpdateThumb() {
  if (!HASTHUMB) return;
  int32_t thumb = kThumbMiddle;
  SortOrder* order = CurrentOrder();
  if (order != nullptr && order->THUMB != nullptr && order->LOCATOR != nullptr && Rows() > 0) {
    const runtime::AnyRef f = order->LOCATOR->FREEELEMENT;
    thumb = order->THUMB->GetPercentile(
        runtime::AccessorFactory(f.type, f.address, f.size, f.places)->GetText());
  } else if (at_start_ || Rows() == 0) {
    // Without a step object only the ends are known.
    thumb = kThumbTop;
  } else if (at_end_) {
    thumb = kThumbBottom;
  }
  runtime::SetProperty(LISTCONTROL, runtime::Prop::kProgress, std::to_string(thumb));
}

void BrowseManager::ScrollByThumb() {
  CURRENTEVENT = static_cast<int32_t>(Event::kScrollDrag);
  const int32_t thumb =
      std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kProgress).c_str());
  SortOrder* order = CurrentOrder();
  if (thumb <= kThumbTop) return ScrollToEnd(Event::kScrollTop);
  if (thumb >= kThumbBottom) return ScrollToEnd(Event::kScrollBottom);
  if (order == nullptr || order->THUMB == nullptr || order->LOCATOR == nullptr) {
    // Nothing tells where a record in between lies: the thumb goes back to the page.
    UpdateThumb();
    return;
  }
  const runtime::AnyRef f = order->LOCATOR->FREEELEMENT;
  runtime::AccessorFactory(f.type, f.address, f.size, f.places)
      ->SetText(order->THUMB->GetValue(thumb));
  if (SetPosition(FreeComponentNumber()) != Level::Proceed) return;
  CURRENTCHOICE = 1;
  ResetQueue(reset_mode::kFromView);
}

Level BrowseManager::HandleScroll(Event event) {
  if (!LOADED) return Level::Proceed;
  // Keys inside the page move the highlight without telling the browse; start from the row the
  // list shows highlighted.
  const int32_t choice =
      std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kChoice).c_str());
  if (choice >= 1 && choice <= Rows()) CURRENTCHOICE = choice;
  LASTITEMS = VisibleRows();
  switch (event) {
    case Event::kScrollUp:
    case Event::kScrollDown:
      ScrollByRow(event);
      break;
    case Event::kPageUp:
    case Event::kPageDown:
      ScrollByPage(event);
      break;
    case Event::kScrollTop:
    case Event::kScrollBottom:
      ScrollToEnd(event);
      break;
    case Event::kScrollDrag:
      ScrollByThumb();
      break;
    default:
      break;
  }
  return Level::Proceed;
}

Level BrowseManager::HandleVCRScroll(int32_t button) {
  Event event = Event::kNone;
  switch (button) {
    case toolbar_button::kDown:
      event = Event::kScrollDown;
      break;
    case toolbar_button::kUp:
      event = Event::kScrollUp;
      break;
    case toolbar_button::kPageDown:
      event = Event::kPageDown;
      break;
    case toolbar_button::kPageUp:
      event = Event::kPageUp;
      break;
    case toolbar_button::kTop:
      event = Event::kScrollTop;
      break;
    case toolbar_button::kBottom:
      event = Event::kScrollBottom;
      break;
    default:
      return Level::Proceed;
  }
  (void)HandleScroll(event);
  WINDOW->Reset(false);
  WINDOW->UpdateBrowses();
  return Level::Proceed;
}

}  // namespace pellucor::framework
