// The real veskor-archive binary over HTTP.

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <memory>
#include <sstream>

#include <sys/wait.h>

#include "tests/support/archive_server_process.h"
#include "tests/tools/scraper_cut.h"

namespace veskor::archive {
namespace {

using testing_cut::CutLikeTheClient;
using testing_cut::PageLinkText;
using Clock = std::chrono::steady_clock;

constexpr int kSlowMs = 600;  // leaves room for a loaded machine in the timing checks

std::string FirstPage(const std::string& word, const std::string& gid) {
  return "/articles.pl?search=" + word + "&gid=" + gid + "&search=rechercher&thumb=";
}

std::string NextPage(const std::string& gid, long long page, const std::string& word) {
  return "/articles.pl?gid=" + gid + "&page=" + std::to_string(page) + "&search=" + word +
         "&thumb=";
}

std::string LookupId(const std::string& body) {
  const std::size_t start = body.find("ok=") + 3;
  return body.substr(start, body.find("'\">") - start);
}

class ArchiveHttpTest : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    server_ = std::make_unique<ArchiveServerProcess>(
        VESKOR_ARCHIVE_BIN,
        std::vector<std::string>{"--slow-ms", std::to_string(kSlowMs), "--stall-s", "5"});
  }
  static void TearDownTestSuite() { server_.reset(); }

  void SetUp() override { ASSERT_TRUE(server_->Started()) << server_->Error(); }

  static std::unique_ptr<httplib::Client> Client(bool followRedirects = false) {
    auto client = std::make_unique<httplib::Client>(server_->Url());
    client->set_url_encode(false);  // targets here are already encoded, byte for byte
    client->set_follow_location(followRedirects);
    client->set_read_timeout(10, 0);
    return client;
  }

  static std::unique_ptr<ArchiveServerProcess> server_;
};

std::unique_ptr<ArchiveServerProcess> ArchiveHttpTest::server_;

// Walks the pages as the client does: follows ">N+1<" in what is left after
// the hits, with the following-page form.
TEST_F(ArchiveHttpTest, ClientWalkFindsEveryHitOfAMultiPageSearch) {
  auto client = Client();
  auto res = client->Get(FirstPage("JPG", "512"));
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, 200);
  EXPECT_EQ(res->get_header_value("Content-Type"), "text/html; charset=ISO-8859-1");
  std::size_t hits = 0;
  long long page = 1;
  for (;;) {
    const auto cut = CutLikeTheClient(res->body);
    hits += cut.rows.size();
    EXPECT_EQ(cut.rows.size(), page < 5 ? 20u : 6u) << "page " << page;
    if (cut.rest.find(PageLinkText(page + 1)) == std::string::npos) break;
    res = client->Get(NextPage("512", ++page, "JPG"));
    ASSERT_TRUE(res);
  }
  EXPECT_EQ(page, 5);
  EXPECT_EQ(hits, 86u);
}

TEST_F(ArchiveHttpTest, QueryIsPercentDecodedByteForByte) {
  auto client = Client();
  auto res = client->Get("/part2.pl?name=fault-%2541+%E9%zz");
  ASSERT_TRUE(res);
  EXPECT_EQ(LookupId(res->body), "fault-%41+\xE9%zz");

  const auto lower = client->Get(FirstPage("ch%E2teau", "512"));
  const auto upper = client->Get(FirstPage("CH%C2TEAU", "512"));
  const auto wildcard = client->Get(FirstPage("ch%25teau", "512"));
  ASSERT_TRUE(lower && upper && wildcard);
  EXPECT_EQ(CutLikeTheClient(lower->body).rows.size(), 7u);
  EXPECT_EQ(CutLikeTheClient(upper->body).rows.size(), 7u);
  EXPECT_EQ(CutLikeTheClient(wildcard->body).rows.size(), 7u);
}

struct LookupCase {
  const char* name;  // as it goes into the URL
  int status;
  const char* id;  // nullptr: the reply holds no "ok="
};

class ArchiveLookupTest : public ArchiveHttpTest, public testing::WithParamInterface<LookupCase> {};

TEST_P(ArchiveLookupTest, Replies) {
  const auto res = Client()->Get(std::string("/part2.pl?name=") + GetParam().name);
  ASSERT_TRUE(res);
  EXPECT_EQ(res->status, GetParam().status);
  if (GetParam().id != nullptr) {
    ASSERT_NE(res->body.find("ok="), std::string::npos) << res->body;
    EXPECT_EQ(LookupId(res->body), GetParam().id);
  } else {
    EXPECT_EQ(res->body.find("ok="), std::string::npos);
  }
}

INSTANTIATE_TEST_SUITE_P(Names, ArchiveLookupTest,
                         testing::Values(LookupCase{"fr.rec.photo", 200, "512"},
                                         LookupCase{"fr.comp.lang.c%2B%2B", 200, "1207"},
                                         LookupCase{"fr.comp.lang.c++", 200, "1207"},
                                         LookupCase{"fr.test.fichiers", 200, "9999"},
                                         LookupCase{"fr.inconnu", 200, ""}, LookupCase{"", 200, ""},
                                         LookupCase{"fault-500-p2", 200, "fault-500-p2"},
                                         LookupCase{"fault-lookup-minus1", 200, "-1"},
                                         LookupCase{"fault-lookup-500", 500, nullptr},
                                         LookupCase{"fault-lookup-noid", 200, nullptr}));

TEST_F(ArchiveHttpTest, LookupFaultsBreakTheReply) {
  auto client = Client();
  EXPECT_EQ(client->Get("/part2.pl?name=fault-lookup-empty")->body, "");
  EXPECT_EQ(client->Get("/part2.pl?name=fault-lookup-short")->body, "x");
  const auto reset = client->Get("/part2.pl?name=fault-lookup-reset");
  EXPECT_FALSE(reset);
  EXPECT_EQ(reset.error(), httplib::Error::Read);
  const auto start = Clock::now();
  const auto slow = client->Get("/part2.pl?name=fault-lookup-slow");
  ASSERT_TRUE(slow);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(kSlowMs));
  EXPECT_EQ(LookupId(slow->body), "9999");
}

TEST_F(ArchiveHttpTest, FaultsStartAtTheirPage) {
  auto client = Client();
  const auto first = client->Get(FirstPage("fichier", "fault-500-p3"));
  const auto second = client->Get(NextPage("fault-500-p3", 2, "fichier"));
  const auto third = client->Get(NextPage("fault-500-p3", 3, "fichier"));
  ASSERT_TRUE(first && second && third);
  EXPECT_EQ(first->status, 200);
  EXPECT_EQ(CutLikeTheClient(first->body).rows.size(), 20u);
  EXPECT_NE(CutLikeTheClient(second->body).rest.find(PageLinkText(3)), std::string::npos);
  EXPECT_EQ(third->status, 500);
  EXPECT_NE(third->body.find("Internal Server Error"), std::string::npos);
  EXPECT_FALSE(client->Get(NextPage("fault-reset-p2", 2, "fichier")));
  EXPECT_EQ(client->Get(FirstPage("fichier", "fault-reset-p2"))->status, 200);
}

TEST_F(ArchiveHttpTest, ResetPromisesMoreThanItSends) {
  std::string received;
  const auto res =
      Client()->Get(FirstPage("fichier", "fault-reset"), [&](const char* data, std::size_t length) {
        received.append(data, length);
        return true;
      });
  EXPECT_EQ(res.error(), httplib::Error::Read);
  // Cut right after the first hit.
  EXPECT_TRUE(received.ends_with("</span></td>\r\n")) << received.substr(received.size() - 30);
  EXPECT_EQ(CutLikeTheClient(received + "</table>\r\n<a href=\"articles.pl\">x</a>").rows.size(),
            1u);
}

TEST_F(ArchiveHttpTest, RedirectLandsOnTheFaultNewsgroupAndLoopNeverLands) {
  const auto moved = Client()->Get(NextPage("fault-redirect", 2, "fichier"));
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->status, 302);
  EXPECT_EQ(moved->get_header_value("Location"), NextPage("9999", 2, "fichier"));
  const auto followed = Client(true)->Get(NextPage("fault-redirect", 2, "fichier"));
  ASSERT_TRUE(followed);
  EXPECT_EQ(followed->status, 200);
  EXPECT_EQ(CutLikeTheClient(followed->body).rows.size(), 20u);

  const std::string loop = FirstPage("fichier", "fault-redirectloop");
  EXPECT_EQ(Client()->Get(loop)->get_header_value("Location"), loop);
  EXPECT_EQ(Client(true)->Get(loop).error(), httplib::Error::ExceedRedirectCount);
}

TEST_F(ArchiveHttpTest, NulFollowsTheFirstHit) {
  const auto res = Client()->Get(FirstPage("fichier", "fault-nul"));
  ASSERT_TRUE(res);
  const std::size_t nul = res->body.find('\0');
  ASSERT_NE(nul, std::string::npos);
  EXPECT_TRUE(res->body.substr(0, nul).ends_with("testeur3@exemple.fr</span></td>\r\n"));
  const std::size_t secondHit = res->body.find("fichier 49");  // the page goes on after the zero byte
  ASSERT_NE(secondHit, std::string::npos);
  EXPECT_GT(secondHit, nul);
  EXPECT_THROW(CutLikeTheClient(res->body), std::out_of_range);  // one hit, then nothing
}

TEST_F(ArchiveHttpTest, HugeStreamsEightyMebibytes) {
  std::uint64_t size = 0;
  std::string start;
  const auto res =
      Client()->Get(FirstPage("fichier", "fault-huge"), [&](const char* data, std::size_t length) {
        if (start.size() < 8192) start.append(data, length);
        size += length;
        return true;
      });
  ASSERT_TRUE(res);
  EXPECT_EQ(size, 80ull * 1024 * 1024);
  EXPECT_EQ(res->get_header_value("Content-Length"), std::to_string(80ull * 1024 * 1024));
  EXPECT_NE(start.find("fichier 50"), std::string::npos);
}

TEST_F(ArchiveHttpTest, PagesWithoutPlNeverEndTheClientLoop) {
  for (const char* gid : {"fault-nopl", "fault-notresults"}) {
    const auto res = Client()->Get(FirstPage("fichier", gid));
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const std::size_t lastHit = res->body.rfind("</span></td>");
    const std::string tail = lastHit == std::string::npos ? res->body : res->body.substr(lastHit);
    EXPECT_EQ(tail.find(".pl"), std::string::npos) << gid;
    EXPECT_THROW(CutLikeTheClient(res->body), std::out_of_range) << gid;
  }
}

TEST_F(ArchiveHttpTest, SlowReplyDoesNotHoldUpOthers) {
  const auto start = Clock::now();
  auto slow = std::async(std::launch::async,
                         [] { return Client()->Get(FirstPage("fichier", "fault-slow")); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto quick = Client()->Get(FirstPage("jpg", "512"));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(kSlowMs));
  ASSERT_TRUE(quick);
  const auto res = slow.get();
  ASSERT_TRUE(res);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(kSlowMs));
  EXPECT_EQ(CutLikeTheClient(res->body).rows.size(), 20u);
}

TEST_F(ArchiveHttpTest, StallSendsPartThenNothing) {
  auto client = Client();
  client->set_read_timeout(1, 0);
  std::size_t received = 0;
  const auto start = Clock::now();
  const auto res =
      client->Get(FirstPage("fichier", "fault-stall"), [&](const char*, std::size_t length) {
        received += length;
        return true;
      });
  EXPECT_EQ(res.error(), httplib::Error::Read);
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(900));
  EXPECT_GT(received, 0u);
}

TEST_F(ArchiveHttpTest, HitLinksOpenArticlesAndTheRestIsNotFound) {
  auto client = Client();
  const auto page = client->Get(FirstPage("cracovie", "1544"));
  ASSERT_TRUE(page);
  const std::size_t href = page->body.find("articles.pl?gid=1544&art=");
  ASSERT_NE(href, std::string::npos);
  const auto article =
      client->Get("/" + page->body.substr(href, page->body.find('"', href) - href));
  ASSERT_TRUE(article);
  EXPECT_EQ(article->status, 200);
  EXPECT_NE(article->body.find("jan@poczta.onet.pl"), std::string::npos);
  for (const char* target : {"/", "/index.html", "/articles.pl?gid=1544&art=1", "/part2.pl/x"}) {
    const auto res = client->Get(target);
    ASSERT_TRUE(res) << target;
    EXPECT_EQ(res->status, 404) << target;
  }
}

TEST(ArchiveServerOptionsTest, GlobalFaultAndCorpusFile) {
  const std::string path = testing::TempDir() + "archive_corpus_test.tsv";
  std::ofstream(path) << "fr.mien\t77\t05/05/2005\tmoi\tÉté à Nîmes.jpg\n";
  ArchiveServerProcess server(VESKOR_ARCHIVE_BIN, {"--corpus", path, "--fault", "nopl-p2"});
  ASSERT_TRUE(server.Started()) << server.Error();
  httplib::Client client(server.Url());
  client.set_url_encode(false);
  EXPECT_EQ(LookupId(client.Get("/part2.pl?name=fr.mien")->body), "77");
  const auto cut = CutLikeTheClient(client.Get(FirstPage("%E9T%C9", "77"))->body);
  ASSERT_EQ(cut.rows.size(), 1u);
  EXPECT_EQ(cut.rows[0].subject, "\xC9t\xE9 \xE0 N\xEEmes.jpg");
  EXPECT_EQ(client.Get(NextPage("77", 2, "x"))->body.find("articles.pl\">"), std::string::npos);
  std::remove(path.c_str());

  const ArchiveServerProcess broken(VESKOR_ARCHIVE_BIN, {"--corpus", "/nonexistent/corpus.tsv"});
  EXPECT_FALSE(broken.Started());
  EXPECT_NE(broken.Error().find("exited with status 1"), std::string::npos) << broken.Error();
}

// A second archive on a port already served must fail, not share the port's
// requests with the first one.
TEST(ArchiveServerOptionsTest, PortAlreadyServedIsRefused) {
  ArchiveServerProcess first(VESKOR_ARCHIVE_BIN);
  ASSERT_TRUE(first.Started()) << first.Error();
  const std::string second = std::string("timeout 5 ") + VESKOR_ARCHIVE_BIN + " --port " +
                             std::to_string(first.Port()) + " >/dev/null 2>&1";
  const int status = std::system(second.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
}

// The saved pages other suites read must stay what the server serves.
struct FixtureCase {
  const char* file;
  const char* target;
};

class ArchiveFixtureTest : public ArchiveHttpTest,
                           public testing::WithParamInterface<FixtureCase> {};

TEST_P(ArchiveFixtureTest, MatchesWhatTheServerServes) {
  std::ifstream in(std::string(VESKOR_FIXTURES_DIR) + "/pages/" + GetParam().file,
                   std::ios::binary);
  ASSERT_TRUE(in) << GetParam().file;
  std::ostringstream saved;
  saved << in.rdbuf();
  const auto res = Client()->Get(GetParam().target);
  ASSERT_TRUE(res);
  EXPECT_TRUE(res->body == saved.str()) << GetParam().file << " differs from " << GetParam().target;
}

INSTANTIATE_TEST_SUITE_P(
    Pages, ArchiveFixtureTest,
    testing::Values(
        FixtureCase{"results_first_page.html",
                    "/articles.pl?search=jpg&gid=512&search=rechercher&thumb="},
        FixtureCase{"results_middle_page.html", "/articles.pl?gid=512&page=3&search=jpg&thumb="},
        FixtureCase{"results_last_page.html", "/articles.pl?gid=512&page=5&search=jpg&thumb="},
        FixtureCase{"results_past_last_page.html", "/articles.pl?gid=512&page=6&search=jpg&thumb="},
        FixtureCase{"results_no_hits.html",
                    "/articles.pl?search=introuvable&gid=512&search=rechercher&thumb="},
        FixtureCase{"results_pl_poster.html",
                    "/articles.pl?search=balade&gid=733&search=rechercher&thumb="},
        FixtureCase{"results_nopl.html",
                    "/articles.pl?search=fichier&gid=fault-nopl&search=rechercher&thumb="},
        FixtureCase{"not_results.html",
                    "/articles.pl?search=fichier&gid=fault-notresults&search=rechercher&thumb="},
        FixtureCase{"lookup_reply.html", "/part2.pl?name=fr.rec.photo"},
        FixtureCase{"lookup_unknown.html", "/part2.pl?name=fr.inconnu"}));

}  // namespace
}  // namespace veskor::archive
