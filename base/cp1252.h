#pragma once
// Windows-1252 <-> UTF-8. Stored files, replies and every engine string are
// Windows-1252 bytes; the terminal and the file system speak UTF-8.

#include <optional>
#include <string>
#include <string_view>

namespace veskor {

// Each byte becomes its character. The five bytes Windows-1252 leaves
// undefined (0x81 0x8D 0x8F 0x90 0x9D) map to the C1 controls of the same
// value, so every byte string survives a round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// The Unicode code point of one Windows-1252 byte.
char32_t Cp1252ToCodePoint(unsigned char byte);

// The Windows-1252 byte of a code point, or nothing when it has none.
std::optional<unsigned char> CodePointToCp1252(char32_t codePoint);

// Nothing when the text is not valid UTF-8 or holds a character that has no
// Windows-1252 byte.
std::optional<std::string> Utf8ToCp1252(std::string_view utf8);

}  // namespace veskor
