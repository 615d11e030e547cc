#pragma once
// How the find bar compares texts: cells and the typed text are both brought
// to lower case without accents, so that "EGLISE" finds "église" and "oe"
// finds "Œ", and the typographic apostrophe and the straight one are one.

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace veskor {

// A cell's Windows-1252 bytes, folded, appended to `out`; up to the first
// zero byte, past which a cell is not shown.
void AppendFoldedCell(std::string& out, std::string_view bytes);

// The typed text folded the same way, or nothing when it holds a character
// that no cell can hold (Windows-1252 lacks it, even without its accents):
// such a text is in no row.
std::optional<std::string> FoldFindText(const QString& text);

}  // namespace veskor
