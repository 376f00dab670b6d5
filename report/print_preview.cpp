#include "report/print_preview.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "framework/ini/ini_manager.h"
#include "framework/popup/popup_manager.h"
#include "platform/file.h"
#include "report/page_list.h"
#include "report/preview_dialogs.h"
#include "report/preview_windows.h"
#include "runtime/event/event.h"
#include "runtime/event/key_codes.h"
#include "runtime/report/report.h"

namespace pellucor::report {

namespace w = preview_window;
using runtime::Event;
using runtime::Prop;

namespace {

std::string Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\0')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) s.remove_suffix(1);
  return std::string(s);
}

bool SameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

void Switch(int32_t control, Prop prop, bool on) {
  runtime::SetProperty(control, prop, on ? "1" : "");
}

}  // namespace

PrintPreview::PrintPreview() = default;
PrintPreview::~PrintPreview() = default;

void PrintPreview::Init(std::vector<std::string>& pages) {
  (void)framework::WindowManager::Init();
  IMAGEQUEUE = &pages;
  ZOOMQUEUE = {
      {"Tile pages", "Zoom: Tile Pages", -2}, {"Page Width", "Zoom: Page Width", -1},
      {"50% Zoom", "Zoom: 50%", 50},          {"75% Zoom", "Zoom: 75%", 75},
      {"100% Zoom", "Zoom: 100%", 100},       {"200% Zoom", "Zoom: 200%", 200},
      {"300% Zoom", "Zoom: 300%", 300},
  };
  POPUP = std::make_unique<framework::PopupManager>();
}

Level PrintPreview::Kill() {
  if (DEAD) return Level::Notified;
  if (POPUP) POPUP->Kill();
  POPUP.reset();
  ZOOMQUEUE.clear();
  return framework::WindowManager::Kill();
}

int32_t PrintPreview::PageCount() const {
  return IMAGEQUEUE != nullptr ? static_cast<int32_t>(IMAGEQUEUE->size()) : 0;
}

int32_t PrintPreview::Zoom() const {
  if (ZOOMINDEX >= 1 && ZOOMINDEX <= ZOOMQUEUE.size()) return ZOOMQUEUE[ZOOMINDEX - 1].zoom;
  return USERPERCENTILE;
}

void PrintPreview::SetPagesToPrint(std::string_view list) {
  const size_t n = std::min(list.size(), sizeof PAGESTOPRINT - 1);
  std::memcpy(PAGESTOPRINT, list.data(), n);
  PAGESTOPRINT[n] = '\0';
}

void PrintPreview::PresetPrintRange() {
  SetPagesToPrint(WholeRange(PageCount()));
}

void PrintPreview::DeletePageImage(int32_t page) {
  if (IMAGEQUEUE == nullptr || page < 1 || page > PageCount()) return;
  const auto at = IMAGEQUEUE->begin() + (page - 1);
  (void)platform::Env::Default()->RemoveTemporary(*at);
  IMAGEQUEUE->erase(at);
}

void PrintPreview::DropUnselectedPages() {
  const std::string list = PagesToPrint();
  for (int32_t page = PageCount(); page >= 1; --page) {
    if (!PageSelected(list, page)) DeletePageImage(page);
  }
}

bool PrintPreview::ShowPages(int16_t zoom, uint16_t across, uint16_t down) {
  std::string choices;
  for (const ZoomRow& row : ZOOMQUEUE) {
    if (!choices.empty()) choices += '|';
    choices += row.menu_text;
  }
  runtime::Window window(
      PreviewWindow(&CURRENTPAGE, &PAGESACROSS, &PAGESDOWN, ZOOMLIST, choices.c_str()));
  PREVIEWWINDOW = &window;
  window.Open();
  PRINTOK = false;
  if (PageCount() > 0) {
    INITZOOM = zoom != 0 ? zoom : int16_t{-2};
    FIRSTPAGE = 1;
    CURRENTPAGE = 1;
    PAGESACROSS = std::max<uint16_t>(1, across);
    PAGESDOWN = std::max<uint16_t>(1, down);
    PresetPrintRange();
    INITED = 0;
    (void)Ask();
    if (PRINTOK) DropUnselectedPages();
  }
  if (window.IsOpen()) window.Close();
  PREVIEWWINDOW = nullptr;
  return PRINTOK;
}

void PrintPreview::SetupWindow() {
  const int32_t pages = PageCount();
  // Where the window goes: as the caller fixed it, else as it was left while this preview
  // lived, else as the settings file remembers it.
  if (WINDOWPOSSET || WINDOWSIZESET) {
    if (WINDOWPOSSET) {
      runtime::SetProperty(0, Prop::kXPos, std::to_string(WINXPOS));
      runtime::SetProperty(0, Prop::kYPos, std::to_string(WINYPOS));
    }
    if (WINDOWSIZESET) {
      runtime::SetProperty(0, Prop::kWidth, std::to_string(WINWIDTH));
      runtime::SetProperty(0, Prop::kHeight, std::to_string(WINHEIGHT));
    }
  } else if (SAVESIZE.SET) {
    runtime::SetProperty(0, Prop::kXPos, std::to_string(SAVESIZE.XPOS));
    runtime::SetProperty(0, Prop::kYPos, std::to_string(SAVESIZE.YPOS));
    runtime::SetProperty(0, Prop::kWidth, std::to_string(SAVESIZE.WIDTH));
    runtime::SetProperty(0, Prop::kHeight, std::to_string(SAVESIZE.HEIGHT));
  } else if (INIMGR != nullptr) {
    INIMGR->FetchWindow(*PREVIEWWINDOW, kPreviewSection);
  }
  if (MAXIMIZE) runtime::SetProperty(0, Prop::kMaximized, "1");
  if (pages < 2) {
    for (int32_t c : {w::kPagePrompt, w::kCurrentPage, w::kNext, w::kPrevious}) {
      Switch(c, Prop::kHide, true);
    }
  } else {
    runtime::SetProperty(w::kCurrentPage, Prop::kRangeHigh, std::to_string(pages));
    runtime::SetProperty(w::kCurrentPage, Prop::kMessage,
                         "Enter a page number from 1 to " + std::to_string(pages));
  }
  POPUP->Init(INIMGR);
  for (size_t i = 0; i < ZOOMQUEUE.size(); ++i) {
    runtime::ControlDescription item;
    item.number = w::kFirstZoomItem + static_cast<int32_t>(i);
    item.kind = runtime::ControlKind::kItem;
    item.parent = w::kZoomMenu;
    item.text = ZOOMQUEUE[i].menu_text;
    (void)runtime::CREATE(item);
    // The toolbar's zoom popup offers the same choices, each acting as its menu item.
    (void)POPUP->AddMirroredItem({}, item.number, ZOOMQUEUE[i].menu_text);
  }
  ZOOMINDEX = 0;
  for (size_t i = 0; i < ZOOMQUEUE.size(); ++i) {
    if (ZOOMQUEUE[i].zoom == INITZOOM) ZOOMINDEX = static_cast<uint8_t>(i + 1);
  }
  if (ZOOMINDEX == 0) {
    USERPERCENTILE = static_cast<uint16_t>(std::clamp<int32_t>(INITZOOM, kLeastZoom, kMostZoom));
  }
  if (ALLOWUSERZOOM) {
    ShowZoomList();
  } else {
    Switch(w::kZoomPrompt, Prop::kHide, true);
    Switch(w::kZoomList, Prop::kHide, true);
  }
  runtime::ALERT(runtime::key::kPageUp);
  runtime::ALERT(runtime::key::kPageDown);
  // Escape leaves the preview as "Exit" does, without printing (the desktop's way to close a
  // window that only shows something).
  runtime::ALERT(runtime::key::kEscape);
  FIRSTFIELD = pages >= 2 ? w::kCurrentPage : (ALLOWUSERZOOM ? w::kZoomList : 0);
  framework::WindowManager::SetupWindow();
  FitRegion();
  if (Tiled()) {
    PageChosen();
  } else {
    Redraw();
  }
}

void PrintPreview::FitRegion() {
  const int32_t width = std::atoi(runtime::GetProperty(0, Prop::kClientWidth).c_str());
  const int32_t height = std::atoi(runtime::GetProperty(0, Prop::kClientHeight).c_str());
  runtime::SetProperty(w::kPages, Prop::kXPos, "0");
  runtime::SetProperty(w::kPages, Prop::kYPos, std::to_string(w::kStripHeight));
  runtime::SetProperty(w::kPages, Prop::kWidth, std::to_string(std::max(1, width)));
  runtime::SetProperty(w::kPages, Prop::kHeight,
                       std::to_string(std::max(1, height - w::kStripHeight)));
}

void PrintPreview::Redraw() {
  const int32_t pages = PageCount();
  CURRENTPAGE = std::clamp(CURRENTPAGE, 1, std::max(1, pages));
  FIRSTPAGE = std::clamp(FIRSTPAGE, 1, std::max(1, pages));
  runtime::PageView view;
  view.pages = *IMAGEQUEUE;
  view.zoom = Zoom();
  view.current = CURRENTPAGE;
  view.first = FIRSTPAGE;
  view.across = PAGESACROSS;
  view.down = PAGESDOWN;
  if (runtime::ReportEngine* engine = runtime::GetReportEngine()) {
    engine->ShowPages(PREVIEWWINDOW->id(), w::kPages, view);
  }
  THUMBNAILSPRESENT =
      static_cast<uint16_t>(Tiled() ? std::clamp(PagesFromFirst(), 0, TileCount()) : 1);
  UpdateControls();
}

void PrintPreview::UpdateControls() {
  const int32_t pages = PageCount();
  Switch(w::kPrevious, Prop::kDisable, CURRENTPAGE <= 1);
  Switch(w::kNext, Prop::kDisable, CURRENTPAGE >= pages);
  Switch(w::kJump, Prop::kDisable, pages < 2);
  const bool tiles = Tiled() && pages > 1;
  for (int32_t c : {w::kAcrossPrompt, w::kPagesAcross, w::kDownPrompt, w::kPagesDown}) {
    Switch(c, Prop::kDisable, !tiles);
  }
  runtime::DISPLAY(w::kCurrentPage);
  runtime::DISPLAY(w::kPagesAcross);
  runtime::DISPLAY(w::kPagesDown);
  const std::string zoom = ZOOMINDEX != 0 ? ZOOMQUEUE[ZOOMINDEX - 1].status_text
                                          : "Zoom: " + std::to_string(USERPERCENTILE) + "%";
  runtime::SetProperty(0, Prop::kStatusText, zoom, 1);
  std::string page = "Page " + std::to_string(CURRENTPAGE);
  if (Tiled() && THUMBNAILSPRESENT >= 2) {
    page = "Page " + std::to_string(FIRSTPAGE) + "-" +
           std::to_string(FIRSTPAGE + THUMBNAILSPRESENT - 1);
  }
  runtime::SetProperty(0, Prop::kStatusText, page + " of " + std::to_string(pages), 2);
}

void PrintPreview::ShowZoomList() {
  const std::string text = ZOOMINDEX != 0 ? ZOOMQUEUE[ZOOMINDEX - 1].menu_text
                                          : std::to_string(USERPERCENTILE) + "% Zoom";
  std::memset(ZOOMLIST, ' ', sizeof ZOOMLIST);
  if (!text.empty()) std::memcpy(ZOOMLIST, text.data(), std::min(text.size(), sizeof ZOOMLIST));
  if (ALLOWUSERZOOM) runtime::DISPLAY(w::kZoomList);
}

void PrintPreview::ChooseZoomRow(uint8_t row) {
  if (row < 1 || row > ZOOMQUEUE.size()) return;
  const bool changed = row != ZOOMINDEX;
  ZOOMINDEX = row;
  ShowZoomList();
  if (!changed) return;
  // Tiles start at a set that holds the page shown.
  if (Tiled()) {
    PageChosen();
  } else {
    Redraw();
  }
}

void PrintPreview::TakeZoomList() {
  const std::string text = Trimmed(std::string_view(ZOOMLIST, sizeof ZOOMLIST));
  for (size_t i = 0; i < ZOOMQUEUE.size(); ++i) {
    if (SameText(text, ZOOMQUEUE[i].menu_text)) {
      ChooseZoomRow(static_cast<uint8_t>(i + 1));
      return;
    }
  }
  size_t at = 0;
  int64_t number = 0;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9' && number <= kMostZoom) {
    number = number * 10 + (text[at++] - '0');
  }
  if (at == 0) {
    // No number: the list shows the zoom in effect again.
    runtime::BEEP();
    ShowZoomList();
    return;
  }
  // A percentage the screen can show: far smaller is no page, far larger no more than a letter.
  USERPERCENTILE = static_cast<uint16_t>(std::clamp<int64_t>(number, kLeastZoom, kMostZoom));
  ZOOMINDEX = 0;
  ShowZoomList();
  Redraw();
}

void PrintPreview::PageChosen() {
  const int32_t pages = PageCount();
  CURRENTPAGE = std::clamp(CURRENTPAGE, 1, std::max(1, pages));
  const int32_t offset = CURRENTPAGE - FIRSTPAGE + 1;
  if (offset < 1 || offset > TileCount()) {
    FIRSTPAGE = CURRENTPAGE;
    // A set that would show fewer pages than it has room for starts earlier.
    while (FIRSTPAGE >= 2 && PagesFromFirst() < TileCount()) --FIRSTPAGE;
  }
  Redraw();
}

void PrintPreview::TilesChanged(bool across_changed) {
  uint16_t& changed = across_changed ? PAGESACROSS : PAGESDOWN;
  changed = std::clamp<uint16_t>(changed, 1, w::kMaxTiles);
  while (PagesFromFirst() < TileCount() && changed >= 2) --changed;
  Redraw();
}

Level PrintPreview::HandleEvent() {
  const int32_t pages = PageCount();
  switch (runtime::EVENT()) {
    case Event::kAlertKey:
      if (runtime::KEYCODE() == runtime::key::kPageUp && CURRENTPAGE > 1) {
        --CURRENTPAGE;
        PageChosen();
      } else if (runtime::KEYCODE() == runtime::key::kPageDown && CURRENTPAGE < pages) {
        ++CURRENTPAGE;
        PageChosen();
      } else if (runtime::KEYCODE() == runtime::key::kEscape) {
        runtime::PostEvent(Event::kCloseWindow);
      }
      break;
    case Event::kNewSelection:
      // The spin boxes' arrows.
      if (runtime::FIELD() == w::kCurrentPage) PageChosen();
      if (runtime::FIELD() == w::kPagesAcross) TilesChanged(true);
      if (runtime::FIELD() == w::kPagesDown) TilesChanged(false);
      break;
    default:
      break;
  }
  return framework::WindowManager::HandleEvent();
}

Level PrintPreview::HandleAccepted() {
  if (const Level l = framework::WindowManager::HandleAccepted(); l != Level::Proceed) return l;
  const int32_t control = runtime::AcceptedControl();
  const int32_t pages = PageCount();
  if (control >= w::kFirstZoomItem &&
      control < w::kFirstZoomItem + static_cast<int32_t>(ZOOMQUEUE.size())) {
    ChooseZoomRow(static_cast<uint8_t>(control - w::kFirstZoomItem + 1));
    return Level::Proceed;
  }
  switch (control) {
    case w::kZoomList:
      TakeZoomList();
      break;
    case w::kMenuPrint:
    case w::kToolbarPrint:
      PRINTOK = CONFIRMPAGES ? PromptForPrintPages() : true;
      runtime::PostEvent(Event::kCloseWindow);
      break;
    case w::kMenuExit:
    case w::kToolbarExit:
      runtime::PostEvent(Event::kCloseWindow);
      break;
    case w::kMenuPages:
      (void)PromptForPrintPages();
      Redraw();
      break;
    case w::kNext:
      if (CURRENTPAGE < pages) {
        ++CURRENTPAGE;
        PageChosen();
      }
      break;
    case w::kPrevious:
      if (CURRENTPAGE > 1) {
        --CURRENTPAGE;
        PageChosen();
      }
      break;
    case w::kCurrentPage:
      PageChosen();
      break;
    case w::kPagesAcross:
      TilesChanged(true);
      break;
    case w::kPagesDown:
      TilesChanged(false);
      break;
    case w::kJump:
      if (PromptForPage()) PageChosen();
      break;
    case w::kChangeDisplay:
      PromptForThumbnails();
      CURRENTPAGE = 1;
      FIRSTPAGE = 1;
      Redraw();
      break;
    case w::kToolbarZoom:
      // A choice posts "EVENT:Accepted" to its "&Zoom" menu item.
      (void)POPUP->Ask();
      break;
    default:
      break;
  }
  return Level::Proceed;
}

Level PrintPreview::HandleWindowEvent() {
  switch (runtime::EVENT()) {
    case Event::kSized:
      SAVESIZE.SET = true;
      SAVESIZE.XPOS = static_cast<int16_t>(std::atoi(runtime::GetProperty(0, Prop::kXPos).c_str()));
      SAVESIZE.YPOS = static_cast<int16_t>(std::atoi(runtime::GetProperty(0, Prop::kYPos).c_str()));
      SAVESIZE.WIDTH =
          static_cast<uint16_t>(std::atoi(runtime::GetProperty(0, Prop::kWidth).c_str()));
      SAVESIZE.HEIGHT =
          static_cast<uint16_t>(std::atoi(runtime::GetProperty(0, Prop::kHeight).c_str()));
      if ((INITED & 1) != 0) {
        FitRegion();
        Redraw();
      }
      break;
    case Event::kCloseWindow:
    case Event::kCloseDown:
      if (INIMGR != nullptr) INIMGR->UpdateWindow(*PREVIEWWINDOW, kPreviewSection);
      if (runtime::ReportEngine* engine = runtime::GetReportEngine()) {
        engine->ShowPages(PREVIEWWINDOW->id(), w::kPages, runtime::PageView{});
      }
      break;
    default:
      break;
  }
  return framework::WindowManager::HandleWindowEvent();
}

bool PrintPreview::PromptForPage() {
  int32_t page = CURRENTPAGE;
  JumpDialog dialog(&page, PageCount());
  if (dialog.Run() != framework::response::kCompleted) return false;
  CURRENTPAGE = std::clamp(page, 1, std::max(1, PageCount()));
  return true;
}

bool PrintPreview::PromptForPrintPages() {
  PagesDialog dialog(*this, INIMGR);
  return dialog.Run() == framework::response::kCompleted;
}

void PrintPreview::PromptForThumbnails() {
  SelectDialog dialog(&PAGESACROSS, &PAGESDOWN);
  (void)dialog.Run();
  PAGESACROSS = std::clamp<uint16_t>(PAGESACROSS, 1, w::kMaxTiles);
  PAGESDOWN = std::clamp<uint16_t>(PAGESDOWN, 1, w::kMaxTiles);
}

}  // namespace pellucor::report
