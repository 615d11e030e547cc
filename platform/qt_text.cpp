#include "platform/qt_text.h"

#include <QList>

#include "base/cp1252.h"

namespace veskor {

QString FromAnsi(std::string_view bytes) {
  QString out;
  out.reserve(static_cast<qsizetype>(bytes.size()));
  for (const char c : bytes) {
    if (c == '\0') break;
    const char32_t cp = Cp1252ToCodePoint(static_cast<unsigned char>(c));
    out.append(QChar(static_cast<char16_t>(cp)));
  }
  return out;
}

std::string ToAnsi(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (const char32_t cp : text.toUcs4()) {
    const auto byte = CodePointToCp1252(cp);
    out += byte ? static_cast<char>(*byte) : '?';
  }
  return out;
}

bool IsAnsiEncodable(const QString& text) { return !FirstUnencodableCharacter(text); }

std::optional<char32_t> FirstUnencodableCharacter(const QString& text) {
  for (const char32_t cp : text.toUcs4())
    if (!CodePointToCp1252(cp)) return cp;
  return std::nullopt;
}

QString UnencodableTextMessage(const QString& subject, const QString& text) {
  const std::optional<char32_t> refused = FirstUnencodableCharacter(text);
  if (!refused) return {};
  // A pasted page must not make a box that fills the screen.
  constexpr qsizetype kShownLength = 200;
  QString shown = text;
  if (shown.size() > kShownLength) {
    shown.truncate(kShownLength);
    if (shown.back().isHighSurrogate()) shown.chop(1);
    shown += QChar(0x2026);
  }
  return QStringLiteral("%1 : le caractère « %2 » de « %3 » n'existe pas en Windows-1252, "
                        "le jeu de caractères de l'archive et des fichiers de groupe")
      .arg(subject, QString::fromUcs4(&*refused, 1), shown);
}

}  // namespace veskor
