#pragma once
// Texts of the user's or the archive's that a message quotes: an address built
// from a one-megabyte group file line would make the message box unreadable
// and slow to build, so a message only ever shows the start of such a text.

#include <cstddef>
#include <string>
#include <string_view>

namespace veskor {

inline constexpr std::size_t kReadableLength = 200;

// `text` itself when it is at most kReadableLength bytes long, otherwise its
// first kReadableLength bytes followed by "…" (Windows-1252).
std::string ReadableExcerpt(std::string_view text);

}  // namespace veskor
