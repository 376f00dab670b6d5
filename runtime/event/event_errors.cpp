#include "runtime/event/event_errors.h"

#include "runtime/core/error_state.h"

namespace pellucor::runtime::err {

void RegisterEventErrorTexts() {
  static const bool registered = [] {
    RegisterErrorText(kFrameActive, "Unable to open APPLICATION (APPLICATION already active)");
    RegisterErrorText(kFrameModal, "Unable to open APPLICATION (system is MODAL)");
    RegisterErrorText(kFrameOpen, "Unable to open APPLICATION");
    RegisterErrorText(kWindowOpen, "Unable to open WINDOW");
    RegisterErrorText(kChildNoFrame, "Unable to open MDI window (No APPLICATION active)");
    RegisterErrorText(kChildModal, "Unable to open MDI window (system is MODAL)");
    RegisterErrorText(kChildOnFrameThread, "Unable to open MDI window on APPLICATION's thread");
    RegisterErrorText(kChildOpen, "Unable to open MDI WINDOW");
    RegisterErrorText(kTooManyKeys, "Too many keystrokes PRESSed");
    RegisterErrorText(kAlreadyOpen, "Window is already open");
    RegisterErrorText(kNotOpen, "Window is not open");
    RegisterErrorText(kAcceptNoWindow, "ACCEPT loop requires a window");
    RegisterErrorText(kPrintNotReport, "PRINT must only be called for reports");
    RegisterErrorText(kEndPageNotReport, "ENDPAGE must only be called for reports");
    RegisterErrorText(kAcceptModal, "Unable to process ACCEPT (system is MODAL)");
    RegisterErrorText(kControlModal, "Unable to create control (system is MODAL)");
    RegisterErrorText(kOperationModal, "Unable to complete operation (system is MODAL)");
    return true;
  }();
  (void)registered;
}

}  // namespace pellucor::runtime::err
