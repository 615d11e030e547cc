#pragma once
// The search-and-cut arithmetic every reply of the archive is taken apart with:
// unsigned positions, "not found" as the largest position, offsets and lengths
// that wrap around, and a cut that fails only when it starts past the end.

#include <cstddef>
#include <string>
#include <string_view>

namespace veskor {

inline constexpr std::size_t kNotFound = std::string_view::npos;

// First occurrence of `marker` in `text` at or after `from`, or kNotFound.
std::size_t FindMarker(std::string_view text, std::string_view marker, std::size_t from = 0);

// The piece of `text` from `start`, at most `length` characters and never past
// the end. Throws OutOfRangeError when `start` is beyond the end of `text`.
std::string_view CutPiece(std::string_view text, std::size_t start,
                          std::size_t length = kNotFound);

// The text up to its first zero byte: how a reply body is seen.
std::string_view UpToFirstZero(std::string_view text);

}  // namespace veskor
