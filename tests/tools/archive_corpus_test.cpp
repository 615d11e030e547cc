#include <gtest/gtest.h>

#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/faults.h"
#include "tools/archive_server/query.h"
#include "tools/archive_server/site.h"

namespace veskor::archive {
namespace {

// Other suites (engine over HTTP, GUI) search these; changing the demo
// corpus means changing them too.
struct DemoSearch {
  const char* gid;
  const char* word;
  std::size_t total;
  long long pages;
};

class DemoCorpusSearchTest : public testing::TestWithParam<DemoSearch> {};

TEST_P(DemoCorpusSearchTest, GivesTheAdvertisedNumberOfPages) {
  static const Corpus corpus = BuildDemoCorpus();
  const Newsgroup* group = corpus.FindById(GetParam().gid);
  ASSERT_NE(group, nullptr);
  const ResultsSlice slice = SearchNewsgroup(*group, GetParam().word, 1, 20);
  EXPECT_EQ(slice.total, GetParam().total);
  EXPECT_EQ(slice.pageCount, GetParam().pages);
}

INSTANTIATE_TEST_SUITE_P(
    Words, DemoCorpusSearchTest,
    testing::Values(DemoSearch{"512", "jpg", 86, 5}, DemoSearch{"1544", "avi", 64, 4},
                    DemoSearch{"1207", "re:", 36, 2}, DemoSearch{"512", "\xE9glise", 11, 1},
                    DemoSearch{"733", "balade", 10, 1}, DemoSearch{"268", "jpg", 20, 1}));

TEST(DemoCorpusTest, OnlyThePlacedPostersHoldDotPl) {
  const Corpus corpus = BuildDemoCorpus();
  std::vector<std::string> found;
  std::size_t endingInFive = 0;
  for (const Newsgroup& group : corpus.Newsgroups()) {
    for (const Post& post : group.posts) {
      if (post.poster.find(".pl") != std::string::npos)
        found.push_back(group.id + " " + post.poster);
      if (post.date.year % 10 == 5) ++endingInFive;
    }
  }
  EXPECT_EQ(found, (std::vector<std::string>{"1544 jan@poczta.onet.pl", "733 toto.plouf@free.fr",
                                             "268 jan@poczta.onet.pl"}));
  EXPECT_EQ(corpus.PostCount(), 358u);
  EXPECT_GT(endingInFive, 0u);
  EXPECT_LT(endingInFive, corpus.PostCount() / 4);
}

TEST(CorpusFileTest, ReadsPostsAndNumbersThemOldestFirst) {
  const CorpusLoad load = ParseCorpusText(
      "# newsgroup\tid\tdate\tposter\tsubject\r\n"
      "fr.test\t7\t02/01/2004\tmoi\tÉté.jpg\r\n"
      "\n"
      "fr.test\t7\t01/01/2004\ttoi\tHiver.jpg\n"
      "fr.autre\t8\t29/02/2008\tlui\tBissextile");
  ASSERT_EQ(load.error, "");
  const Newsgroup* group = load.corpus.FindByName("fr.test");
  ASSERT_NE(group, nullptr);
  ASSERT_EQ(group->posts.size(), 2u);
  EXPECT_EQ(group->posts[0].subject, "\xC9t\xE9.jpg");  // newest first
  EXPECT_EQ(group->posts[0].article, 1002);
  EXPECT_EQ(group->posts[1].article, 1001);
  EXPECT_EQ(load.corpus.FindById("8")->name, "fr.autre");
}

class CorpusFileErrorTest : public testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(CorpusFileErrorTest, NamesTheLineAndTheFault) {
  const CorpusLoad load = ParseCorpusText(GetParam().first);
  EXPECT_NE(load.error.find(GetParam().second), std::string::npos) << load.error;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CorpusFileErrorTest,
    testing::Values(std::pair{"a\t1\t01/01/2004\tp", "ligne 1 : 5 champs"},
                    std::pair{"a\t1\t01/01/2004\tp\ts\na\t1\t31/04/2004\tp\ts", "ligne 2 : date"},
                    std::pair{"a\t1\t29/02/2005\tp\ts", "date invalide"},
                    std::pair{"a\t1\t01/01/2004\tp\t\xE9", "UTF-8"},
                    std::pair{"a\t1\t01/01/2004\tp\t\xE2\x82\xBF", "Windows-1252"},
                    std::pair{"a\t1\t01/01/2004\tp\ts\na\t2\t01/01/2004\tp\ts", "deux ID"},
                    std::pair{"a\t1\t01/01/2004\tp\ts\nb\t1\t01/01/2004\tp\ts", "sert d"},
                    std::pair{"\t1\t01/01/2004\tp\ts", "vide"}, std::pair{"# rien\n", "aucun"}));

TEST(FaultNameTest, ReadsKindsAndFirstFaultyPage) {
  EXPECT_EQ(FaultFromGid("fault-500")->kind, FaultKind::kServerError);
  EXPECT_EQ(FaultFromGid("fault-500")->fromPage, 1);
  EXPECT_EQ(FaultFromGid("fault-redirectloop-p12")->kind, FaultKind::kRedirectLoop);
  EXPECT_EQ(FaultFromGid("fault-redirectloop-p12")->fromPage, 12);
  EXPECT_EQ(FaultFromGid("fault-nopl-p2")->kind, FaultKind::kNoPl);
  for (const char* bad : {"512", "fault-", "fault-bogus", "fault-500-p0", "fault-500-p",
                          "fault-500-px", "fault-lookup-500", "fault-500-p2x"}) {
    EXPECT_FALSE(FaultFromGid(bad)) << bad;
  }
  EXPECT_EQ(LookupFaultFromName("fault-lookup-minus1"), LookupFault::kMinusOne);
  EXPECT_FALSE(LookupFaultFromName("fault-lookup-other"));
  EXPECT_TRUE(IsFaultGidName("fault-500-p2"));
  EXPECT_FALSE(IsFaultGidName("fault-lookup-500"));
}

TEST(SiteTest, RedirectKeepsTheQueryAndSwapsTheGid) {
  const ArchiveSite site(BuildDemoCorpus(), {});
  const Reply reply = site.Answer("/articles.pl?gid=fault-redirect&page=2&search=fich%25&thumb=");
  EXPECT_EQ(reply.status, 302);
  EXPECT_EQ(reply.location, "/articles.pl?gid=9999&page=2&search=fich%25&thumb=");
  const std::string loop = "/articles.pl?search=x&gid=fault-redirectloop&search=rechercher&thumb=";
  EXPECT_EQ(site.Answer(loop).location, loop);
}

TEST(SiteTest, GlobalFaultSparesTheRedirectTarget) {
  SiteSettings settings;
  settings.fault = ParseFault("redirect");
  const ArchiveSite site(BuildDemoCorpus(), settings);
  EXPECT_EQ(site.Answer("/articles.pl?search=jpg&gid=512&search=rechercher&thumb=").status, 302);
  EXPECT_EQ(site.Answer("/articles.pl?search=jpg&gid=9999&search=rechercher&thumb=").status, 200);
}

TEST(SiteTest, StreamedBodyIsTheSameBytesHoweverItIsCut) {
  const ArchiveSite site(BuildDemoCorpus(), {});
  const Reply reply = site.Answer("/articles.pl?gid=fault-huge&page=3&search=fichier&thumb=");
  ASSERT_EQ(reply.DeclaredLength(), kHugeBodySize);
  const std::uint64_t from = reply.body.size() - 100;
  std::string whole;
  reply.AppendBody(from, 5000, whole);
  std::string pieces;
  for (std::uint64_t at = from; at < from + 5000; at += 8) reply.AppendBody(at, 8, pieces);
  EXPECT_TRUE(pieces == whole);  // no EXPECT_EQ: its message would print 5000 bytes twice
  std::string last;
  reply.AppendBody(kHugeBodySize - 3, 100, last);
  EXPECT_EQ(last.size(), 3u);
}

// The group-search benchmarks count on ten newsgroups of 3 to 5 pages of
// "vacances" in this file.
TEST(BenchCorpusTest, GroupSearchCorpusGivesTenNewsgroupsOfSeveralPages) {
  const CorpusLoad load =
      LoadCorpusFile(std::string(VESKOR_FIXTURES_DIR) + "/../../bench/group_search_corpus.tsv");
  ASSERT_EQ(load.error, "");
  ASSERT_EQ(load.corpus.Newsgroups().size(), 10u);
  for (const Newsgroup& group : load.corpus.Newsgroups()) {
    const long long pages = SearchNewsgroup(group, "vacances", 1, 20).pageCount;
    EXPECT_GE(pages, 3) << group.name;
    EXPECT_LE(pages, 5) << group.name;
  }
}

}  // namespace
}  // namespace veskor::archive
