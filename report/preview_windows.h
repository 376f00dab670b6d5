// The print preview's windows (module "WFREPORT"): the preview itself and its three dialogs. The
// variables the controls show are bound by the caller through the pointers each function takes.
#pragma once

#include <cstdint>

#include "runtime/window/description.h"

namespace pellucor::report {

inline constexpr const char* kPreviewModule = "WFREPORT";

// "P17$PREVIEWWINDOW", "Report Preview".
namespace preview_window {
inline constexpr int32_t kToolbar = 1;  // "Print Options"
inline constexpr int32_t kMenuPages = 2;
inline constexpr int32_t kMenuPrint = 3;
inline constexpr int32_t kMenuExit = 4;
inline constexpr int32_t kViewMenu = 5;
inline constexpr int32_t kNext = 6;
inline constexpr int32_t kPrevious = 7;
inline constexpr int32_t kJump = 8;
inline constexpr int32_t kChangeDisplay = 9;
inline constexpr int32_t kZoomMenu = 10;
inline constexpr int32_t kToolbarPrint = 11;
inline constexpr int32_t kToolbarExit = 12;
inline constexpr int32_t kToolbarZoom = 13;
inline constexpr int32_t kPagePrompt = 14;
inline constexpr int32_t kCurrentPage = 15;
inline constexpr int32_t kAcrossPrompt = 16;
inline constexpr int32_t kPagesAcross = 17;
inline constexpr int32_t kDownPrompt = 18;
inline constexpr int32_t kPagesDown = 19;
inline constexpr int32_t kZoomPrompt = 20;
inline constexpr int32_t kZoomList = 21;
inline constexpr int32_t kMenuBar = 22;
inline constexpr int32_t kFileMenu = 23;
inline constexpr int32_t kPages = 24;  // the region the pages are drawn in
// The "&Zoom" menu's items: row n of the zoom table is item kFirstZoomItem - 1 + n.
inline constexpr int32_t kFirstZoomItem = 201;
// Dialog units from the top of the client area to the page region.
inline constexpr int32_t kStripHeight = 18;
// Thumbnails in a row or a column at most.
inline constexpr int32_t kMaxTiles = 10;
}  // namespace preview_window

// `current`: CURRENTPAGE (LONG); `across`, `down`: PAGESACROSS and PAGESDOWN (USHORT); `zoom`:
// ZOOMLIST (STRING(16)); `zoom_choices`: the zoom list's entries, separated by "|".
[[nodiscard]] runtime::WindowDescription PreviewWindow(int32_t* current, uint16_t* across,
                                                       uint16_t* down, char* zoom,
                                                       const char* zoom_choices);

// "P35$JUMPWINDOW", "Jump to a Report Page", on a copy of the page number (LONG).
namespace jump_window {
inline constexpr int32_t kPrompt = 1;
inline constexpr int32_t kPage = 2;
inline constexpr int32_t kOk = 3;
inline constexpr int32_t kCancel = 4;
}  // namespace jump_window
[[nodiscard]] runtime::WindowDescription JumpWindow(int32_t* page, int32_t pages);

// "P36$SELECTWINDOW", "Change the Report Display", on PAGESACROSS and PAGESDOWN.
namespace select_window {
inline constexpr int32_t kGroup = 1;
inline constexpr int32_t kAcrossPrompt = 2;
inline constexpr int32_t kAcross = 3;
inline constexpr int32_t kDownPrompt = 4;
inline constexpr int32_t kDown = 5;
inline constexpr int32_t kOk = 6;
}  // namespace select_window
[[nodiscard]] runtime::WindowDescription SelectWindow(uint16_t* across, uint16_t* down);

// "P37$WINDOW", "Pages to Print", on a copy of PAGESTOPRINT (CSTRING(256)).
namespace pages_window {
inline constexpr int32_t kPrompt = 1;
inline constexpr int32_t kList = 2;
inline constexpr int32_t kReset = 3;
inline constexpr int32_t kOk = 4;
inline constexpr int32_t kCancel = 5;
}  // namespace pages_window
[[nodiscard]] runtime::WindowDescription PagesWindow(char* list, uint32_t size);

}  // namespace pellucor::report
