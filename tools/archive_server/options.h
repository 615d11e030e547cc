#pragma once
// The archive server's command line.

#include <optional>
#include <string>
#include <vector>

#include "tools/archive_server/faults.h"

namespace veskor::archive {

struct ServerOptions {
  std::string host = "127.0.0.1";
  int port = 8642;  // 0: any free port
  int pageSize = 20;
  int slowMs = 2000;
  int stallSeconds = 120;
  std::string corpusPath;      // empty: the built-in demo
  std::optional<Fault> fault;  // --fault: every results page misbehaves
  bool verbose = false;        // one line per request on stderr
  int parentPid = 0;           // --parent: ends when that process, its parent, ends
  bool help = false;
  bool version = false;
};

struct OptionsParse {
  ServerOptions options;
  std::string error;  // French, UTF-8; empty when the line was understood
};

// `args` without the program name.
OptionsParse ParseOptions(const std::vector<std::string>& args);

std::string UsageText();

}  // namespace veskor::archive
