// veskor-search's run from options to exit status, in-process against a fake
// archive: how each ending is told, and how a failing output or a failing
// allocation stops the search.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <optional>

#include <unistd.h>

#include "engine/archive_requests.h"
#include "tests/engine/fake_archive.h"
#include "tests/searches/fake_concurrent_fetcher.h"
#include "tools/search_cli/search_run.h"

// Every allocation fails while this is set: how a search runs out of memory.
namespace {
std::atomic<bool> gStarved{false};
}  // namespace

void* operator new(std::size_t size) {
  if (gStarved.load()) throw std::bad_alloc();
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
// Kept out of line: inlined, GCC pairs the free() with a new expression and
// warns of a mismatch that the replaced operator new rules out.
[[gnu::noinline]] void operator delete(void* p) noexcept { std::free(p); }
[[gnu::noinline]] void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace veskor::search_cli {
namespace {

namespace fs = std::filesystem;
using veskor::testing::FakeArchive;
using veskor::testing::Hit;

constexpr char kServer[] = "http://archive.test";

std::string Page(int hits, bool linksToPage2) {
  std::string body = "<table>\r\n";
  for (int i = 0; i < hits; ++i) body += Hit("s" + std::to_string(i), "01/01/2001", "p");
  return body + "</table>" + (linksToPage2 ? "<a href=articles.pl?page=2>2</a>" : "") + "</html>";
}

std::string ReadAll(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string text;
  char buffer[4096];
  std::size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, got);
  return text;
}

class SearchRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/veskor-search-run-XXXXXX";
    dir_ = mkdtemp(pattern);
    old_ = fs::current_path();
    fs::current_path(dir_);
    for (const auto& [name, id] : {std::pair{"fr.ok", "ok=12'\">"}, std::pair{"fr.inconnu", "ok=-1'\">"},
                                   std::pair{"fr.vide", "<html>rien</html>"}})
      archive.pages[IdLookupAddress(kServer, name)] = id;
    archive.pages[FirstPageAddress(kServer, "w", "12")] = Page(1, false);
    for (const char* unknown : {"-1", "", "Non trouv\xE9"})
      archive.pages[FirstPageAddress(kServer, "w", unknown)] = Page(0, false);
    std::ofstream("mixte.txt", std::ios::binary) << "fr.ok\r\n12\r\nfr.perdu\r\nNon trouv\xE9\r\n";
    std::ofstream("aucun.txt", std::ios::binary) << "fr.a\r\n\r\nfr.b\r\n-1\r\n";
    std::ofstream("vide.txt", std::ios::binary) << "";
    out_ = std::tmpfile();
    err_ = std::tmpfile();
  }
  void TearDown() override {
    std::fclose(out_);
    std::fclose(err_);
    fs::current_path(old_);
    fs::remove_all(dir_);
  }

  int Run(bool group, const std::string& target, bool grid = false, std::FILE* out = nullptr) {
    CliOptions options;
    options.groupSearch = group;
    options.target = target;
    options.word = "w";
    options.quiet = true;
    options.allRows = grid;
    options.seenRecord = seenRecord;
    testing::FakeConcurrentFetcher net;
    net.archive.pages = archive.pages;
    return RunCliSearch(options, kServer, archive, net, out ? out : out_, err_);
  }

  FakeArchive archive;
  std::optional<std::string> seenRecord;  // --nouveaux
  fs::path dir_, old_;
  std::FILE* out_ = nullptr;
  std::FILE* err_ = nullptr;
};

struct EndingCase {
  const char* name;
  bool group;
  std::string target;
  bool grid;
  int exitCode;
  std::string out;
  std::string err;
};

void PrintTo(const EndingCase& c, std::ostream* os) { *os << c.name; }

class SearchRunEndings : public SearchRunTest, public ::testing::WithParamInterface<EndingCase> {};

TEST_P(SearchRunEndings, PrintTheTableSayWhatWasNotSearchedAndExitAccordingly) {
  const EndingCase& c = GetParam();
  EXPECT_EQ(Run(c.group, c.target, c.grid), c.exitCode);
  EXPECT_EQ(ReadAll(out_), c.out);
  EXPECT_EQ(ReadAll(err_), c.err);
}

const std::string kHit = "s0\t01/01/2001\tp\tfr.ok\n";
const std::string kBlank = "\t\t\t\n";

INSTANTIATE_TEST_SUITE_P(
    Searches, SearchRunEndings,
    ::testing::Values(
        EndingCase{"KnownNewsgroup", false, "fr.ok", true, 0, kHit + kBlank, ""},
        // The unknown newsgroup's page is still fetched: its blank row is the table's.
        EndingCase{"UnknownNewsgroup", false, "fr.inconnu", true, 1, kBlank,
                   "veskor-search : newsgroup inconnu de l'archive : « fr.inconnu »\n"},
        EndingCase{"NewsgroupWithoutId", false, "fr.vide", false, 1, "",
                   "veskor-search : newsgroup inconnu de l'archive : « fr.vide »\n"},
        EndingCase{"MissingGroup", true, "absent", false, 1, "",
                   "veskor-search : groupe introuvable : le fichier « absent.txt » manque ou ne "
                   "peut pas être lu\n"},
        EndingCase{"EmptyGroup", true, "vide", false, 1, "",
                   "veskor-search : le groupe « vide » ne contient aucun newsgroup\n"},
        EndingCase{"GroupWithSomeIdsMissing", true, "mixte", false, 0, kHit,
                   "veskor-search : attention : newsgroups sans ID d'archive, rien n'y a été "
                   "cherché : « fr.perdu »\n"},
        EndingCase{"GroupWithoutAnyId", true, "aucun", true, 1, kBlank + kBlank,
                   "veskor-search : newsgroups sans ID d'archive : « fr.a », « fr.b »\n"}),
    [](const auto& info) { return std::string(info.param.name); });

// Page 1 has a hit and links to page 2, which must never be asked for once
// the output has failed.
class SearchRunOutput : public SearchRunTest {
 protected:
  void SetUp() override {
    SearchRunTest::SetUp();
    archive.pages[FirstPageAddress(kServer, "w", "12")] = Page(3, true);
    archive.pages[NextPageAddress(kServer, "12", 2, "w")] = Page(1, false);
  }
  bool FetchedPage2() const {
    return std::find(archive.requested.begin(), archive.requested.end(),
                     NextPageAddress(kServer, "12", 2, "w")) != archive.requested.end();
  }
};

TEST_F(SearchRunOutput, AFullDiskStopsTheSearchWithAMessage) {
  std::FILE* full = std::fopen("/dev/full", "w");
  ASSERT_NE(full, nullptr);
  EXPECT_EQ(Run(false, "fr.ok", false, full), 1);
  std::fclose(full);
  EXPECT_FALSE(FetchedPage2());
  EXPECT_EQ(ReadAll(err_),
            "veskor-search : écriture impossible sur la sortie standard : disque plein\n");
}

TEST_F(SearchRunOutput, AClosedPipeStopsTheSearchSilently) {
  std::signal(SIGPIPE, SIG_IGN);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  close(ends[0]);
  std::FILE* pipeOut = fdopen(ends[1], "w");
  seenRecord = "vus.lst";
  EXPECT_EQ(Run(false, "fr.ok", false, pipeOut), 0);
  std::fclose(pipeOut);
  EXPECT_FALSE(FetchedPage2());
  EXPECT_EQ(ReadAll(err_), "");
  // The reader may have read none of the hits: they stay new.
  EXPECT_FALSE(fs::exists("vus.lst"));
}

TEST_F(SearchRunOutput, RunningOutOfMemoryEndsWithAMessageNotAnAbort) {
  archive.duringFetch = [](const std::string& url) {
    if (url.find("page=2") == std::string::npos) return;
    gStarved = true;
    throw std::bad_alloc();
  };
  const int status = Run(false, "fr.ok");
  gStarved = false;
  EXPECT_EQ(status, 1);
  EXPECT_EQ(ReadAll(out_), "s0\t01/01/2001\tp\tfr.ok\ns1\t01/01/2001\tp\tfr.ok\n"
                           "s2\t01/01/2001\tp\tfr.ok\n");
  EXPECT_EQ(ReadAll(err_), "veskor-search : mémoire insuffisante\n");
}

}  // namespace
}  // namespace veskor::search_cli
