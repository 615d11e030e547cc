#pragma once
// The quick search and the group search, without their window: the desktop
// program and the command-line search both run these.

#include <string>
#include <string_view>
#include <vector>

#include "engine/page_walker.h"
#include "groups/group_store.h"
#include "searches/search_outcome.h"

namespace veskor {

// Clears the table, lowers the stop flag, looks up the newsgroup's archive ID
// and walks its results pages, also under an ID that names no newsgroup (the
// outcome says so). Errors propagate; rows already written stay.
SearchOutcome RunQuickSearch(SearchContext& ctx, std::string_view word,
                             std::string_view newsgroup);

// What a group search walks and how it will end, known before the first
// fetch: every pair of the file is walked, a stop included, and an error
// ends the search with no outcome at all.
struct GroupSearchPlan {
  std::string pattern;              // the word as the archive gets it
  std::vector<GroupEntry> entries;  // none when the file is missing
  SearchOutcome outcome;
};

// The group search's start, whichever way its newsgroups are then walked:
// clears the table, lowers the stop flag and reads "<group>.txt".
GroupSearchPlan StartGroupSearch(SearchContext& ctx, std::string_view word,
                                 std::string_view groupName);

// Clears the table, lowers the stop flag and walks every newsgroup of the
// group file "<group>.txt", one after the other, with the IDs stored there.
SearchOutcome RunGroupSearch(SearchContext& ctx, std::string_view word,
                             std::string_view groupName);

}  // namespace veskor
