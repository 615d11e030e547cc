#include "platform/find_text.h"

#include <QList>
#include <array>

#include "base/cp1252.h"

namespace veskor {
namespace {

// Each Windows-1252 byte as it is searched for: up to two plain letters.
struct Folded {
  char first;
  char second;  // 0 when there is none
};

constexpr std::array<Folded, 256> MakeFoldTable() {
  std::array<Folded, 256> table{};
  for (int b = 0; b < 256; ++b) table[b] = {static_cast<char>(b), 0};
  for (int b = 'A'; b <= 'Z'; ++b) table[b] = {static_cast<char>(b - 'A' + 'a'), 0};
  const auto set = [&table](int from, int to, char first, char second = 0) {
    for (int b = from; b <= to; ++b) table[b] = {first, second};
  };
  set(0x8A, 0x8A, 's');
  set(0x8C, 0x8C, 'o', 'e');
  set(0x8E, 0x8E, 'z');
  // Typographic apostrophes (and the opening one that word processors put
  // at the start of a word) are typed as the straight one.
  set(0x91, 0x92, '\'');
  set(0x9A, 0x9A, 's');
  set(0x9C, 0x9C, 'o', 'e');
  set(0x9E, 0x9E, 'z');
  set(0x9F, 0x9F, 'y');
  for (int base : {0xC0, 0xE0}) {
    set(base + 0x00, base + 0x05, 'a');
    set(base + 0x06, base + 0x06, 'a', 'e');
    set(base + 0x07, base + 0x07, 'c');
    set(base + 0x08, base + 0x0B, 'e');
    set(base + 0x0C, base + 0x0F, 'i');
    set(base + 0x10, base + 0x10, 'd');
    set(base + 0x11, base + 0x11, 'n');
    set(base + 0x12, base + 0x16, 'o');
    set(base + 0x18, base + 0x18, 'o');
    set(base + 0x19, base + 0x1C, 'u');
    set(base + 0x1D, base + 0x1D, 'y');
  }
  set(0xDF, 0xDF, 's', 's');
  set(0xFF, 0xFF, 'y');
  return table;
}

constexpr std::array<Folded, 256> kFold = MakeFoldTable();

void AppendFoldedByte(std::string& out, unsigned char byte) {
  const Folded f = kFold[byte];
  out += f.first;
  if (f.second) out += f.second;
}

// Folds one typed character that Windows-1252 lacks through its
// decomposition ("ŝ" is "s" and a circumflex, "ﬁ" is "fi"): false when a
// part of it other than an accent has no byte either.
bool AppendDecomposed(std::string& out, char32_t character) {
  const QString parts = QString::fromUcs4(&character, 1).normalized(QString::NormalizationForm_KD);
  if (parts.size() == 1 && parts.at(0).unicode() == character) return false;
  for (const char32_t part : parts.toUcs4()) {
    if (QChar::isMark(part)) continue;
    const std::optional<unsigned char> byte = CodePointToCp1252(part);
    if (!byte) return false;
    AppendFoldedByte(out, *byte);
  }
  return true;
}

}  // namespace

void AppendFoldedCell(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    if (c == '\0') break;
    AppendFoldedByte(out, static_cast<unsigned char>(c));
  }
}

std::optional<std::string> FoldFindText(const QString& text) {
  std::string out;
  out.reserve(static_cast<std::size_t>(text.size()));
  for (const char32_t character : text.toUcs4()) {
    if (character == U'\u02BC') {  // the modifier letter apostrophe of some keyboards
      out += '\'';
    } else if (const std::optional<unsigned char> byte = CodePointToCp1252(character)) {
      AppendFoldedByte(out, *byte);
    } else if (!AppendDecomposed(out, character)) {
      return std::nullopt;
    }
  }
  return out;
}

}  // namespace veskor
