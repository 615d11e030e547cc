#include "tools/search_cli/search_ending.h"

#include "engine/readable_text.h"
#include "base/cp1252.h"

namespace veskor::search_cli {

SearchEnding EndingOf(const SearchOutcome& outcome) {
  std::string notice;  // Windows-1252 until the end
  if (outcome.missingGroupFile) {
    notice = "groupe introuvable : le fichier \xAB " + ReadableExcerpt(*outcome.missingGroupFile) +
             " \xBB manque ou ne peut pas \xEAtre lu";
  } else if (outcome.emptyGroup) {
    notice = "le groupe \xAB " + ReadableExcerpt(*outcome.emptyGroup) +
             " \xBB ne contient aucun newsgroup";
  } else if (!outcome.unknownNewsgroups.empty()) {
    const std::string names = QuotedNames(outcome.unknownNewsgroups);
    if (outcome.SearchedAnything())
      notice = "attention : newsgroups sans ID d'archive, rien n'y a \xE9t\xE9 cherch\xE9 : " + names;
    else if (outcome.unknownNewsgroups.size() == 1)
      notice = "newsgroup inconnu de l'archive : " + names;
    else
      notice = "newsgroups sans ID d'archive : " + names;
  }
  return {outcome.SearchedAnything() ? kExitDone : kExitFailed, Cp1252ToUtf8(notice)};
}

}  // namespace veskor::search_cli
