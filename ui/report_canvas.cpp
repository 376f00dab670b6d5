#include "ui/report_canvas.h"

#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <algorithm>
#include <set>

#include "ui/report_pages.h"

namespace pellucor::ui {

namespace {

constexpr int kMargin = 12;  // pixels round a page and between tiles

QSize Paper(const QPicture* page) {
  return page != nullptr ? PaperOf(*page) : QSize(8500, 11000);
}

}  // namespace

class PageSheet : public QWidget {
 public:
  explicit PageSheet(PageCanvas& canvas) : QWidget(&canvas), canvas_(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
  }

  // Where each page shown goes, with its page number (from 1), and the scale of page units.
  struct Placed {
    int page;
    QRectF rect;
  };
  std::vector<Placed> Layout(qreal* scale_out) {
    std::vector<Placed> out;
    const runtime::PageView& v = canvas_.view_;
    const int count = static_cast<int>(v.pages.size());
    if (count == 0) return out;
    const QSize viewport = canvas_.viewport()->size();
    if (v.zoom == -2) {
      const int across = std::max(1, v.across);
      const int down = std::max(1, v.down);
      const qreal cell_w = std::max(1.0, (viewport.width() - kMargin * (across + 1.0)) / across);
      const qreal cell_h = std::max(1.0, (viewport.height() - kMargin * (down + 1.0)) / down);
      // The pages of a report share their paper: one scale for all, and the tiles packed
      // together in the middle of the area.
      const QSize paper = Paper(canvas_.Page(std::clamp(v.first, 1, count) - 1));
      const qreal s = std::min(cell_w / paper.width(), cell_h / paper.height());
      if (scale_out != nullptr) *scale_out = s;
      const qreal w = paper.width() * s;
      const qreal h = paper.height() * s;
      const qreal x0 = (viewport.width() - (across * w + (across - 1) * kMargin)) / 2;
      const qreal y0 = (viewport.height() - (down * h + (down - 1) * kMargin)) / 2;
      for (int i = 0; i < across * down; ++i) {
        const int page = v.first + i;
        if (page < 1 || page > count) continue;
        out.push_back({page, QRectF(x0 + (i % across) * (w + kMargin),
                                    y0 + (i / across) * (h + kMargin), w, h)});
      }
      return out;
    }
    const int page = std::clamp(v.current, 1, count);
    const QSize paper = Paper(canvas_.Page(page - 1));
    qreal s = 0;
    if (v.zoom == -1) {
      s = std::max(1.0, viewport.width() - 2.0 * kMargin) / paper.width();
    } else {
      s = std::max(1, v.zoom) / 100.0 * logicalDpiX() / 1000.0;
    }
    if (scale_out != nullptr) *scale_out = s;
    const qreal w = paper.width() * s;
    const qreal h = paper.height() * s;
    const qreal x = std::max<qreal>(kMargin, (viewport.width() - w) / 2);
    out.push_back({page, QRectF(x, kMargin, w, h)});
    return out;
  }

  QSize Wanted() {
    const QSize viewport = canvas_.viewport()->size();
    if (canvas_.view_.zoom == -2) return viewport;
    QRectF all;
    for (const Placed& p : Layout(nullptr)) all = all.united(p.rect);
    return QSize(std::max(viewport.width(), static_cast<int>(all.right()) + kMargin),
                 std::max(viewport.height(), static_cast<int>(all.bottom()) + kMargin));
  }

 protected:
  void paintEvent(QPaintEvent* e) override {
    QPainter p(this);
    p.fillRect(e->rect(), palette().color(QPalette::Dark));
    const runtime::PageView& v = canvas_.view_;
    for (const Placed& placed : Layout(nullptr)) {
      const QPicture* page = canvas_.Page(placed.page - 1);
      const QRectF r = placed.rect;
      p.fillRect(r.translated(3, 3), QColor(0, 0, 0, 80));
      p.fillRect(r, Qt::white);
      if (page != nullptr) {
        p.save();
        p.setClipRect(r);
        p.translate(r.topLeft());
        PlayPage(p, *page, r.width() / Paper(page).width());
        p.restore();
      }
      const bool marked = v.zoom == -2 && placed.page == v.current;
      p.setPen(marked ? QPen(palette().color(QPalette::Highlight), 3)
                      : QPen(palette().color(QPalette::Shadow), 1));
      p.setBrush(Qt::NoBrush);
      p.drawRect(r.adjusted(-1, -1, 0, 0));
    }
  }

 private:
  PageCanvas& canvas_;
};

PageCanvas::PageCanvas(QWidget* parent) : QScrollArea(parent) {
  setObjectName(QStringLiteral("pageCanvas"));
  setAccessibleName(QStringLiteral("Report pages"));
  setFocusPolicy(Qt::NoFocus);
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(false);
  sheet_ = new PageSheet(*this);
  setWidget(sheet_);
  horizontalScrollBar()->setFocusPolicy(Qt::NoFocus);
  verticalScrollBar()->setFocusPolicy(Qt::NoFocus);
}

PageCanvas::~PageCanvas() = default;

void PageCanvas::SetView(const runtime::PageView& view) {
  if (view.pages != view_.pages) cache_.clear();
  view_ = view;
  // Keep only the pages shown now: a long report never sits in memory whole.
  std::set<int> shown;
  for (int page : PagesShown()) shown.insert(page - 1);
  for (auto it = cache_.begin(); it != cache_.end();) {
    it = shown.count(it->first) != 0 ? std::next(it) : cache_.erase(it);
  }
  setHorizontalScrollBarPolicy(view.zoom == -2 || view.zoom == -1 ? Qt::ScrollBarAlwaysOff
                                                                  : Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(view.zoom == -2 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  const int count = static_cast<int>(view.pages.size());
  sheet_->setAccessibleDescription(
      count == 0
          ? QString()
          : QStringLiteral("Page %1 of %2").arg(std::clamp(view.current, 1, count)).arg(count));
  Relayout();
  verticalScrollBar()->setValue(0);
  sheet_->update();
}

const QPicture* PageCanvas::Page(int index) {
  if (index < 0 || index >= static_cast<int>(view_.pages.size())) return nullptr;
  auto it = cache_.find(index);
  if (it == cache_.end()) {
    QPicture page;
    if (!LoadPage(view_.pages[static_cast<size_t>(index)], &page)) return nullptr;
    it = cache_.emplace(index, std::move(page)).first;
  }
  return &it->second;
}

std::vector<int> PageCanvas::PagesShown() const {
  std::vector<int> out;
  const int count = static_cast<int>(view_.pages.size());
  if (count == 0) return out;
  if (view_.zoom != -2) {
    out.push_back(std::clamp(view_.current, 1, count));
    return out;
  }
  for (int i = 0; i < std::max(1, view_.across) * std::max(1, view_.down); ++i) {
    if (const int page = view_.first + i; page >= 1 && page <= count) out.push_back(page);
  }
  return out;
}

qreal PageCanvas::Scale() {
  qreal s = 0;
  (void)sheet_->Layout(&s);
  return s;
}

void PageCanvas::resizeEvent(QResizeEvent* e) {
  QScrollArea::resizeEvent(e);
  Relayout();
}

void PageCanvas::Relayout() {
  sheet_->resize(sheet_->Wanted());
  sheet_->update();
}

}  // namespace pellucor::ui
