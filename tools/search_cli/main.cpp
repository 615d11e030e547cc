// veskor-search: the quick search and the group search of the desktop program,
// run from a terminal, with the hits written to standard output.

#include <QCoreApplication>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "engine/archive_requests.h"
#include "engine/page_walker.h"
#include "main_window/search_commands.h"
#include "platform/cp1252.h"
#include "platform/http_fetcher.h"
#include "platform/program_version.h"
#include "tools/search_cli/cli_options.h"
#include "tools/search_cli/interrupt.h"
#include "tools/search_cli/row_output.h"
#include "tools/search_cli/streaming_table.h"

namespace veskor::search_cli {
namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// The console window's lines, on standard error.
class StderrConsole final : public ConsoleSink {
 public:
  explicit StderrConsole(bool quiet) : quiet_(quiet) {}
  void AddLine(std::string_view line) override {
    if (quiet_) return;
    const std::string text = Cp1252ToUtf8(line) + '\n';
    std::fwrite(text.data(), 1, text.size(), stderr);
  }

 private:
  bool quiet_;
};

int RunSearch(const CliOptions& options) {
  const std::string server =
      NormalizeArchiveServer(options.archive ? *options.archive : DefaultArchiveServer());
  QtPageFetcher fetcher;
  StderrConsole console(options.quiet);
  RowPrinter printer(stdout, options.format, options.allRows);
  StreamingTable table([&printer](const TableRow& row) { printer.Print(row); });
  const auto printPage = [&] {
    table.Flush();
    printer.Flush();
  };
  SearchContext ctx{server, fetcher, table, console, printPage};

  printer.PrintHeader();
  InstallInterruptHandler(options.quiet);
  try {
    if (options.groupSearch)
      RunGroupSearch(ctx, options.word, options.target);
    else
      RunQuickSearch(ctx, options.word, options.target);
  } catch (const std::exception& e) {
    // What the failing page had already written stays, as in the window's table.
    printPage();
    std::fprintf(stderr, "veskor-search : %s\n", Cp1252ToUtf8(e.what()).c_str());
    return kExitFailed;
  }
  printPage();
  return 0;
}

}  // namespace
}  // namespace veskor::search_cli

int main(int argc, char** argv) {
  using namespace veskor::search_cli;
  const ParsedCommandLine parsed = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  if (std::holds_alternative<HelpRequest>(parsed)) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (std::holds_alternative<VersionRequest>(parsed)) {
    std::fputs(veskor::VersionText("veskor-search").c_str(), stdout);
    return 0;
  }
  if (const auto* error = std::get_if<UsageError>(&parsed)) {
    std::fprintf(stderr, "veskor-search : %s\n\n%s", error->message.c_str(), UsageText().c_str());
    return kExitUsage;
  }
  // Qt reads options of its own from the command line; it gets none of ours.
  int qtArgc = 1;
  QCoreApplication app(qtArgc, argv);
  return RunSearch(std::get<CliOptions>(parsed));
}
