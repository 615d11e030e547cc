// veskor-archive: a stand-in for the Usenet archive that Veskor searches,
// serving part2.pl (newsgroup ID lookup) and articles.pl (results pages and
// articles) over HTTP from a built-in demo corpus or a corpus file, with
// misbehaving pages on request for client tests. See README.md beside it.

#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "base/process_start.h"
#include "base/program_version.h"
#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/options.h"
#include "tools/archive_server/server.h"
#include "tools/archive_server/site.h"

using namespace veskor::archive;

namespace {

// The kernel ends the server when the thread that started it ends, however
// it ends, SIGKILL included; so no one has to stop it by its number, which
// may name another process by then.
enum class Tie { Tied, ParentGone, Failed };
Tie EndWithParent(int parentPid) {
  if (::prctl(PR_SET_PDEATHSIG, SIGTERM) != 0) return Tie::Failed;
  // The parent may have ended before the tie was made.
  return ::getppid() == parentPid ? Tie::Tied : Tie::ParentGone;
}

}  // namespace

int main(int argc, char** argv) {
  // Its log may go to a file (--verbose 2>log).
  veskor::IgnoreFileSizeSignal();
  const OptionsParse parse = ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (!parse.error.empty()) {
    std::fprintf(stderr, "veskor-archive : %s\n\n%s", parse.error.c_str(), UsageText().c_str());
    return 2;
  }
  const ServerOptions& options = parse.options;
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::fputs(veskor::VersionText("veskor-archive").c_str(), stdout);
    return 0;
  }
  if (options.parentPid != 0) {
    switch (EndWithParent(options.parentPid)) {
      case Tie::Tied:
        break;
      case Tie::ParentGone:
        return 0;
      case Tie::Failed:
        std::fputs("veskor-archive : --parent n'est pas possible sur ce système\n", stderr);
        return 1;
    }
  }

  Corpus corpus;
  if (options.corpusPath.empty()) {
    corpus = BuildDemoCorpus();
  } else {
    CorpusLoad load = LoadCorpusFile(options.corpusPath);
    if (!load.error.empty()) {
      std::fprintf(stderr, "veskor-archive : %s\n", load.error.c_str());
      return 1;
    }
    corpus = std::move(load.corpus);
  }

  SiteSettings siteSettings;
  siteSettings.pageSize = options.pageSize;
  siteSettings.slowDelay = std::chrono::milliseconds(options.slowMs);
  siteSettings.fault = options.fault;
  const ArchiveSite site(std::move(corpus), siteSettings);

  ArchiveHttpServer server(site, {std::chrono::seconds(options.stallSeconds), options.verbose});
  const int port = server.Bind(options.host, options.port);
  if (port < 0) {
    std::fprintf(stderr, "veskor-archive : impossible d'écouter sur %s:%d\n", options.host.c_str(),
                 options.port);
    return 1;
  }
  // Tests read the port from this line: it must come once, whole, at once.
  std::printf("listening on http://%s:%d\n", options.host.c_str(), port);
  std::fflush(stdout);
  return server.Run() ? 0 : 1;
}
