#include "ui/ansi_text.h"

#include "platform/codepage.h"

namespace pellucor::ui {

QString ToQt(std::string_view ansi) {
  QString out;
  out.reserve(static_cast<qsizetype>(ansi.size()));
  for (char c : ansi) {
    out.append(QChar(static_cast<char16_t>(platform::AnsiToUnicode(static_cast<uint8_t>(c)))));
  }
  return out;
}

std::optional<std::string> FromQt(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return platform::Utf8ToAnsi(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

QString ForeignCharacter(const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype n = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    const QString one = text.mid(i, n);
    if (!FromQt(one)) return one;
    i += n - 1;
  }
  return {};
}

QString RefusalNotice(const QString& character) {
  return QStringLiteral(
             "\"%1\" cannot be stored: only Western European characters "
             "(Windows-1252) are kept")
      .arg(character);
}

QString WithoutMnemonic(const QString& text) {
  QString out;
  for (qsizetype i = 0; i < text.size(); ++i) {
    if (text.at(i) == u'&' && i + 1 < text.size()) ++i;
    out.append(text.at(i));
  }
  return out;
}

QString MessageLines(std::string_view ansi) {
  QString text = ToQt(ansi);
  text.replace(u'|', u'\n');
  return text;
}

}  // namespace pellucor::ui
