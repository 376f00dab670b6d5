#include "report/preview_windows.h"

#include <string>
#include <utility>

namespace pellucor::report {

namespace {

using runtime::ControlKind;
using runtime::DialogRect;
using runtime::TypeCode;

runtime::ControlDescription& Add(runtime::WindowDescription& d, int32_t number, ControlKind kind,
                                 std::string text, std::optional<DialogRect> at = std::nullopt,
                                 int32_t parent = 0) {
  runtime::ControlDescription c;
  c.number = number;
  c.kind = kind;
  c.text = std::move(text);
  c.at = at;
  c.parent = parent;
  d.controls.push_back(std::move(c));
  return d.controls.back();
}

runtime::WindowFont PreviewFont() {
  runtime::WindowFont f;
  f.name = "MS Sans Serif";
  f.size = 10;
  return f;
}

}  // namespace

runtime::WindowDescription PreviewWindow(int32_t* current, uint16_t* across, uint16_t* down,
                                         char* zoom, const char* zoom_choices) {
  namespace w = preview_window;
  runtime::WindowDescription d;
  d.name = "P17$PREVIEWWINDOW";
  d.module = kPreviewModule;
  d.title = "Report Preview";
  d.font = PreviewFont();
  d.icon = "~pellucor.ico";
  d.help_id = "PrintPreview";
  d.at = DialogRect{0, 0, 420, 300};
  d.centered = true;
  d.resizable = true;
  d.maximize_box = true;
  d.status_zones = {150, -1};
  Add(d, w::kMenuBar, ControlKind::kMenuBar, "");
  Add(d, w::kFileMenu, ControlKind::kMenu, "&File", {}, w::kMenuBar);
  Add(d, w::kMenuPages, ControlKind::kItem, "Pa&ges to Print...", {}, w::kFileMenu).message =
      "Select which pages to print";
  Add(d, w::kMenuPrint, ControlKind::kItem, "&Print", {}, w::kFileMenu).message =
      "Print the report";
  Add(d, w::kMenuExit, ControlKind::kItem, "E&xit", {}, w::kFileMenu).message =
      "Exit without printing the report";
  Add(d, w::kViewMenu, ControlKind::kMenu, "&View", {}, w::kMenuBar);
  Add(d, w::kNext, ControlKind::kItem, "&Next Page(s)", {}, w::kViewMenu).message =
      "View the next page or pages of the report";
  Add(d, w::kPrevious, ControlKind::kItem, "&Previous Page(s)", {}, w::kViewMenu).message =
      "View the next page or pages of the report";
  Add(d, w::kJump, ControlKind::kItem, "&Jump to a page", {}, w::kViewMenu).message =
      "Jump to a specific page of the report";
  Add(d, w::kChangeDisplay, ControlKind::kItem, "&Change Display", {}, w::kViewMenu).message =
      "Change the number of pages displayed";
  Add(d, w::kZoomMenu, ControlKind::kMenu, "&Zoom", {}, w::kMenuBar);
  Add(d, w::kToolbar, ControlKind::kToolbar, "Print Options");
  auto& print = Add(d, w::kToolbarPrint, ControlKind::kButton, "Print", {}, w::kToolbar);
  print.tip = "Print this report";
  print.icon = "document-print.ico";
  auto& exit = Add(d, w::kToolbarExit, ControlKind::kButton, "Exit", {}, w::kToolbar);
  exit.tip = "Exit without printing the report";
  exit.icon = "application-exit.ico";
  auto& zoom_button = Add(d, w::kToolbarZoom, ControlKind::kButton, "Zoom", {}, w::kToolbar);
  zoom_button.tip = "Zoom in on a page of the report";
  zoom_button.icon = "zoom-in.ico";

  // The strip above the pages.
  Add(d, w::kPagePrompt, ControlKind::kPrompt, "&Page:", DialogRect{4, 4, 26, 10});
  auto& page = Add(d, w::kCurrentPage, ControlKind::kSpin, "", DialogRect{30, 2, 40, 12});
  page.picture = "@n4";
  page.use = runtime::AnyRef{current, sizeof *current, TypeCode::kLong, 0};
  page.range_low = 1;
  page.range_high = 1;
  page.tip = "The page shown";
  Add(d, w::kAcrossPrompt, ControlKind::kPrompt, "&Across:", DialogRect{80, 4, 32, 10});
  auto& a = Add(d, w::kPagesAcross, ControlKind::kSpin, "", DialogRect{112, 2, 30, 12});
  a.picture = "@N2";
  a.use = runtime::AnyRef{across, sizeof *across, TypeCode::kUShort, 0};
  a.range_low = 1;
  a.range_high = w::kMaxTiles;
  a.tip = "Select the number of thumbnails in a row";
  Add(d, w::kDownPrompt, ControlKind::kPrompt, "&Down:", DialogRect{150, 4, 28, 10});
  auto& dn = Add(d, w::kPagesDown, ControlKind::kSpin, "", DialogRect{178, 2, 30, 12});
  dn.picture = "@n2";
  dn.use = runtime::AnyRef{down, sizeof *down, TypeCode::kUShort, 0};
  dn.range_low = 1;
  dn.range_high = w::kMaxTiles;
  dn.tip = "Select the number of thumbnails in a column";
  Add(d, w::kZoomPrompt, ControlKind::kPrompt, "Z&oom:", DialogRect{218, 4, 28, 10});
  auto& list = Add(d, w::kZoomList, ControlKind::kCombo, "", DialogRect{246, 2, 80, 12});
  list.picture = "@S16";
  list.use = runtime::AnyRef{zoom, 16, TypeCode::kString, 0};
  list.from = zoom_choices;
  list.tip = "Set zoom to standard or user defined value";
  auto& pages =
      Add(d, w::kPages, ControlKind::kRegion, "", DialogRect{0, w::kStripHeight, 420, 282});
  pages.tip = "Report pages";
  return d;
}

runtime::WindowDescription JumpWindow(int32_t* page, int32_t pages) {
  namespace w = jump_window;
  runtime::WindowDescription d;
  d.name = "P35$JUMPWINDOW";
  d.module = kPreviewModule;
  d.title = "Jump to a Report Page";
  d.font = PreviewFont();
  d.icon = "~pellucor.ico";
  d.at = DialogRect{0, 0, 150, 50};
  d.centered = true;
  Add(d, w::kPrompt, ControlKind::kPrompt, "&Page:", DialogRect{8, 10, 30, 10});
  auto& spin = Add(d, w::kPage, ControlKind::kSpin, "", DialogRect{40, 8, 50, 12});
  spin.picture = "@n5";
  spin.use = runtime::AnyRef{page, sizeof *page, TypeCode::kLong, 0};
  spin.range_low = 1;
  spin.range_high = pages > 1 ? pages : 1;
  spin.tip = "Select a page of the report";
  auto& ok = Add(d, w::kOk, ControlKind::kButton, "OK", DialogRect{40, 30, 45, 14});
  ok.message = "Jump to the selected page";
  ok.flags.is_default = true;
  Add(d, w::kCancel, ControlKind::kButton, "Cancel", DialogRect{95, 30, 45, 14}).message =
      "Cancel this selection";
  return d;
}

runtime::WindowDescription SelectWindow(uint16_t* across, uint16_t* down) {
  namespace w = select_window;
  runtime::WindowDescription d;
  d.name = "P36$SELECTWINDOW";
  d.module = kPreviewModule;
  d.title = "Change the Report Display";
  d.font = PreviewFont();
  d.icon = "~pellucor.ico";
  d.at = DialogRect{0, 0, 150, 74};
  d.centered = true;
  Add(d, w::kGroup, ControlKind::kGroup, "Pages Displayed", DialogRect{6, 4, 138, 44});
  Add(d, w::kAcrossPrompt, ControlKind::kPrompt, "&Across", DialogRect{14, 18, 40, 10});
  auto& a = Add(d, w::kAcross, ControlKind::kSpin, "", DialogRect{14, 28, 50, 12});
  a.picture = "@N2";
  a.use = runtime::AnyRef{across, sizeof *across, TypeCode::kUShort, 0};
  a.range_low = 1;
  a.range_high = preview_window::kMaxTiles;
  a.tip = "Select the number of thumbnails in a row";
  Add(d, w::kDownPrompt, ControlKind::kPrompt, "&Down", DialogRect{80, 18, 40, 10});
  auto& dn = Add(d, w::kDown, ControlKind::kSpin, "", DialogRect{80, 28, 50, 12});
  dn.picture = "@N2";
  dn.use = runtime::AnyRef{down, sizeof *down, TypeCode::kUShort, 0};
  dn.range_low = 1;
  dn.range_high = preview_window::kMaxTiles;
  dn.tip = "Select the number of thumbnails in a column";
  auto& ok = Add(d, w::kOk, ControlKind::kButton, "OK", DialogRect{99, 54, 45, 14});
  ok.flags.is_default = true;
  return d;
}

runtime::WindowDescription PagesWindow(char* list, uint32_t size) {
  namespace w = pages_window;
  runtime::WindowDescription d;
  d.name = "P37$WINDOW";
  d.module = kPreviewModule;
  d.title = "Pages to Print";
  d.font = PreviewFont();
  d.icon = "~pellucor.ico";
  d.at = DialogRect{0, 0, 200, 58};
  d.centered = true;
  Add(d, w::kPrompt, ControlKind::kPrompt, "&Pages to Print:", DialogRect{6, 8, 60, 10});
  auto& entry = Add(d, w::kList, ControlKind::kEntry, "", DialogRect{66, 6, 128, 12});
  entry.picture = "@s255";
  entry.use = runtime::AnyRef{list, size, TypeCode::kCString, 0};
  entry.tip = "Pages and ranges separated by commas, such as 1-3,5";
  Add(d, w::kReset, ControlKind::kButton, "&Reset", DialogRect{6, 36, 56, 14});
  auto& ok = Add(d, w::kOk, ControlKind::kButton, "&Ok", DialogRect{76, 36, 56, 14});
  ok.flags.is_default = true;
  Add(d, w::kCancel, ControlKind::kButton, "&Cancel", DialogRect{138, 36, 56, 14});
  return d;
}

}  // namespace pellucor::report
