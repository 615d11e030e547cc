#pragma once
// The archive's request addresses and the newsgroup ID lookup.
//
// `server` is the archive's address without a trailing slash, for instance
// "http://127.0.0.1:8642". Names, words and IDs are percent-encoded byte for
// byte when they go into an address, so that the server decodes exactly the
// text that was meant ("fr.comp.lang.c++" stays itself, "é" goes out as %E9
// and the "%" wildcard as %25).

#include <string>
#include <string_view>

#include "engine/page_fetcher.h"

namespace veskor {

// Each space becomes one "%", the archive's wildcard; nothing else changes.
std::string SpacesToPercent(std::string_view word);

// Every byte that is not an unreserved URL character (A-Z a-z 0-9 - . _ ~)
// becomes %XX with upper-case hex digits.
std::string PercentEncode(std::string_view bytes);

std::string IdLookupAddress(std::string_view server, std::string_view newsgroup);
std::string FirstPageAddress(std::string_view server, std::string_view word,
                             std::string_view archiveId);
std::string NextPageAddress(std::string_view server, std::string_view archiveId, long long page,
                            std::string_view word);

// The ID as cut out of a lookup reply: the text between the first "ok=" and
// the first "'\">" after it, never past the end of that line. Empty when the
// reply holds no "ok=".
std::string CutNewsgroupId(std::string_view body);

// Fetches the lookup reply and cuts the ID out of it.
std::string LookupNewsgroupId(PageFetcher& fetcher, const std::string& url);

// The archive address in force: $VESKOR_ARCHIVE when set and not empty,
// otherwise the address the program was built with. No trailing slash.
std::string DefaultArchiveServer();

// Strips trailing slashes from an address given by the user.
std::string NormalizeArchiveServer(std::string_view address);

}  // namespace veskor
