// The browse's events: the list's scroll events, keys and selections, its buttons, and the forms
// it runs for them.
#include "data/driver/driver.h"
#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/toolbar_manager.h"
#include "framework/file/file_manager.h"
#include "framework/popup/popup_manager.h"
#include "framework/query/query_manager.h"
#include "framework/window/window_manager.h"
#include "runtime/event/event.h"
#include "runtime/event/window.h"

namespace pellucor::framework {

using runtime::Event;

Level BrowseManager::HandleEvent() {
  const Event event = runtime::EVENT();
  const int32_t control = runtime::FIELD();
  if (control == LISTCONTROL && control != 0) {
    switch (event) {
      case Event::kScrollUp:
      case Event::kScrollDown:
      case Event::kPageUp:
      case Event::kPageDown:
      case Event::kScrollTop:
      case Event::kScrollBottom:
      case Event::kScrollDrag:
        return HandleScroll(event);
      case Event::kAlertKey:
        return HandleKey();
      case Event::kNewSelection:
        return HandleNewSelection();
      case Event::kLocate:
        return HandleLocate();
      case Event::kAccepted:
        // A double click, or Enter, on a row opens it as key code 5 does.
        if (const int32_t key = runtime::KEYCODE();
            key == browse_key::kDoubleClick || key == runtime::key::kEnter) {
          return HandleKey();
        }
        return Level::Proceed;
      case Event::kSelected:
        // The toolbar now serves this list.
        if (TOOLBAR != nullptr) TOOLBAR->SetTarget(LISTCONTROL);
        return Level::Proceed;
      default:
        return Level::Proceed;
    }
  }
  if (event == Event::kAccepted && control != 0) {
    if (control == DELETECONTROL) {
      if (Rows() > 0) (void)Ask(request::kDelete);
    } else if (control == CHANGECONTROL) {
      if (Rows() > 0) (void)Ask(request::kChange);
    } else if (control == INSERTCONTROL) {
      (void)Ask(request::kInsert);
    } else if (control == SELECTCONTROL) {
      if (Rows() > 0) {
        UpdateBuffer();
        WINDOW->FinishWith(response::kCompleted);
      }
    } else if (control == PRINTCONTROL) {
      UpdateBuffer();
      if (Rows() > 0 && RereadHighlighted() == Level::Proceed) {
        (void)WINDOW->RunProcedure(PRINTPROCEDURE, request::kProcess);
      }
    } else if (control == QUERYCONTROL) {
      return HandleLocate();
    }
    return Level::Proceed;
  }
  if (event == Event::kCloseWindow && SELECTING && WINDOW->RESPONSE == response::kCompleted) {
    // The caller receives the record that was highlighted.
    CopyRowToBuffers();
    if (SELECTWHOLERECORD) (void)RereadHighlighted();
  }
  return Level::Proceed;
}

Level BrowseManager::HandleKey() {
  const int32_t key = runtime::KEYCODE();
  // Adding needs no row: an empty list is where the first record comes from.
  if (key == browse_key::kInsert) {
    (void)PressButton(INSERTCONTROL);
    return Level::Proceed;
  }
  const bool rows = Rows() > 0;
  switch (key) {
    case browse_key::kDelete:
      if (rows) (void)PressButton(DELETECONTROL);
      return Level::Proceed;
    case browse_key::kCtrlEnter:
      if (rows) (void)PressButton(CHANGECONTROL);
      return Level::Proceed;
    case browse_key::kDoubleClick:
    case runtime::key::kEnter:
      if (rows) (void)PressButton(SELECTING ? SELECTCONTROL : CHANGECONTROL);
      return Level::Proceed;
    case browse_key::kRightRelease:
    case runtime::key::kMouseRight:
      // The right button on the list: the actions on the highlighted row.
      return HandleNewSelection();
    default:
      break;
  }
  SortOrder* order = CurrentOrder();
  if (order == nullptr || order->LOCATOR == nullptr || !LOADED) return Level::Proceed;
  const int32_t choice =
      std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kChoice).c_str());
  if (choice >= 1 && choice <= Rows()) CURRENTCHOICE = choice;
  LASTITEMS = VisibleRows();
  switch (order->LOCATOR->HandleKey(key)) {
    case LocatorResult::kNotTaken:
    case LocatorResult::kStepped:
      break;
    case LocatorResult::kLocate:
      if (SetPosition(FreeComponentNumber()) == Level::Proceed) {
        ResetQueue(reset_mode::kFromView);
      }
      break;
  }
  return Level::Proceed;
}

Level BrowseManager::HandleNewSelection() {
  const int32_t choice =
      std::atoi(runtime::GetProperty(LISTCONTROL, runtime::Prop::kChoice).c_str());
  if (choice >= 1 && choice <= Rows()) CURRENTCHOICE = LASTCHOICE = choice;
  CopyRowToBuffers();
  if (const int32_t key = runtime::KEYCODE();
      key == browse_key::kRightRelease || key == runtime::key::kMouseRight) {
    return HandlePopup();
  }
  WINDOW->Reset(false);
  return Level::Proceed;
}

Level BrowseManager::HandleLocate() {
  if (QUERY == nullptr) return Level::Proceed;
  UpdateBuffer();
  if (QUERY->Ask() == Level::Proceed) ApplyQuery();
  return Level::Proceed;
}

void BrowseManager::ApplyQuery() {
  // The query's condition joins the order's own filters under its id; an empty one removes it.
  const std::string condition = QUERY != nullptr ? QUERY->GetFilter() : std::string();
  const int32_t current = CurrentOrderNumber();
  for (int32_t n = 1; n <= static_cast<int32_t>(ORDER.size()); ++n) {
    if (!QUERYSHARED && n != current) continue;
    (void)SetSort(n);
    SetFilterById(condition, kQueryFilterId);
  }
  (void)SetSort(current);
  if (!OPENED) return;
  (void)ApplyFilter();
  // What the query shows starts at its first record.
  ClearList();
  CURRENTCHOICE = 1;
  ResetQueue(reset_mode::kAroundHighlight);
}

Level BrowseManager::HandlePopup() {
  if (POPUP == nullptr) return Level::Proceed;
  if (POPUP == own_popup_.get() && POPUP->POPUPITEMS.empty()) BuildPopup();
  // A chosen copy of a button posts "EVENT:Accepted" to it, and the browse acts on that event;
  // the query's own items are the browse's to act on.
  const std::string chosen = POPUP->Ask();
  if (QUERY != nullptr && !chosen.empty()) {
    switch (QUERY->TakePopupChoice(chosen)) {
      case QueryChoice::kRun:
      case QueryChoice::kClear:
        ApplyQuery();
        break;
      case QueryChoice::kNone:
        break;
    }
  }
  return Level::Proceed;
}

void BrowseManager::BuildPopup() {
  POPUP->Init();
  // Copies of the buttons the browse has, in the menu's order.
  auto mirror = [&](std::string_view name, int32_t button, std::string_view text) {
    if (button != 0) (void)POPUP->AddMirroredItem(name, button, text);
  };
  mirror("Insert", INSERTCONTROL, "&Insert");
  mirror("Change", CHANGECONTROL, "&Change");
  mirror("Delete", DELETECONTROL, "&Delete");
  mirror("Print", PRINTCONTROL, "&Print");
  (void)POPUP->AddSeparator("Separator2");
  if (QUERY != nullptr) {
    // The query button and the saved queries, in a submenu of their own.
    (void)POPUP->AddSubMenu("&Query", "QuerySubmenu");
    mirror("Query", QUERYCONTROL, "&Query");
    QUERY->AddPopupItems(*POPUP);
    POPUP->EndSubMenu();
  } else {
    mirror("Query", QUERYCONTROL, "&Query");
  }
  mirror("Select", SELECTCONTROL, "&Select");
}

uint8_t BrowseManager::Ask(uint8_t request) {
  if (WINDOW->VCRREQUEST != nullptr) *WINDOW->VCRREQUEST = 0;
  if (ASKPROCEDURE == 0) return response::kCancelled;  // no form: nothing edits records here
  uint8_t response = response::kCancelled;
  for (;;) {
    UpdateBuffer();
    if (request == request::kInsert) {
      PrepareInsertRecord();
    } else {
      // The record a form changes is watched as it is read again: saving it after another
      // program changed it meanwhile then fails with "changed by another station" and shows the
      // other's version, instead of writing over it.
      if (request == request::kChange) (void)data::Dispatch(*PrimaryFile()->FILE, data::Op::kWATCH);
      if (RereadHighlighted() != Level::Proceed) {
        // The record is gone: say so, and show what is there now.
        (void)PrimaryFile()->ReportLast();
        ResetQueue(reset_mode::kAroundHighlight);
        return response::kCancelled;
      }
    }
    asked_position_ = RowPosition(CURRENTCHOICE);
    response = WINDOW->RunProcedure(ASKPROCEDURE, request);
    ReloadAfterForm(request, response);
    const int32_t navigation = WINDOW->VCRREQUEST != nullptr ? *WINDOW->VCRREQUEST : 0;
    if (navigation == 0) break;
    *WINDOW->VCRREQUEST = 0;
    // The form saved its record and asked to go on: another new record, or the record the
    // button moves to, in the form again.
    if (navigation == toolbar_button::kInsert || request == request::kInsert) {
      request = request::kInsert;
    } else {
      request = request::kChange;
      (void)HandleVCRScroll(navigation);
      if (Rows() == 0) break;
    }
  }
  return response;
}

void BrowseManager::ReloadAfterForm(uint8_t request, uint8_t response) {
  bool positioned = false;
  if (response == response::kCompleted && (OPENED || Open() == Level::Proceed)) {
    if (request == request::kInsert || request == request::kChange) {
      // The record the form wrote is its file's current record: start there.
      positioned = VIEW->ResetViewFile() == 0;
    } else if (request == request::kDelete) {
      // The VIEW returns the record after the one deleted.
      positioned = PositionAt(asked_position_);
    }
  }
  if (!positioned) {
    ResetQueue(reset_mode::kAroundHighlight);
    return;
  }
  positioned_at_start_ = false;
  ResetQueue(reset_mode::kFromView);
}

}  // namespace pellucor::framework
