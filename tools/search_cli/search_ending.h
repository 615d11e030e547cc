#pragma once
// How veskor-search ends a search that ran: its exit status and what it says
// on standard error about the newsgroups it could not really search.

#include <string>

#include "searches/search_outcome.h"

namespace veskor::search_cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct SearchEnding {
  int exitCode = kExitDone;
  std::string notice;  // UTF-8, without the program's name; empty: nothing to say
};

// 1 when nothing the user asked for could be searched (an unknown newsgroup,
// a missing, unreadable or empty group), 0 otherwise, with a warning when
// some newsgroups of the group have no ID.
SearchEnding EndingOf(const SearchOutcome& outcome);

}  // namespace veskor::search_cli
