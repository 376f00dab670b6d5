// Report descriptions: the constant data from which the report engine lays out pages, declared in
// code as a program's resources would be. A report has a page header, detail bands and a page
// footer. A procedure copies its description, binds its variables to the controls that print
// them (ReportControl::use) and opens a report from it.
//
// Units: every position and size is in thousandths of an inch, measured from the top-left corner
// of the paper. The header and footer stand where their rectangles say on every page; detail
// bands are printed one under the other down the report area, and a band that no longer fits
// starts a new page.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "runtime/values/accessor.h"

namespace pellucor::runtime {

struct ReportRect {
  int32_t x = 0;
  int32_t y = 0;
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const ReportRect&, const ReportRect&) = default;
};

struct ReportFont {
  std::string name = "Arial";  // substituted by a metric-compatible font where missing
  int32_t size = 10;           // points
  bool bold = false;
  bool italic = false;
  friend bool operator==(const ReportFont&, const ReportFont&) = default;
};

enum class ReportControlKind : uint8_t {
  kString,  // one line: the bound variable through its picture, else the text
  kText,    // a text block: the variable's text wrapped over as many lines (and pages) as it needs
  kLine,    // a line across the rectangle (horizontal when it is wider than high)
  kBox,     // a frame round the rectangle
};

enum class ReportAlign : uint8_t { kLeft, kCenter, kRight };

struct ReportControl {
  ReportControlKind kind = ReportControlKind::kString;
  ReportRect at;                   // relative to the band's top-left corner
  std::string text;                // shown when `use` is none
  std::string picture;             // "@s60", "@d17"; empty: the value as it is
  AnyRef use;                      // the variable printed; none: the text
  std::optional<ReportFont> font;  // none: the report's font
  ReportAlign align = ReportAlign::kLeft;
  // The page number through `picture` ("@pPage <<<#p") instead of a variable.
  bool page_number = false;
};

struct ReportBand {
  // Header and footer: where the band stands on the page. Detail bands: x is the offset from the
  // report area's left edge and height the band's height (a text block may make it taller); y is
  // not used.
  ReportRect at;
  std::vector<ReportControl> controls;
};

struct ReportDescription {
  std::string name;    // "P1$REPORT"
  std::string module;  // "pelkit$PELKI015"
  std::string title;   // the print job's name
  ReportFont font;
  int32_t page_width = 8500;  // US Letter
  int32_t page_height = 11000;
  ReportRect area;  // where detail bands go
  ReportBand header;
  ReportBand footer;
  std::vector<ReportBand> details;  // band n is details[n - 1]
};

}  // namespace pellucor::runtime
