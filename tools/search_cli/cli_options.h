#pragma once
// The command line of veskor-search.

#include <cstddef>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace veskor::search_cli {

enum class RowFormat { Tsv, Csv };

// What to search and how to print it. Texts are Windows-1252, like every text
// the engine handles.
struct CliOptions {
  std::optional<std::string> archive;  // --archive, as given
  bool allRows = false;                // --grid
  RowFormat format = RowFormat::Tsv;   // --csv
  bool quiet = false;                  // -q
  std::size_t connections = 4;         // --connexions, for the group search
  bool groupSearch = false;            // --group rather than --newsgroup
  // --nouveaux: the record of the hits already seen, a path as given (UTF-8).
  std::optional<std::string> seenRecord;
  std::string target;                  // the newsgroup or the group name
  std::string word;
};

struct HelpRequest {};
struct VersionRequest {};

// A French sentence, in UTF-8, telling what is wrong with the command line.
struct UsageError {
  std::string message;
};

// What --connexions accepts: the archive is somebody else's server.
inline constexpr std::size_t kMostConnections = 16;

using ParsedCommandLine = std::variant<CliOptions, HelpRequest, VersionRequest, UsageError>;

// `args` are the arguments after the program name, as the terminal gave them
// (UTF-8).
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// The --help text, in UTF-8.
std::string UsageText();

}  // namespace veskor::search_cli
