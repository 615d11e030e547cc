#include "platform/qt_text.h"

#include <QList>

#include "platform/cp1252.h"

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

bool IsAnsiEncodable(const QString& text) {
  for (const char32_t cp : text.toUcs4())
    if (!CodePointToCp1252(cp)) return false;
  return true;
}

std::optional<QString> FirstNonAnsiCharacter(const QString& text) {
  for (qsizetype i = 0; i < text.size();) {
    const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() &&
                      text.at(i + 1).isLowSurrogate();
    const qsizetype length = pair ? 2 : 1;
    const char32_t cp = pair ? QChar::surrogateToUcs4(text.at(i), text.at(i + 1))
                             : static_cast<char32_t>(text.at(i).unicode());
    // A lone surrogate half is no character at all, and has no byte either.
    if (QChar::isSurrogate(cp) || !CodePointToCp1252(cp)) return text.mid(i, length);
    i += length;
  }
  return std::nullopt;
}

}  // namespace veskor
