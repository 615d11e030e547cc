#include "engine/archive_requests.h"

#include <cstdlib>

#include "engine/text_cut.h"

#ifndef VESKOR_ARCHIVE_URL
#define VESKOR_ARCHIVE_URL "http://127.0.0.1:8642"
#endif

namespace veskor {
namespace {

bool IsUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_' || c == '~';
}

}  // namespace

std::string SpacesToPercent(std::string_view word) {
  std::string out(word);
  for (char& c : out)
    if (c == ' ') c = '%';
  return out;
}

std::string PercentEncode(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 3);
  for (const char ch : bytes) {
    const auto c = static_cast<unsigned char>(ch);
    if (IsUnreserved(c)) {
      out += ch;
    } else {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 0x0F];
    }
  }
  return out;
}

std::string IdLookupAddress(std::string_view server, std::string_view newsgroup) {
  return std::string(server) + "/part2.pl?name=" + PercentEncode(newsgroup);
}

std::string FirstPageAddress(std::string_view server, std::string_view word,
                             std::string_view archiveId) {
  return std::string(server) + "/articles.pl?search=" + PercentEncode(word) +
         "&gid=" + PercentEncode(archiveId) + "&search=rechercher&thumb=";
}

std::string NextPageAddress(std::string_view server, std::string_view archiveId, long long page,
                            std::string_view word) {
  return std::string(server) + "/articles.pl?gid=" + PercentEncode(archiveId) +
         "&page=" + std::to_string(page) + "&search=" + PercentEncode(word) + "&thumb=";
}

std::string CutNewsgroupId(std::string_view body) {
  static constexpr std::string_view kStart = "ok=";
  static constexpr std::string_view kEnd = "'\">";
  body = UpToFirstZero(body);
  const std::size_t okAt = FindMarker(body, kStart);
  if (okAt == kNotFound) return {};
  const std::size_t start = okAt + kStart.size();
  // The ID is never allowed to carry a line break: it ends up as one line of
  // a group file, where a break would shift every following pair.
  std::size_t end = body.find_first_of("\r\n", start);
  const std::size_t marker = FindMarker(body, kEnd, start);
  if (marker < end) end = marker;
  return std::string(CutPiece(body, start, end - start));
}

std::string LookupNewsgroupId(PageFetcher& fetcher, const std::string& url) {
  return CutNewsgroupId(fetcher.Get(url));
}

std::string NormalizeArchiveServer(std::string_view address) {
  while (!address.empty() && address.back() == '/') address.remove_suffix(1);
  return std::string(address);
}

std::string DefaultArchiveServer() {
  const char* fromEnv = std::getenv("VESKOR_ARCHIVE");
  if (fromEnv != nullptr && *fromEnv != '\0') return NormalizeArchiveServer(fromEnv);
  return NormalizeArchiveServer(VESKOR_ARCHIVE_URL);
}

}  // namespace veskor
