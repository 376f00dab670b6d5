// The report engine: what reports ask of the printing system, in the runtime's own terms (report
// numbers, band numbers, page files). The engine lays bands out into pages, records every
// finished page as a page file (a platform picture file in the temporary directory, name prefix
// "VEL"), prints page files on the printer the user chose, and draws them into a window for the
// preview. A GUI implementation lives in the window engine's layer; the runtime only declares it.
//
// Threads: calls come from the program thread that holds the run lock; an engine may carry them
// over to its GUI thread and wait, as the window engine does. Bound variables are read during
// PrintBand and EndPage only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/event/engine.h"
#include "runtime/report/report_description.h"

namespace pellucor::runtime {

using ReportId = int32_t;  // reports from 1, never reused while the process runs

// What FlushPages did with the page files.
enum class FlushResult : uint8_t {
  kPrinted,    // printed in order (or written to the file the user chose)
  kDiscarded,  // thrown away as asked
  kCancelled,  // the user cancelled when asked where to print to: nothing printed
  kFailed,     // the printer or the file refused them: see the error text
};

// What the preview shows of a list of page files.
struct PageView {
  std::vector<std::string> pages;  // page files, in page order; empty: show nothing
  int32_t zoom = -1;               // -2 tiles, -1 fits one page to the width, else a percentage
  int32_t current = 1;             // the page shown, or the one marked among the tiles (from 1)
  int32_t first = 1;               // the first tile
  int32_t across = 1;              // tiles in a row and in a column
  int32_t down = 1;
};

class ReportEngine {
 public:
  virtual ~ReportEngine() = default;

  // Lays out report `report` from `description` (whose controls' `use` variables PrintBand
  // reads). False: the report could not be made (the error text says why).
  [[nodiscard]] virtual bool OpenReport(ReportId report, const ReportDescription& description) = 0;
  // Ends the last page when one is started; without a page list (SetPageList) the pages are
  // then printed. Page files in a page list stay for their owner.
  virtual void CloseReport(ReportId report) = 0;
  // Finished pages go to page files whose names are appended to `pages` instead of being
  // printed. REQUIRES: `pages` outlives the report or the next SetPageList (null: print).
  virtual void SetPageList(ReportId report, std::vector<std::string>* pages) = 0;
  // Prints detail band `band` (from 1) with the variables' present values, starting a page (and
  // its header) when none is started and a new one when the band does not fit; a text block
  // goes on over as many pages as it needs. False: no such band, or a page file could not be
  // written (the error text says why).
  [[nodiscard]] virtual bool PrintBand(ReportId report, int32_t band) = 0;
  // Finishes the page (footer with the page number) and records it; nothing when none is
  // started.
  [[nodiscard]] virtual bool EndPage(ReportId report) = 0;
  // The number of pages finished so far.
  [[nodiscard]] virtual int32_t PageCount(ReportId report) = 0;

  // Prints the page files in order on the printer the user chose, or discards them; the files
  // are removed and the list emptied in every case. `title` names the print job.
  [[nodiscard]] virtual FlushResult FlushPages(std::vector<std::string>& pages, bool print,
                                               const std::string& title) = 0;
  // Draws pages into control `control` of `window` (a region); an empty list clears it.
  virtual void ShowPages(WindowId window, int32_t control, const PageView& view) = 0;
  // The text of the last failure.
  [[nodiscard]] virtual std::string ErrorText() = 0;
};

}  // namespace pellucor::runtime
