// The preview's page area: page files drawn scaled inside a region control of the preview
// window. One page fitted to the width, one page at a percentage of its printed size (with scroll
// bars when it is larger than the area), or several pages side by side as tiles. The page shown,
// or the one marked among the tiles, has a frame of the selection colour.
//
// The canvas takes no focus: the keys stay with the window's controls, whose Page Up and Page Down
// turn the pages. GUI thread only.
#pragma once

#include <QPicture>
#include <QScrollArea>
#include <map>
#include <string>

#include "runtime/report/report_engine.h"

namespace pellucor::ui {

class PageSheet;

class PageCanvas : public QScrollArea {
 public:
  explicit PageCanvas(QWidget* parent);
  ~PageCanvas() override;

  void SetView(const runtime::PageView& view);
  [[nodiscard]] const runtime::PageView& view() const { return view_; }
  // The page file `index` (from 0), loaded once and kept while it is among those shown.
  [[nodiscard]] const QPicture* Page(int index);
  // The pages drawn now, from 1 (for tests and screen readers).
  [[nodiscard]] std::vector<int> PagesShown() const;
  // One page unit in pixels at the present zoom and size (tiles: of the first tile).
  [[nodiscard]] qreal Scale();

 protected:
  void resizeEvent(QResizeEvent* e) override;

 private:
  friend class PageSheet;
  void Relayout();

  runtime::PageView view_;
  PageSheet* sheet_ = nullptr;
  std::map<int, QPicture> cache_;
};

}  // namespace pellucor::ui
