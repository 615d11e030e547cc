#pragma once
// The posts the archive serves when no corpus file is given, and the fixed
// newsgroup behind the fault gids. Both are built in code, the same on every
// run.

#include <string_view>

#include "tools/archive_server/corpus.h"

namespace veskor::archive {

// Five French newsgroups, a few hundred posts from 2002 to 2008.
Corpus BuildDemoCorpus();

inline constexpr std::string_view kFaultNewsgroupName = "fr.test.fichiers";
inline constexpr std::string_view kFaultNewsgroupId = "9999";
inline constexpr int kFaultNewsgroupSize = 50;

// 50 posts whose subjects all hold "fichier", dated in 2005, newest first.
Newsgroup BuildFaultNewsgroup();

}  // namespace veskor::archive
