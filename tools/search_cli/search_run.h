#pragma once
// One search of veskor-search, from its options to its exit status: the rows
// on `out`, the console lines and every message on `err`.

#include <cstdio>
#include <string>

#include "engine/concurrent_fetcher.h"
#include "engine/page_fetcher.h"
#include "tools/search_cli/cli_options.h"

namespace veskor::search_cli {

// Never throws: a failure of the search, of the output or of memory ends it
// with status 1 and a message; a reader that went away ends it silently with
// status 0, as a stop does. Both searches fetch their results pages through
// `sideBySide`; the quick search's ID lookup goes through `fetcher`.
int RunCliSearch(const CliOptions& options, const std::string& server, PageFetcher& fetcher,
                 ConcurrentFetcher& sideBySide, std::FILE* out, std::FILE* err);

}  // namespace veskor::search_cli
