#include "ui/dialog_units.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace pellucor::ui {

QString SubstituteFamily(const QString& family) {
  const QString f = family.trimmed().toLower();
  if (f.isEmpty() || f == u"ms sans serif" || f == u"arial" || f == u"helvetica" ||
      f == u"ms shell dlg" || f == u"microsoft sans serif") {
    return QStringLiteral("Liberation Sans");
  }
  if (f == u"times new roman" || f == u"ms serif") return QStringLiteral("Liberation Serif");
  if (f == u"courier new" || f == u"courier") return QStringLiteral("Liberation Mono");
  return family;
}

QFont FontOf(const runtime::WindowFont& font) {
  QFont f(SubstituteFamily(
      QString::fromLatin1(font.name.data(), static_cast<qsizetype>(font.name.size()))));
  f.setPointSize(font.size > 0 ? font.size : 8);
  f.setBold(font.bold);
  f.setItalic(font.italic);
  return f;
}

DialogUnits::DialogUnits(const QFont& font) {
  const QFontMetrics m(font);
  // The average width of the letters, rounded as the system the descriptions come from did.
  const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  char_width_ = std::max(1, (m.horizontalAdvance(letters) / 26 + 1) / 2);
  char_height_ = std::max(1, m.height());
}

int DialogUnits::X(int units) const {
  return static_cast<int>(std::lround(units * char_width_ / 4.0));
}
int DialogUnits::Y(int units) const {
  return static_cast<int>(std::lround(units * char_height_ / 8.0));
}
int DialogUnits::ToUnitsX(int pixels) const {
  return static_cast<int>(std::lround(pixels * 4.0 / char_width_));
}
int DialogUnits::ToUnitsY(int pixels) const {
  return static_cast<int>(std::lround(pixels * 8.0 / char_height_));
}
QRect DialogUnits::Rect(const runtime::DialogRect& r) const {
  return QRect(X(r.x), Y(r.y), X(r.width), Y(r.height));
}

}  // namespace pellucor::ui
