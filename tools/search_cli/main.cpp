// veskor-search: the quick search and the group search of the desktop program,
// run from a terminal, with the hits written to standard output.

#include <cstdio>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/archive_requests.h"
#include "network/curl_concurrent_fetcher.h"
#include "network/curl_page_fetcher.h"
#include "network/poll_waiter.h"
#include "base/process_start.h"
#include "base/program_version.h"
#include "tools/search_cli/cli_options.h"
#include "tools/search_cli/interrupt.h"
#include "tools/search_cli/search_ending.h"
#include "tools/search_cli/search_run.h"

namespace {

int Run(int argc, char** argv) {
  using namespace veskor::search_cli;
  const ParsedCommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (std::holds_alternative<HelpRequest>(parsed)) {
    std::fputs(UsageText().c_str(), stdout);
    return kExitDone;
  }
  if (std::holds_alternative<VersionRequest>(parsed)) {
    std::fputs(veskor::VersionText("veskor-search").c_str(), stdout);
    return kExitDone;
  }
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    std::fprintf(stderr, "veskor-search : %s\n\n%s", error->message.c_str(), UsageText().c_str());
    return kExitUsage;
  }
  const CliOptions& options = std::get<CliOptions>(parsed);
  const std::string server = veskor::NormalizeArchiveServer(
      options.archive ? *options.archive : veskor::DefaultArchiveServer());
  veskor::FetchLimits limits;
  limits.maxConnections = static_cast<int>(options.connections);
  veskor::CurlPageFetcher fetcher(std::make_unique<veskor::PollWaiter>(), limits);
  // Over the same connections: the quick search's ID lookup and the pages.
  veskor::CurlConcurrentFetcher groupFetcher(fetcher);
  InstallInterruptHandler(options.quiet);
  return RunCliSearch(options, server, fetcher, groupFetcher, stdout, stderr);
}

}  // namespace

int main(int argc, char** argv) {
  veskor::IgnoreFileSizeSignal();
  // A closed pipe shows up as a failed write, which the search handles.
  veskor::search_cli::IgnoreClosedPipe();
  try {
    return Run(argc, argv);
  } catch (const std::bad_alloc&) {
    std::fputs("veskor-search : m\xC3\xA9moire insuffisante\n", stderr);
  } catch (...) {
    std::fputs("veskor-search : erreur inattendue\n", stderr);
  }
  return veskor::search_cli::kExitFailed;
}
