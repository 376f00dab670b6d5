// Report pages laid out from a report description: the page header at the top of every page,
// detail bands one under the other down the report area, and the footer with the page number
// when a page is finished. Each finished page is recorded as a picture in page units (one unit a
// thousandth of an inch, the origin at the paper's top-left corner) and saved as a page file.
//
// Text blocks wrap at word boundaries (inside a word only when the word alone is wider than the
// block) and go on at the top of the report area of the next page when the page is full, so a
// memo of any length prints whole. A detail band starts a new page when its fixed controls and
// the first line of its text blocks do not fit below the bands already on the page.
//
// GUI thread only (fonts and pictures).
#pragma once

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/report/report_description.h"

class QPainter;
class QPicture;

namespace pellucor::ui {

// The font of a report control in page units (its pixel size is its height in thousandths of an
// inch), with the faces of the system the descriptions come from mapped as windows map them.
[[nodiscard]] QFont ReportFontOf(const runtime::ReportFont& font);

// The widths of words in one font, each word measured once: the memos of a report use the same
// words again and again, and measuring is the costly part of wrapping.
class TextMeasure {
 public:
  explicit TextMeasure(const QFont& font);
  [[nodiscard]] qreal Word(const QString& word);
  [[nodiscard]] qreal Char(QChar c);
  // Blanks and tabs between words (a tab counts as four blanks, as it is drawn).
  [[nodiscard]] qreal Separators(QStringView separators);

 private:
  QFontMetricsF metrics_;
  qreal blank_ = 0;
  QHash<QString, qreal> words_;
  QHash<char16_t, qreal> chars_;
};

// `text` broken into the lines a block `width` page units wide shows: between words, or inside a
// word that alone is wider than the block; a line break in the text ("\r\n", "\n" or "\r")
// always ends a line, and blanks at the end of a line hang beyond its width. Joining the lines
// back, with the text's own breaks where they were, gives the text again: nothing is lost.
[[nodiscard]] std::vector<QString> WrapLines(const QString& text, TextMeasure& measure,
                                             qreal width);
[[nodiscard]] std::vector<QString> WrapLines(const QString& text, const QFont& font, qreal width);
// A line as it is drawn: tabs as four blanks.
[[nodiscard]] QString DrawnLine(const QString& line);

class PageComposer {
 public:
  // REQUIRES: the variables the description's controls use stay valid while bands are printed.
  explicit PageComposer(runtime::ReportDescription description);
  ~PageComposer();
  PageComposer(const PageComposer&) = delete;
  PageComposer& operator=(const PageComposer&) = delete;

  // Finished pages go to `pages` (null: to the composer's own list, see own_pages).
  void SetPageList(std::vector<std::string>* pages) { pages_ = pages; }
  [[nodiscard]] std::vector<std::string>& own_pages() { return own_pages_; }

  // False: no such band, or a page file could not be written (`error` says why).
  [[nodiscard]] bool PrintBand(int32_t band, std::string* error);
  // Finishes the page that is started, if any.
  [[nodiscard]] bool EndPage(std::string* error);
  [[nodiscard]] int32_t pages_finished() const { return page_number_ - (painter_ ? 1 : 0); }
  [[nodiscard]] const runtime::ReportDescription& description() const { return d_; }

 private:
  void StartPage();
  [[nodiscard]] bool FinishPage(std::string* error);
  [[nodiscard]] int32_t AreaBottom() const { return d_.area.y + d_.area.height; }
  // Draws the fixed controls of `band` with its top-left corner at (x, y).
  void DrawControls(const runtime::ReportBand& band, int32_t x, int32_t y, bool text_blocks);
  void DrawControl(const runtime::ReportControl& c, int32_t x, int32_t y);
  [[nodiscard]] TextMeasure& MeasureFor(const QFont& font);

  runtime::ReportDescription d_;
  std::unique_ptr<QPicture> picture_;
  std::unique_ptr<QPainter> painter_;
  int32_t page_number_ = 0;  // the page started last
  int32_t y_ = 0;            // where the next detail band goes on the started page
  std::vector<std::string>* pages_ = nullptr;
  std::vector<std::string> own_pages_;
  std::map<QString, std::unique_ptr<TextMeasure>> measures_;  // by QFont::key()
};

}  // namespace pellucor::ui
