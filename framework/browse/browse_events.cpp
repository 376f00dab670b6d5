// The browse's events: the list's scroll events, keys and selections, its buttons, and the forms
// it runs for them.
#include "data/view/view.h"
#include "framework/browse/browse_manager.h"
#include "framework/browse/step_locator.h"
#include "framework/browse/toolbar_manager.h"
#include "framework/file/file_manager.h"
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
        (void)WINDOW->RunProcedure(PRINTPROCEDURE, request::kNone);
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
      // The row under the mouse is already the list's choice.
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
  if (runtime::KEYCODE() == browse_key::kRightRelease) return HandlePopup();
  WINDOW->Reset(false);
  return Level::Proceed;
}

Level BrowseManager::HandleLocate() {
  // TODO(query): the query form (framework/query) is not there yet; once it is, run it here and
  // install its filter with SetFilterById before refilling.
  return Level::Proceed;
}

Level BrowseManager::HandlePopup() {
  // TODO(popup): the "Browse Actions" popup (framework/popup) is not there yet.
  return Level::Proceed;
}

uint8_t BrowseManager::Ask(uint8_t request) {
  if (WINDOW->VCRREQUEST != nullptr) *WINDOW->VCRREQUEST = 0;
  if (ASKPROCEDURE == 0) return response::kCancelled;  // no form: nothing edits records here
  uint8_t response = response::kCancelled;
  for (;;) {
    UpdateBuffer();
    if (request == request::kInsert) {
      PrepareInsertRecord();
    } else if (RereadHighlighted() != Level::Proceed) {
      // The record is gone: say so, and show what is there now.
      (void)PrimaryFile()->ReportLast();
      ResetQueue(reset_mode::kAroundHighlight);
      return response::kCancelled;
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
