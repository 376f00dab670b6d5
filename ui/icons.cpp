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
    if (s == u"ok") return style->standardIcon(QStyle::SP_DialogOkButton);
    if (s == u"cancel") return style->standardIcon(QStyle::SP_DialogCancelButton);
    if (s == u"help") return style->standardIcon(QStyle::SP_DialogHelpButton);
    if (s == u"close") return style->standardIcon(QStyle::SP_DialogCloseButton);
    return style->standardIcon(QStyle::SP_DesktopIcon);
  }
  if (n.startsWith(u'~')) n = n.mid(1);
  n = n.toLower();
  // Icons and pictures are named as files ("mark.ico", "notepad.bmp"); ours are bundled as PNG.
  if (const qsizetype dot = n.lastIndexOf(u'.'); dot > 0) n.truncate(dot);
  // Our drawings are SVG (crisp at every size), a few older ones PNG; they keep one style
  // whatever the desktop's icon theme. A name we did not draw is looked up in the theme.
  for (const char* format : {"svg", "png"}) {
    const QString bundled = QStringLiteral(":/icons/%1.%2").arg(n, QLatin1String(format));
    if (QFile::exists(bundled)) return QIcon(bundled);
  }
  return QIcon::fromTheme(n);
}

}  // namespace pellucor::ui
