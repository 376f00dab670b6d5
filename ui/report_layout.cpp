#include "ui/report_layout.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPicture>
#include <algorithm>
#include <cmath>
#include <utility>

#include "platform/file.h"
#include "runtime/locale/picture.h"
#include "ui/ansi_text.h"
#include "ui/dialog_units.h"
#include "ui/value_text.h"

namespace pellucor::ui {

using runtime::ReportBand;
using runtime::ReportControl;
using runtime::ReportControlKind;

namespace {

// Lines and frames are a hundredth of an inch wide.
constexpr int32_t kPenWidth = 10;

Qt::Alignment AlignOf(runtime::ReportAlign align) {
  switch (align) {
    case runtime::ReportAlign::kCenter:
      return Qt::AlignHCenter;
    case runtime::ReportAlign::kRight:
      return Qt::AlignRight;
    case runtime::ReportAlign::kLeft:
      break;
  }
  return Qt::AlignLeft;
}

int32_t LineHeight(const QFont& font) {
  return static_cast<int32_t>(std::ceil(QFontMetricsF(font).lineSpacing()));
}

// What a one-line control prints.
QString StringText(const ReportControl& c, int32_t page) {
  if (c.page_number) {
    return ToQt(runtime::FORMAT(runtime::FormatValue::Integer(page), c.picture));
  }
  if (!IsBound(c.use)) return ToQt(c.text);
  return ToQt(Shown(RawText(c.use), c.use, c.picture));
}

// A text block's whole text, without the padding of its variable.
QString BlockText(const ReportControl& c) {
  if (!IsBound(c.use)) return ToQt(c.text);
  return ToQt(RawText(c.use));
}

}  // namespace

QFont ReportFontOf(const runtime::ReportFont& font) {
  QFont f(SubstituteFamily(
      QString::fromLatin1(font.name.data(), static_cast<qsizetype>(font.name.size()))));
  // A point is 1/72 inch: its height in thousandths of an inch is the pixel size in page units.
  const int32_t points = font.size > 0 ? font.size : 10;
  f.setPixelSize(static_cast<int>(std::lround(points * 1000.0 / 72.0)));
  f.setBold(font.bold);
  f.setItalic(font.italic);
  // Page units are far finer than any screen: hinting would only make widths depend on it.
  f.setHintingPreference(QFont::PreferNoHinting);
  return f;
}

namespace {

// A measure forgets its words beyond this many, so that a report of endless different words
// keeps its memory bounded.
constexpr qsizetype kMeasuredWords = 20000;
constexpr int kTabBlanks = 4;

bool IsSeparator(QChar c) {
  return c == u' ' || c == u'\t';
}

// One paragraph (no line break inside) into `lines`.
void WrapParagraph(const QString& p, TextMeasure& measure, qreal width,
                   std::vector<QString>* lines) {
  QString line;
  qreal used = 0;     // the line's width up to the end of its last word
  qreal hanging = 0;  // the blanks after it
  const qsizetype n = p.size();
  qsizetype i = 0;
  while (i < n) {
    qsizetype j = i;
    while (j < n && !IsSeparator(p[j])) ++j;
    qsizetype k = j;
    while (k < n && IsSeparator(p[k])) ++k;
    const QString word = p.mid(i, j - i);
    const qreal separators = measure.Separators(QStringView(p).mid(j, k - j));
    const qreal w = word.isEmpty() ? 0 : measure.Word(word);
    if (!line.isEmpty() && !word.isEmpty() && used + hanging + w > width) {
      lines->push_back(line);
      line.clear();
      used = hanging = 0;
    }
    if (line.isEmpty() && w > width) {
      // A word wider than the block is broken where the block ends.
      qreal acc = 0;
      for (QChar c : word) {
        const qreal cw = measure.Char(c);
        if (!line.isEmpty() && acc + cw > width) {
          lines->push_back(line);
          line.clear();
          acc = 0;
        }
        line += c;
        acc += cw;
      }
      used = acc;
      hanging = 0;
    } else if (word.isEmpty()) {
      // Blanks that open the paragraph take their room.
      used += hanging + separators;
      line += p.mid(j, k - j);
      i = k;
      continue;
    } else {
      used += hanging + w;
      line += word;
    }
    line += p.mid(j, k - j);
    hanging = separators;
    i = k;
  }
  if (!line.isEmpty()) lines->push_back(line);
}

}  // namespace

TextMeasure::TextMeasure(const QFont& font) : metrics_(font) {
  blank_ = metrics_.horizontalAdvance(QLatin1Char(' '));
}

qreal TextMeasure::Word(const QString& word) {
  auto it = words_.constFind(word);
  if (it != words_.constEnd()) return *it;
  if (words_.size() >= kMeasuredWords) words_.clear();
  const qreal w = metrics_.horizontalAdvance(word);
  words_.insert(word, w);
  return w;
}

qreal TextMeasure::Char(QChar c) {
  auto it = chars_.constFind(c.unicode());
  if (it != chars_.constEnd()) return *it;
  const qreal w = metrics_.horizontalAdvance(c);
  chars_.insert(c.unicode(), w);
  return w;
}

qreal TextMeasure::Separators(QStringView separators) {
  qreal w = 0;
  for (QChar c : separators) w += c == u'\t' ? blank_ * kTabBlanks : blank_;
  return w;
}

QString DrawnLine(const QString& line) {
  if (!line.contains(u'\t')) return line;
  QString drawn = line;
  drawn.replace(u'\t', QString(kTabBlanks, u' '));
  return drawn;
}

std::vector<QString> WrapLines(const QString& text, TextMeasure& measure, qreal width) {
  std::vector<QString> lines;
  qsizetype start = 0;
  for (;;) {
    qsizetype end = start;
    while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
    const QString paragraph = text.mid(start, end - start);
    if (paragraph.isEmpty()) {
      lines.emplace_back();
    } else {
      std::vector<QString> wrapped;
      WrapParagraph(paragraph, measure, width, &wrapped);
      lines.insert(lines.end(), wrapped.begin(), wrapped.end());
    }
    if (end >= text.size()) break;
    // "\r\n" is one break.
    start = end + ((text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n') ? 2 : 1);
  }
  return lines;
}

std::vector<QString> WrapLines(const QString& text, const QFont& font, qreal width) {
  TextMeasure measure(font);
  return WrapLines(text, measure, width);
}

PageComposer::PageComposer(runtime::ReportDescription description) : d_(std::move(description)) {}

PageComposer::~PageComposer() {
  if (painter_) painter_->end();
}

void PageComposer::StartPage() {
  picture_ = std::make_unique<QPicture>();
  painter_ = std::make_unique<QPainter>(picture_.get());
  ++page_number_;
  // An invisible frame round the paper makes the picture's bounds the page's, so that whoever
  // shows or prints the page file knows the paper it was made for.
  painter_->setPen(Qt::NoPen);
  painter_->setBrush(Qt::NoBrush);
  painter_->drawRect(QRect(0, 0, d_.page_width, d_.page_height));
  DrawControls(d_.header, d_.header.at.x, d_.header.at.y, true);
  y_ = d_.area.y;
}

bool PageComposer::FinishPage(std::string* error) {
  DrawControls(d_.footer, d_.footer.at.x, d_.footer.at.y, true);
  painter_->end();
  painter_.reset();
  std::unique_ptr<QPicture> page = std::move(picture_);
  std::string path;
  platform::Env* env = platform::Env::Default();
  if (const platform::Status s = env->CreateTempFile("VEL", &path); !s.ok()) {
    *error = "No page file could be made in the temporary directory (system error " +
             std::to_string(s.error) + ")";
    return false;
  }
  if (!page->save(QString::fromLocal8Bit(path.data(), static_cast<qsizetype>(path.size())))) {
    (void)env->RemoveTemporary(path);
    *error = "The page could not be written to " + path;
    return false;
  }
  (pages_ != nullptr ? *pages_ : own_pages_).push_back(std::move(path));
  return true;
}

bool PageComposer::EndPage(std::string* error) {
  if (!painter_) return true;
  return FinishPage(error);
}

bool PageComposer::PrintBand(int32_t band, std::string* error) {
  if (band < 1 || band > static_cast<int32_t>(d_.details.size())) {
    *error = "The report has no detail band " + std::to_string(band);
    return false;
  }
  const ReportBand& b = d_.details[static_cast<size_t>(band - 1)];
  struct Block {
    const ReportControl* control;
    QFont font;
    std::vector<QString> lines;
    int32_t line_height;
  };
  std::vector<Block> blocks;
  // `natural`: the band's height on one page; `least`: what must fit on the page it starts on
  // (its fixed part and the first line of each text block).
  int32_t natural = b.at.height;
  int32_t least = b.at.height;
  for (const ReportControl& c : b.controls) {
    if (c.kind != ReportControlKind::kText) continue;
    Block block{&c, ReportFontOf(c.font.value_or(d_.font)), {}, 0};
    block.line_height = LineHeight(block.font);
    block.lines = WrapLines(BlockText(c), MeasureFor(block.font), std::max(1, c.at.width));
    // A block without text takes no line.
    if (block.lines.size() == 1 && block.lines.front().trimmed().isEmpty()) block.lines.clear();
    const int32_t tail = std::max(0, b.at.height - (c.at.y + c.at.height));
    const auto count = static_cast<int32_t>(block.lines.size());
    natural = std::max(natural, c.at.y + count * block.line_height + tail);
    if (count > 0) least = std::max(least, c.at.y + block.line_height);
    blocks.push_back(std::move(block));
  }
  if (!painter_) StartPage();
  if (y_ > d_.area.y && y_ + natural > AreaBottom() && y_ + least > AreaBottom()) {
    if (!FinishPage(error)) return false;
    StartPage();
  }
  const int32_t top = y_;
  const int32_t x = d_.area.x + b.at.x;
  DrawControls(b, x, top, false);
  int32_t end = top + b.at.height;
  bool broke = false;  // a text block went on onto a further page
  int32_t cursor = 0;  // after a break: where the next block goes on
  for (const Block& block : blocks) {
    const ReportControl& c = *block.control;
    painter_->setFont(block.font);
    painter_->setPen(Qt::black);
    const qreal ascent = QFontMetricsF(block.font).ascent();
    int32_t ly = broke ? cursor : top + c.at.y;
    for (const QString& line : block.lines) {
      // A line that alone is taller than the area still goes on an empty page.
      if (ly + block.line_height > AreaBottom() && ly > d_.area.y) {
        if (!FinishPage(error)) return false;
        StartPage();
        broke = true;
        ly = d_.area.y;
        painter_->setFont(block.font);
        painter_->setPen(Qt::black);
      }
      painter_->drawText(QPointF(x + c.at.x, ly + ascent), DrawnLine(line));
      ly += block.line_height;
    }
    const int32_t tail = std::max(0, b.at.height - (c.at.y + c.at.height));
    cursor = ly;
    end = broke ? std::max(ly + tail, d_.area.y) : std::max(end, ly + tail);
  }
  y_ = end;
  return true;
}

TextMeasure& PageComposer::MeasureFor(const QFont& font) {
  std::unique_ptr<TextMeasure>& m = measures_[font.key()];
  if (!m) m = std::make_unique<TextMeasure>(font);
  return *m;
}

void PageComposer::DrawControls(const ReportBand& band, int32_t x, int32_t y, bool text_blocks) {
  for (const ReportControl& c : band.controls) {
    if (c.kind == ReportControlKind::kText && !text_blocks) continue;
    DrawControl(c, x, y);
  }
}

void PageComposer::DrawControl(const ReportControl& c, int32_t x, int32_t y) {
  QPainter& p = *painter_;
  const QRect r(x + c.at.x, y + c.at.y, c.at.width, c.at.height);
  switch (c.kind) {
    case ReportControlKind::kString:
      p.setFont(ReportFontOf(c.font.value_or(d_.font)));
      p.setPen(Qt::black);
      p.drawText(
          r,
          static_cast<int>(AlignOf(c.align) | Qt::AlignTop | Qt::TextSingleLine | Qt::TextDontClip),
          StringText(c, page_number_));
      break;
    case ReportControlKind::kText: {
      // In a header or footer a text block stays inside its rectangle.
      const QFont font = ReportFontOf(c.font.value_or(d_.font));
      p.setFont(font);
      p.setPen(Qt::black);
      const int32_t lh = LineHeight(font);
      const qreal ascent = QFontMetricsF(font).ascent();
      int32_t ly = r.top();
      for (const QString& line :
           WrapLines(BlockText(c), MeasureFor(font), std::max(1, c.at.width))) {
        if (ly + lh > r.bottom() + 1) break;
        p.drawText(QPointF(r.left(), ly + ascent), DrawnLine(line));
        ly += lh;
      }
      break;
    }
    case ReportControlKind::kLine:
      p.setPen(QPen(Qt::black, kPenWidth));
      if (c.at.width >= c.at.height) {
        p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
      } else {
        p.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
      }
      break;
    case ReportControlKind::kBox:
      p.setPen(QPen(Qt::black, kPenWidth));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r);
      break;
  }
}

}  // namespace pellucor::ui
