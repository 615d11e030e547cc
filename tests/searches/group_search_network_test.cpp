// The group search over the real libcurl fetcher and a real server on the
// loopback interface, whose newsgroups answer with different delays so that
// later newsgroups finish first: the side-by-side walk must show what the
// one-after-the-other walk shows, stopped or failing at the same page, and
// never use more connections than it is allowed.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine/memory_grid.h"
#include "network/curl_concurrent_fetcher.h"
#include "network/curl_page_fetcher.h"
#include "network/poll_waiter.h"
#include "searches/concurrent_group_search.h"
#include "searches/search_commands.h"
#include "tests/engine/fake_archive.h"
#include "tests/network/loopback_server.h"
#include "tests/support/scratch_dir.h"

namespace veskor {
namespace {

using namespace std::chrono_literals;
using testing::Hit;
using testing::RecordingConsole;

// How one gid of the test archive answers.
struct Newsgroup {
  int pages = 1;
  int delayMs = 0;     // before each of its pages
  int failsAtPage = 0;  // that page is an HTTP 500; 0: none
};

// Three hits per page, and the link to the next page while there is one.
std::string ResultsPage(const std::string& gid, int page, int pages) {
  std::string body = "<html><table>\r\n";
  for (int i = 0; i < 3; ++i)
    body += Hit(gid + " p" + std::to_string(page) + " n" + std::to_string(i), "02/03/2004",
                "poster", "articles.pl?gid=" + gid + "&art=" + std::to_string(page * 10 + i));
  body += "</table>";
  if (page < pages) body += "<a href=\"x\">" + std::to_string(page + 1) + "</a>";
  return body + "<a href=\"aide.pl\">aide</a></html>";
}

class DelayedArchive {
 public:
  explicit DelayedArchive(std::map<std::string, Newsgroup> newsgroups)
      : newsgroups_(std::move(newsgroups)) {
    auto& r = server_.Routes();
    // Every connection kept as long as the client keeps it, each with a
    // thread, so that the count of client ports is the count of connections.
    r.new_task_queue = [] { return new httplib::ThreadPool(40); };
    r.set_keep_alive_max_count(100000);
    r.Get("/articles.pl", [this](const httplib::Request& req, httplib::Response& res) {
      Serve(req, res);
    });
    r.Get("/stall", [this](const httplib::Request&, httplib::Response& res) {
      server_.HoldUntilReleased(5s);
      res.set_content("trop tard", "text/html");
    });
    r.Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.status = std::stoi(req.matches[1]);
      res.set_content("erreur", "text/html");
    });
    r.Get(R"(/size/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
      res.set_content(std::string(std::stoul(req.matches[1]), 'x'), "text/html");
    });
    r.Get("/truncated", [](const httplib::Request&, httplib::Response& res) {
      res.set_content_provider(1000, "text/html",
                               [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                 sink.write("debut", 5);
                                 return false;
                               });
    });
    server_.Start();
  }

  std::string Server() const { return server_.Url(""); }
  std::string Url(const std::string& target) const { return server_.Url(target); }

  void ResetCounts() {
    std::lock_guard lock(mutex_);
    mostInFlight_ = 0;
    clientPorts_.clear();
  }
  int MostInFlight() const { return mostInFlight_; }
  std::size_t Connections() {
    std::lock_guard lock(mutex_);
    return clientPorts_.size();
  }

 private:
  void Serve(const httplib::Request& req, httplib::Response& res) {
    const int now = ++inFlight_;
    for (int most = mostInFlight_; now > most && !mostInFlight_.compare_exchange_weak(most, now);) {
    }
    {
      std::lock_guard lock(mutex_);
      clientPorts_.insert(req.remote_port);
    }
    const std::string gid = req.get_param_value("gid");
    const int page = req.has_param("page") ? std::stoi(req.get_param_value("page")) : 1;
    const auto found = newsgroups_.find(gid);
    const Newsgroup newsgroup = found == newsgroups_.end() ? Newsgroup{0, 0, 0} : found->second;
    std::this_thread::sleep_for(std::chrono::milliseconds(newsgroup.delayMs));
    if (page == newsgroup.failsAtPage) {
      res.status = 500;
      res.set_content("panne", "text/html");
    } else {
      res.set_content(ResultsPage(gid, page, newsgroup.pages), "text/html");
    }
    --inFlight_;
  }

  std::map<std::string, Newsgroup> newsgroups_;
  test::LoopbackServer server_;
  std::atomic<int> inFlight_{0};
  std::atomic<int> mostInFlight_{0};
  std::mutex mutex_;
  std::set<int> clientPorts_;
};

// Later newsgroups answer sooner; "panne" fails at once on its page 1,
// "tardive" on its page 2, after its slow page 1.
std::map<std::string, Newsgroup> TestNewsgroups() {
  return {{"11", {3, 60, 0}}, {"12", {2, 40, 0}}, {"13", {1, 20, 0}}, {"14", {4, 5, 0}},
          {"15", {2, 0, 0}},  {"panne", {3, 0, 1}}, {"tardive", {3, 30, 2}}};
}

// Everything a search leaves for the user to see.
struct Seen {
  std::vector<std::string> table;  // each row's cells and link, tab-separated
  std::vector<std::string> console;
  int pages = 0;
  std::string ending;  // the closing message, or the error's text

  bool operator==(const Seen&) const = default;
};

void PrintTo(const Seen& seen, std::ostream* os) {
  *os << seen.pages << " pages, ending \"" << seen.ending << "\"\n";
  for (const std::string& row : seen.table) *os << "  " << row << "\n";
}

constexpr int kNoStop = 0;

struct SearchCase {
  const char* name;
  std::string group;  // the group file's lines, CR LF each
  int stopAtPage;     // the stop is pressed with this page on screen; 0: never
};

void PrintTo(const SearchCase& c, std::ostream* os) { *os << c.name; }

class GroupSearchNetworkTest : public testing::ScratchDirTest,
                               public ::testing::WithParamInterface<SearchCase> {
 protected:
  static void SetUpTestSuite() { archive_ = new DelayedArchive(TestNewsgroups()); }
  static void TearDownTestSuite() {
    delete archive_;
    archive_ = nullptr;
  }

  static FetchLimits Limits(int connections) {
    FetchLimits limits;
    limits.stallTimeout = 5s;
    limits.maxConnections = connections;
    return limits;
  }

  // Runs `search` on a fresh table, console and fetcher (no connection kept
  // from an earlier run), pressing the stop after the `stopAtPage`th page.
  template <typename Search>
  Seen Watch(int stopAtPage, int connections, Search search) {
    CurlPageFetcher pages(std::make_unique<PollWaiter>(), Limits(connections));
    CurlConcurrentFetcher sideBySide(pages);
    MemoryGrid table{4, 2};
    RecordingConsole console;
    Seen seen;
    SearchContext ctx{archive_->Server(), pages, table, console, [&] {
                        if (++seen.pages == stopAtPage) RaiseStopFlag();
                      }};
    try {
      seen.ending = ClosingMessage(search(ctx, sideBySide));
    } catch (const VeskorError& error) {
      seen.ending = error.what();
    }
    for (std::size_t row = 0; row < table.RowCount(); ++row) {
      std::string line;
      for (int col = 0; col < table.ColCount(); ++col) line += table.Cell(col, row) + "\t";
      seen.table.push_back(line + table.RowLink(row));
    }
    seen.console = console.lines;
    return seen;
  }

  Seen Sequential(int stopAtPage) {
    return Watch(stopAtPage, 1, [](SearchContext& ctx, ConcurrentFetcher&) {
      return RunGroupSearch(ctx, "mot", "g");
    });
  }
  Seen SideBySide(int stopAtPage, int connections = 4) {
    return Watch(stopAtPage, connections, [](SearchContext& ctx, ConcurrentFetcher& net) {
      return RunGroupSearch(ctx, net, "mot", "g");
    });
  }

  static DelayedArchive* archive_;
};

DelayedArchive* GroupSearchNetworkTest::archive_ = nullptr;

std::string Group(std::initializer_list<const char*> lines) {
  std::string text;
  for (const char* line : lines) text += std::string(line) + "\r\n";
  return text;
}

const std::string kFiveNewsgroups = Group({"fr.un", "11", "fr.deux", "12", "fr.trois", "13",
                                           "fr.quatre", "14", "fr.cinq", "15"});

TEST_P(GroupSearchNetworkTest, ShowsWhatTheOneByOneSearchShows) {
  testing::WriteBytes("g.txt", GetParam().group);
  const Seen sequential = Sequential(GetParam().stopAtPage);
  const Seen sideBySide = SideBySide(GetParam().stopAtPage);
  EXPECT_EQ(sideBySide, sequential);
  EXPECT_GT(sequential.table.size(), 2u);  // the case shows something
}

INSTANTIATE_TEST_SUITE_P(
    LaterNewsgroupsFinishFirst, GroupSearchNetworkTest,
    ::testing::Values(
        SearchCase{"NoStop", kFiveNewsgroups, kNoStop},
        SearchCase{"StopInTheMiddleOfTheFirstNewsgroup", kFiveNewsgroups, 2},
        SearchCase{"StopOnASecondNewsgroupsFirstPage", kFiveNewsgroups, 4},
        SearchCase{"NewsgroupsWithoutAnIdAreWalkedAndNamed",
                   Group({"fr.un", "11", "fr.perdu", "Non trouv\xE9", "fr.cinq", "15"}), kNoStop},
        // Its page 1 fails at once, long before the display reaches it.
        SearchCase{"ALaterNewsgroupsErrorComesInItsTurn",
                   Group({"fr.un", "11", "fr.deux", "12", "fr.panne", "panne", "fr.cinq", "15"}),
                   kNoStop},
        // The failing page 2 is never shown once a stop has cut the walk.
        SearchCase{"AStopDropsALaterPageTwosError",
                   Group({"fr.un", "11", "fr.tardive", "tardive", "fr.cinq", "15"}), 1},
        SearchCase{"WithoutAStopALaterPageTwosErrorEndsTheSearch",
                   Group({"fr.un", "11", "fr.tardive", "tardive", "fr.cinq", "15"}), kNoStop}),
    [](const auto& info) { return std::string(info.param.name); });

class ConnectionLimitTest : public GroupSearchNetworkTest {};

TEST_P(ConnectionLimitTest, IsNeverExceededAndConnectionsAreKept) {
  const int limit = GetParam().stopAtPage;  // the connection limit, in this suite
  testing::WriteBytes("g.txt", GetParam().group);
  const Seen sequential = Sequential(kNoStop);
  archive_->ResetCounts();
  EXPECT_EQ(SideBySide(kNoStop, limit), sequential);
  // How many requests the server sees at once depends on how fast the quick
  // newsgroups answer, so only the bound is exact; the slow first newsgroup
  // makes room for a second request.
  EXPECT_LE(archive_->MostInFlight(), limit);
  EXPECT_GE(archive_->MostInFlight(), std::min(limit, 2));
  // Kept alive: no more connections than may be open at once.
  EXPECT_LE(archive_->Connections(), static_cast<std::size_t>(limit));
}

// Every limit is below the number of newsgroups, so that each bound can bite.
const std::string kSixNewsgroups = kFiveNewsgroups + Group({"fr.six", "11"});
const std::string kTwentyNewsgroups = kSixNewsgroups + kSixNewsgroups + kSixNewsgroups +
                                      Group({"fr.sept", "12", "fr.huit", "13"});

INSTANTIATE_TEST_SUITE_P(
    Limits, ConnectionLimitTest,
    ::testing::Values(SearchCase{"One", kSixNewsgroups, 1}, SearchCase{"Four", kSixNewsgroups, 4},
                      SearchCase{"TheMostAllowed", kTwentyNewsgroups, 16}),
    [](const auto& info) { return std::string(info.param.name); });

// A loopback port that nothing listens on: bound by the system, then freed.
int UnusedLoopbackPort() {
  httplib::Server probe;
  const int port = probe.bind_to_any_port("127.0.0.1");
  probe.stop();
  return port;
}

class CurlConcurrentFetcherTest : public GroupSearchNetworkTest {};

// The page fetcher's failures, word for word, but as completions and in the
// order the transfers end, several in flight at once.
TEST_F(CurlConcurrentFetcherTest, ReportsWhatThePageFetcherWouldThrow) {
  FetchLimits limits = Limits(4);
  limits.maxBodyBytes = 1000;
  limits.stallTimeout = 1s;  // the truncated page waits that long
  const std::vector<std::string> urls = {
      archive_->Url("/size/5"),      archive_->Url("/status/404"),
      archive_->Url("/truncated"),   archive_->Url("/size/2000"),
      "ftp://127.0.0.1/fichier",     "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/",
      archive_->Url("/status/503"),  archive_->Url("/size/0")};
  CurlPageFetcher pages(std::make_unique<PollWaiter>(), limits);
  std::map<std::string, std::string> expected;
  for (const std::string& url : urls) {
    try {
      expected[url] = "body " + pages.Get(url);
    } catch (const FetchError& error) {
      expected[url] = error.what();
    }
  }

  CurlConcurrentFetcher fetcher(pages);
  EXPECT_EQ(fetcher.ConnectionLimit(), 4u);
  std::map<RequestId, std::string> urlOf;
  std::size_t next = 0;
  std::map<std::string, std::string> got;
  while (got.size() < urls.size()) {
    while (next < urls.size() && urlOf.size() < fetcher.ConnectionLimit()) {
      const RequestId id = fetcher.Start(urls[next]);
      urlOf[id] = urls[next++];
    }
    FetchCompletion done = fetcher.WaitForAny();
    ASSERT_EQ(urlOf.count(done.id), 1u);
    got[urlOf[done.id]] = done.error ? done.error->what() : "body " + done.body;
    urlOf.erase(done.id);
  }
  EXPECT_EQ(got, expected);
}

// Raises the page fetcher's Abort in the round of events that ends a wait,
// as the stop's grace timer does when it fires together with another page.
class AbortWithTheFirstCompletion final : public TransferWaiter {
 public:
  CurlPageFetcher* pages = nullptr;

  void Attach(SocketActions& actions) override { inner_.Attach(actions); }
  void WatchSocket(int fd, bool read, bool write) override { inner_.WatchSocket(fd, read, write); }
  void SetTimer(long ms) override { inner_.SetTimer(ms); }
  void Wake() override { inner_.Wake(); }
  bool WaitUntil(const std::function<bool()>& done) override {
    return inner_.WaitUntil([&] {
      if (!done()) return false;
      if (std::exchange(armed_, false)) pages->Abort();
      return true;
    });
  }

 private:
  PollWaiter inner_;
  bool armed_ = true;
};

TEST_F(CurlConcurrentFetcherTest, AnAbortEndsTheWaitThatAPageEndsAtTheSameTime) {
  auto owned = std::make_unique<AbortWithTheFirstCompletion>();
  AbortWithTheFirstCompletion& waiter = *owned;
  CurlPageFetcher pages(std::move(owned), Limits(2));
  waiter.pages = &pages;
  CurlConcurrentFetcher fetcher(pages);
  const std::string stall = archive_->Url("/stall");
  fetcher.Start(stall);
  const RequestId small = fetcher.Start(archive_->Url("/size/3"));
  std::string message;
  try {
    fetcher.WaitForAny();
  } catch (const FetchError& error) {
    message = error.what();
  }
  EXPECT_EQ(message, "Impossible de joindre " + stall + " : requ\xEAte abandonn\xE9" "e");
  // The page that came in with the abort waits for the next wait.
  const FetchCompletion done = fetcher.WaitForAny();
  EXPECT_EQ(done.id, small);
  EXPECT_EQ(done.body, "xxx");
}

// The stop's grace and the program closing end a wait at once; a cancelled
// request never comes back and gives its connection to the next one.
TEST_F(CurlConcurrentFetcherTest, AbortEndsTheWaitAndCancelFreesTheConnection) {
  CurlPageFetcher pages(std::make_unique<PollWaiter>(), Limits(1));
  CurlConcurrentFetcher fetcher(pages);
  const std::string stall = archive_->Url("/stall");
  const RequestId stalled = fetcher.Start(stall);
  std::thread later([&] {
    std::this_thread::sleep_for(100ms);
    pages.Abort();
  });
  const auto start = std::chrono::steady_clock::now();
  std::string message;
  try {
    fetcher.WaitForAny();
  } catch (const FetchError& error) {
    message = error.what();
  }
  later.join();
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(message, "Impossible de joindre " + stall + " : requ\xEAte abandonn\xE9" "e");

  fetcher.Cancel(stalled);
  fetcher.Cancel(stalled);  // twice, or unknown: nothing happens
  const RequestId small = fetcher.Start(archive_->Url("/size/3"));
  const FetchCompletion done = fetcher.WaitForAny();
  EXPECT_EQ(done.id, small);
  EXPECT_EQ(done.body, "xxx");
  EXPECT_FALSE(done.error.has_value());
}

}  // namespace
}  // namespace veskor
