// The print preview: shows the pages a report produced (page files collected by the report
// engine) in a window of its own, lets the user page through them, zoom, see several pages at
// once as tiles and choose which pages to print, and answers whether to print. The report manager
// calls ShowPages once the last record is printed, and prints the pages that remain when it
// answers true.
//
//   PrintPreview preview;
//   preview.Init(pages);                  // the page files, in page order
//   preview.AttachIniManager(&ini);       // window positions
//   preview.ALLOWUSERZOOM = true;
//   if (preview.ShowPages(0, 1, 1)) ...   // zoom 0: tiles; the pages not chosen are gone
//   preview.Kill();
//
// REQUIRES: callers hold the run lock; the preview runs on the thread of its report procedure.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "framework/window/window_manager.h"
#include "runtime/event/window.h"

namespace pellucor::framework {
class IniManager;
class PopupManager;
}  // namespace pellucor::framework

namespace pellucor::report {

using framework::Level;

// A row of the zoom table.
struct ZoomRow {
  std::string menu_text;    // "50% Zoom"
  std::string status_text;  // "Zoom: 50%"
  int16_t zoom = 0;         // -2 tiles, -1 page width, else a percentage
};

// Where the preview remembers its window, and the pages dialog its own.
inline constexpr std::string_view kPreviewSection = "_PreviewWindow_";
inline constexpr std::string_view kPagesSection = "_PreviewAskPagesWindow_";
// A typed zoom is held between these percentages.
inline constexpr int32_t kLeastZoom = 10;
inline constexpr int32_t kMostZoom = 800;

// The window's last place and size while the preview lives (SAVESIZE).
struct SavedSize {
  bool SET = false;
  int16_t XPOS = 0;
  int16_t YPOS = 0;
  uint16_t WIDTH = 0;
  uint16_t HEIGHT = 0;
};

class PrintPreview : public framework::WindowManager {
 public:
  PrintPreview();
  ~PrintPreview() override;

  // --- Virtual operations added, in order ---

  // "Jump to a Report Page": true when the user chose a page (CURRENTPAGE is then that page).
  virtual bool PromptForPage();
  // "Pages to Print" on a copy of the page list: true for "&Ok", false for "&Cancel" (the list
  // is then as before).
  virtual bool PromptForPrintPages();
  // "Change the Report Display" on PAGESACROSS and PAGESDOWN.
  virtual void PromptForThumbnails();
  // Removes page `page` (from 1): its file goes and the later pages move up.
  virtual void DeletePageImage(int32_t page);
  // Runs the preview over the pages and returns PRINTOK; when it is true, the pages the page
  // list does not select are gone. Zoom 0 shows tiles.
  virtual bool ShowPages(int16_t zoom, uint16_t across, uint16_t down);
  // The base initialisation; keeps the page list, makes the zoom table and the zoom popup.
  // REQUIRES: `pages` outlives the preview.
  virtual void Init(std::vector<std::string>& pages);
  // PAGESTOPRINT := every page.
  virtual void PresetPrintRange();
  // Removes every page the page list does not select, the last page first.
  virtual void DropUnselectedPages();

  void AttachIniManager(framework::IniManager* ini) { INIMGR = ini; }

  // --- Overrides ---
  using framework::WindowManager::Init;
  Level Kill() override;
  void SetupWindow() override;
  Level HandleAccepted() override;
  Level HandleEvent() override;
  Level HandleWindowEvent() override;

  // --- Fields, in order ---

  bool ALLOWUSERZOOM = false;
  bool CONFIRMPAGES = false;
  int32_t CURRENTPAGE = 0;
  int32_t FIRSTPAGE = 0;
  std::vector<std::string>* IMAGEQUEUE = nullptr;  // not owned: the report manager's
  framework::IniManager* INIMGR = nullptr;         // not owned
  int16_t INITZOOM = 0;
  bool MAXIMIZE = false;
  uint8_t MUSE = 0;  // kept for programs that set it; the preview does not use it
  uint8_t PAGEMANAGER = 0;
  uint16_t PAGESACROSS = 1;
  uint16_t PAGESDOWN = 1;
  char PAGESTOPRINT[256] = {};  // CSTRING(256)
  std::unique_ptr<framework::PopupManager> POPUP;
  runtime::Window* PREVIEWWINDOW = nullptr;  // owned by ShowPages while it runs
  bool PRINTOK = false;
  SavedSize SAVESIZE;
  uint16_t THUMBNAILSPRESENT = 0;
  uint16_t USERPERCENTILE = 0;
  bool WINDOWPOSSET = false;
  bool WINDOWSIZESET = false;
  int16_t WINHEIGHT = 0;
  int16_t WINWIDTH = 0;
  int16_t WINXPOS = 0;
  int16_t WINYPOS = 0;
  std::vector<ZoomRow> ZOOMQUEUE;
  uint8_t ZOOMINDEX = 0;
  char ZOOMLIST[16] = {};  // STRING(16)

 protected:
  // The page list as text.
  [[nodiscard]] std::string PagesToPrint() const { return PAGESTOPRINT; }
  void SetPagesToPrint(std::string_view list);
  [[nodiscard]] int32_t PageCount() const;
  // The zoom in effect: the row's, or the typed percentage.
  [[nodiscard]] int32_t Zoom() const;
  [[nodiscard]] bool Tiled() const { return Zoom() == -2; }
  // Draws the pages as the fields say and brings the controls and the status bar up to date.
  void Redraw();

 private:
  void ChooseZoomRow(uint8_t row);
  void TakeZoomList();
  void ShowZoomList();
  // The page spin was accepted (or a page was chosen another way).
  void PageChosen();
  // The across (or down) spin changed.
  void TilesChanged(bool across_changed);
  void FitRegion();
  void UpdateControls();
  [[nodiscard]] int32_t PagesFromFirst() const { return PageCount() - FIRSTPAGE + 1; }
  [[nodiscard]] int32_t TileCount() const { return int32_t{PAGESACROSS} * PAGESDOWN; }
};

}  // namespace pellucor::report
