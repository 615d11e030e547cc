#pragma once
// Conversions between the engine's Windows-1252 byte strings and Qt's strings,
// done only where text meets a widget.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace veskor {

// The bytes up to the first zero byte, as text.
QString FromAnsi(std::string_view bytes);

// The text as Windows-1252 bytes; a character without a byte becomes "?".
std::string ToAnsi(const QString& text);

// False when some character of `text` has no Windows-1252 byte.
bool IsAnsiEncodable(const QString& text);

// The first character of `text` that has no Windows-1252 byte (both halves
// of a surrogate pair), so that a refusal can name it; nothing when every
// character has one.
std::optional<QString> FirstNonAnsiCharacter(const QString& text);

}  // namespace veskor
