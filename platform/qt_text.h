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

// The first character of `text` that has no Windows-1252 byte, if any.
std::optional<char32_t> FirstUnencodableCharacter(const QString& text);

// For input that is about to be sent or written: empty when every character
// of `text` has a Windows-1252 byte, otherwise the French sentence that
// refuses it, naming the first character that has none, for instance
// "Mot refusé : le caractère « Ω » de « Ωmega » n'existe pas en Windows-1252,
// le jeu de caractères de l'archive et des fichiers de groupe". `subject`
// starts it ("Mot refusé", "Nom de groupe refusé"); a long text is cut.
QString UnencodableTextMessage(const QString& subject, const QString& text);

}  // namespace veskor
