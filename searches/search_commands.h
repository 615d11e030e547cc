#pragma once
// The quick search and the group search, without their window: the desktop
// program and the command-line search both run these.

#include <string_view>

#include "engine/page_walker.h"
#include "searches/search_outcome.h"

namespace veskor {

// Clears the table, lowers the stop flag, looks up the newsgroup's archive ID
// and walks its results pages, also under an ID that names no newsgroup (the
// outcome says so). Errors propagate; rows already written stay.
SearchOutcome RunQuickSearch(SearchContext& ctx, std::string_view word,
                             std::string_view newsgroup);

// Clears the table, lowers the stop flag and walks every newsgroup of the
// group file "<group>.txt", one after the other, with the IDs stored there.
SearchOutcome RunGroupSearch(SearchContext& ctx, std::string_view word,
                             std::string_view groupName);

}  // namespace veskor
