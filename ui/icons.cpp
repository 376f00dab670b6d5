#include "ui/icons.h"

#include <QApplication>
#include <QFile>
#include <QStyle>

#include "ui/ansi_text.h"

namespace pellucor::ui {

QIcon IconFor(std::string_view name) {
  QString n = ToQt(name).trimmed();
  if (n.isEmpty()) return {};
  if (n.startsWith(u'*')) {
    const QString s = n.mid(1).toLower();
    QStyle* style = QApplication::style();
    if (s.startsWith(u"exclam")) return style->standardIcon(QStyle::SP_MessageBoxWarning);
    if (s.startsWith(u"quest")) return style->standardIcon(QStyle::SP_MessageBoxQuestion);
    if (s.startsWith(u"hand") || s.startsWith(u"error")) {
      return style->standardIcon(QStyle::SP_MessageBoxCritical);
    }
    if (s.startsWith(u"asterisk") || s.startsWith(u"info")) {
      return style->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    return style->standardIcon(QStyle::SP_DesktopIcon);
  }
  if (n.startsWith(u'~')) n = n.mid(1);
  n = n.toLower();
  if (n.endsWith(u".ico")) n.chop(4);
  const QString bundled = QStringLiteral(":/icons/%1.png").arg(n);
  if (!QFile::exists(bundled)) return QIcon::fromTheme(n);
  return QIcon::fromTheme(n, QIcon(bundled));
}

}  // namespace pellucor::ui
