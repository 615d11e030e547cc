#include "engine/readable_text.h"

namespace veskor {

std::string ReadableExcerpt(std::string_view text) {
  if (text.size() <= kReadableLength) return std::string(text);
  return std::string(text.substr(0, kReadableLength)) + '\x85';
}

}  // namespace veskor
