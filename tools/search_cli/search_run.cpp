#include "tools/search_cli/search_run.h"

#include <exception>
#include <functional>
#include <new>
#include <optional>

#include "base/cp1252.h"
#include "searches/concurrent_group_search.h"
#include "searches/search_commands.h"
#include "tools/search_cli/new_hits.h"
#include "tools/search_cli/row_output.h"
#include "tools/search_cli/search_ending.h"
#include "tools/search_cli/streaming_table.h"

namespace veskor::search_cli {
namespace {

// The console window's lines, on standard error.
class StderrConsole final : public ConsoleSink {
 public:
  StderrConsole(std::FILE* err, bool quiet) : err_(err), quiet_(quiet) {}
  void AddLine(std::string_view line) override {
    if (quiet_) return;
    const std::string text = Cp1252ToUtf8(line) + '\n';
    std::fwrite(text.data(), 1, text.size(), err_);
  }

 private:
  std::FILE* err_;
  bool quiet_;
};

void Say(std::FILE* err, const std::string& utf8) {
  std::fprintf(err, "veskor-search : %s\n", utf8.c_str());
}

// The search itself, its rows printed page by page through `ctx`.
int Walk(const CliOptions& options, SearchContext& ctx, ConcurrentFetcher& groupFetcher,
         const std::function<void()>& printPage, std::FILE* err) {
  SearchOutcome outcome;
  try {
    outcome = options.groupSearch
                  ? RunGroupSearch(ctx, groupFetcher, options.word, options.target)
                  : RunQuickSearch(ctx, options.word, options.target);
  } catch (const OutputError&) {
    throw;
  } catch (const std::bad_alloc&) {
    throw;
  } catch (const std::exception& e) {
    // What the failing page had already written stays, as in the window's table.
    printPage();
    Say(err, Cp1252ToUtf8(e.what()));
    return kExitFailed;
  }
  printPage();
  const SearchEnding ending = EndingOf(outcome);
  if (!ending.notice.empty()) Say(err, ending.notice);
  return ending.exitCode;
}

bool SaveNewHits(NewHitsOnly& newHits, std::FILE* err) {
  const std::string failure = newHits.Save();
  if (!failure.empty()) Say(err, Cp1252ToUtf8(failure));
  return failure.empty();
}

int Search(const CliOptions& options, const std::string& server, PageFetcher& fetcher,
           ConcurrentFetcher& groupFetcher, std::FILE* out, std::FILE* err) {
  std::optional<NewHitsOnly> newHits;
  if (options.seenRecord) {
    newHits.emplace(*options.seenRecord, options.groupSearch
                                             ? SearchKey::OfGroup(options.word, options.target)
                                             : SearchKey::Quick(options.word, options.target));
    if (!newHits->Load()) {
      Say(err, Cp1252ToUtf8(newHits->Problem()));
      return kExitFailed;
    }
  }
  StderrConsole console(err, options.quiet);
  RowPrinter printer(out, options.format, options.allRows);
  // Only new hits: an empty output must mean that none came, so the CSV
  // titles wait for the first row.
  bool titled = false;
  const auto title = [&] {
    if (!titled) printer.PrintHeader();
    titled = true;
  };
  StreamingTable table([&](const TableRow& row, const std::string& link) {
    if (newHits && !newHits->Offer(row, link)) return;
    title();
    printer.Print(row);
  });
  const std::function<void()> printPage = [&] {
    table.Flush();
    printer.Flush();
    if (newHits) newHits->PageShown();
  };
  SearchContext ctx{server, fetcher, table, console, printPage};

  if (!newHits) title();
  int exitCode = kExitFailed;
  try {
    exitCode = Walk(options, ctx, groupFetcher, printPage, err);
  } catch (const OutputError& e) {
    // The pages written before the output failed were shown; a reader that
    // went away may have read none of them, and they stay new.
    if (newHits && !e.ReaderGone()) SaveNewHits(*newHits, err);
    throw;
  }
  if (newHits) {
    if (!options.quiet) std::fprintf(err, "%s\n", newHits->Summary().c_str());
    if (!SaveNewHits(*newHits, err)) exitCode = kExitFailed;
  }
  return exitCode;
}

}  // namespace

int RunCliSearch(const CliOptions& options, const std::string& server, PageFetcher& fetcher,
                 ConcurrentFetcher& groupFetcher, std::FILE* out, std::FILE* err) {
  try {
    return Search(options, server, fetcher, groupFetcher, out, err);
  } catch (const OutputError& e) {
    // `| head` has all it wanted: nobody is left to tell.
    if (e.ReaderGone()) return kExitDone;
    try {
      Say(err, Cp1252ToUtf8(e.what()));
    } catch (const std::bad_alloc&) {
      std::fputs("veskor-search : \xC3\xA9""criture impossible sur la sortie standard\n", err);
    }
  } catch (const std::bad_alloc&) {
    // Nothing here may allocate: the literal goes out as it is.
    std::fputs("veskor-search : m\xC3\xA9moire insuffisante\n", err);
  } catch (...) {
    std::fputs("veskor-search : erreur inattendue\n", err);
  }
  return kExitFailed;
}

}  // namespace veskor::search_cli
