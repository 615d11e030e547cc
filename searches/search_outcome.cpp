#include "searches/search_outcome.h"

#include "engine/readable_text.h"

namespace veskor {
namespace {

constexpr char kNothingSearched[] = ". Rien n'a \xE9t\xE9 cherch\xE9.";

std::string Quoted(std::string_view text) { return "\xAB " + ReadableExcerpt(text) + " \xBB"; }

}  // namespace

bool IsUnknownArchiveId(std::string_view archiveId) {
  return archiveId.empty() || archiveId == "-1" || archiveId == "Non trouv\xE9";
}

std::string QuotedNames(const std::vector<std::string>& names, std::size_t shown) {
  std::string out;
  for (std::size_t i = 0; i < names.size() && i < shown; ++i) {
    if (i > 0) out += ", ";
    out += Quoted(names[i]);
  }
  if (names.size() > shown) out += " et " + std::to_string(names.size() - shown) + " autres";
  return out;
}

std::string ClosingMessage(const SearchOutcome& outcome) {
  if (outcome.missingGroupFile) {
    // The list is reloaded after every message, which leaves no group chosen:
    // the file of the group with the empty name is then the one looked for.
    if (*outcome.missingGroupFile == ".txt")
      return "Aucun groupe n'est choisi" + std::string(kNothingSearched);
    return "Groupe introuvable : le fichier " + Quoted(*outcome.missingGroupFile) +
           " manque ou ne peut pas \xEAtre lu" + kNothingSearched;
  }
  if (outcome.emptyGroup)
    return "Le groupe " + Quoted(*outcome.emptyGroup) + " ne contient aucun newsgroup" +
           kNothingSearched;
  if (outcome.unknownNewsgroups.empty()) return "Recherche termin\xE9""e";
  const std::string names = QuotedNames(outcome.unknownNewsgroups);
  if (outcome.SearchedAnything())
    return "Recherche termin\xE9""e, sauf pour les newsgroups sans ID d'archive : " + names + ".";
  if (outcome.unknownNewsgroups.size() == 1)
    return "Newsgroup inconnu de l'archive : " + names + kNothingSearched;
  return "Newsgroups sans ID d'archive : " + names + kNothingSearched;
}

}  // namespace veskor
