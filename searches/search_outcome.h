#pragma once
// How a search ended besides the rows it wrote: which of the newsgroups the
// user asked for could not really be searched. The window and the command
// line each turn it into their own ending, so that a search that found
// nothing because it searched nothing never passes for a plain success.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veskor {

struct SearchOutcome {
  // The group search's file ("<group>.txt"), when it is missing or unreadable.
  std::optional<std::string> missingGroupFile;
  // The group search's group, when its file holds no newsgroup/ID pair.
  std::optional<std::string> emptyGroup;
  // Newsgroups walked under an ID that names no newsgroup of the archive, in
  // the order they were walked. Their pages are still fetched and written as
  // any other, but the archive has nothing to give for them.
  std::vector<std::string> unknownNewsgroups;
  // Newsgroups walked under an ID of their own.
  std::size_t searchedNewsgroups = 0;

  bool SearchedAnything() const { return searchedNewsgroups > 0; }
  bool Complete() const {
    return !missingGroupFile && !emptyGroup && unknownNewsgroups.empty();
  }
};

// The texts that stand for "no ID" in this program: the lookup's "-1" and
// empty answers, and the "Non trouvé" the ID update writes into a group.
// Any other text is an ID: IDs are never read as numbers.
bool IsUnknownArchiveId(std::string_view archiveId);

// "« a », « b »": each name cut to a readable length, and at most `shown`
// of them followed by how many more there are.
std::string QuotedNames(const std::vector<std::string>& names, std::size_t shown = 10);

// The sentence (Windows-1252) that ends the search in the window:
// "Recherche terminée" when everything asked for was searched, otherwise
// what was not and why.
std::string ClosingMessage(const SearchOutcome& outcome);

}  // namespace veskor
