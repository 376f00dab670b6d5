// The runtime errors of windows and the event loop. All are fatal (fatal.h): they leave through
// the halt hook when a program installed one.
#pragma once

#include <cstdint>

namespace pellucor::runtime::err {
inline constexpr int32_t kFrameActive =
    526;  // "Unable to open APPLICATION (APPLICATION already active)"
inline constexpr int32_t kFrameModal = 527;  // "Unable to open APPLICATION (system is MODAL)"
inline constexpr int32_t kFrameOpen = 528;   // "Unable to open APPLICATION"
inline constexpr int32_t kWindowOpen = 529;  // "Unable to open WINDOW"
inline constexpr int32_t kChildNoFrame =
    530;                                     // "Unable to open MDI window (No APPLICATION active)"
inline constexpr int32_t kChildModal = 531;  // "Unable to open MDI window (system is MODAL)"
inline constexpr int32_t kChildOnFrameThread =
    532;                                      // "Unable to open MDI window on APPLICATION's thread"
inline constexpr int32_t kChildOpen = 533;    // "Unable to open MDI WINDOW"
inline constexpr int32_t kTooManyKeys = 534;  // "Too many keystrokes PRESSed"
inline constexpr int32_t kAlreadyOpen = 535;  // "Window is already open"
inline constexpr int32_t kNotOpen = 536;      // "Window is not open"
inline constexpr int32_t kAcceptNoWindow = 537;    // "ACCEPT loop requires a window"
inline constexpr int32_t kPrintNotReport = 538;    // "PRINT must only be called for reports"
inline constexpr int32_t kEndPageNotReport = 539;  // "ENDPAGE must only be called for reports"
inline constexpr int32_t kAcceptModal = 540;       // "Unable to process ACCEPT (system is MODAL)"
inline constexpr int32_t kControlModal = 541;      // "Unable to create control (system is MODAL)"
inline constexpr int32_t kOperationModal = 542;  // "Unable to complete operation (system is MODAL)"

// Enters the texts above into the error table; every entry point of the event area calls it.
void RegisterEventErrorTexts();
}  // namespace pellucor::runtime::err
