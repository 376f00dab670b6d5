// Fonts and dialog units. Window descriptions place controls in dialog units of the window's
// font: one horizontal unit is a quarter of the font's average character width, one vertical
// unit an eighth of its height.
#pragma once

#include <QFont>
#include <QPoint>
#include <QRect>

#include "runtime/window/description.h"

namespace pellucor::ui {

// The font of a description, with the old bitmap and outline faces mapped to the metric-compatible
// Liberation family.
[[nodiscard]] QFont FontOf(const runtime::WindowFont& font);
[[nodiscard]] QString SubstituteFamily(const QString& family);

class DialogUnits {
 public:
  explicit DialogUnits(const QFont& font);
  [[nodiscard]] int X(int units) const;  // pixels
  [[nodiscard]] int Y(int units) const;
  [[nodiscard]] int ToUnitsX(int pixels) const;
  [[nodiscard]] int ToUnitsY(int pixels) const;
  [[nodiscard]] QRect Rect(const runtime::DialogRect& r) const;

 private:
  int char_width_ = 6;
  int char_height_ = 13;
};

}  // namespace pellucor::ui
