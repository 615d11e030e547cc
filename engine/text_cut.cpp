#include "engine/text_cut.h"

#include <cstring>

#include "engine/errors.h"

namespace veskor {

std::size_t FindMarker(std::string_view text, std::string_view marker, std::size_t from) {
  if (from > text.size()) return kNotFound;
  if (marker.empty()) return from;
  // A short text is searched faster by a plain scan than by glibc's memmem,
  // whose set-up would cost more than the search itself; on long runs of
  // markup memmem's linear two-way search wins.
  if (text.size() - from < 256) return text.find(marker, from);
  const void* hit = ::memmem(text.data() + from, text.size() - from, marker.data(), marker.size());
  return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : kNotFound;
}

std::string_view CutPiece(std::string_view text, std::size_t start, std::size_t length) {
  if (start > text.size())
    throw OutOfRangeError(
        "R\xE9ponse inattendue de l'archive : d\xE9""coupage hors limites (position " +
        std::to_string(start) + " sur " + std::to_string(text.size()) + " caract\xE8res)");
  return text.substr(start, length);
}

std::string_view UpToFirstZero(std::string_view text) {
  const auto zero = static_cast<const char*>(std::memchr(text.data(), '\0', text.size()));
  return zero ? text.substr(0, static_cast<std::size_t>(zero - text.data())) : text;
}

}  // namespace veskor
