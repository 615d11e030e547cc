#pragma once
// Text written for spreadsheets (the exports, the command line's CSV). A cell
// starting with one of these characters is taken for a formula, or for the
// start of one, by the usual spreadsheets: "=cmd|' /C calc'!A0" from the
// archive would run. Behind a leading apostrophe it stays text.

#include <string_view>

namespace veskor {

constexpr bool StartsAsFormula(char32_t first) {
  return first < 0x80 && std::string_view("=+-@\t\r").find(static_cast<char>(first)) != std::string_view::npos;
}

}  // namespace veskor
