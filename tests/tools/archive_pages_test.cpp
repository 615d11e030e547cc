#include <gtest/gtest.h>

#include <algorithm>
#include <regex>

#include "tests/tools/scraper_cut.h"
#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/pages.h"

namespace veskor::archive {
namespace {

using testing_cut::CutLikeTheClient;
using testing_cut::PageLinkText;

const char* const kMarkers[] = {"nowrap>&nbsp;", "5&nbsp;</td>", "<td><a href=\"",
                                "&quot; yEnc</", ")&nbsp; ",     "</span></td>"};

ResultsRequest Request(const Newsgroup* group, std::string gid, std::string word, long long page) {
  ResultsRequest request;
  request.gid = std::move(gid);
  request.word = std::move(word);
  request.newsgroup = group;
  if (group != nullptr) {
    request.slice = SearchNewsgroup(*group, request.word, page, 20);
  } else {
    request.slice.page = page;
  }
  return request;
}

void ExpectNoMarkers(const std::string& text, const char* where) {
  for (const char* marker : kMarkers) {
    EXPECT_EQ(text.find(marker), std::string::npos) << where << " holds " << marker;
  }
}

TEST(HitLineTest, HasTheExactShapeTheClientReads) {
  Post post;
  post.article = 1234;
  post.date = PostDate{3, 7, 2005};
  post.poster = "lecteur1";
  post.subject = "photo.jpg";
  EXPECT_EQ(HitLine("42", post),
            "<tr><td><a href=\"articles.pl?gid=42&art=1234\"><b>&quot;photo.jpg&quot; yEnc</b>"
            "</a></td><td nowrap>&nbsp;03/07/2005&nbsp;</td><td><span>(1)&nbsp; lecteur1"
            "</span></td>\r\n");
}

// Each page of the fault newsgroup, past the last one included: the client
// finds every hit with its exact fields, ends its loop on the tail's ".pl",
// and sees a link to the next page exactly when there is one.
TEST(ResultsPageTest, ClientCutsEveryPageIntoItsHits) {
  const Newsgroup group = BuildFaultNewsgroup();
  for (long long page = 1; page <= 4; ++page) {
    SCOPED_TRACE("page " + std::to_string(page));
    const ResultsRequest request = Request(&group, "9999", "fichier", page);
    const ResultsPage rendered = RenderResultsPage(request);
    const auto cut = CutLikeTheClient(rendered.Text());
    ASSERT_EQ(cut.rows.size(), request.slice.hits.size());
    for (std::size_t i = 0; i < cut.rows.size(); ++i) {
      const Post& post = *request.slice.hits[i];
      EXPECT_EQ(cut.rows[i].subject, post.subject);
      EXPECT_EQ(cut.rows[i].date, post.date.ToText());
      EXPECT_EQ(cut.rows[i].poster, post.poster);
    }
    EXPECT_EQ(cut.rest.find(PageLinkText(page + 1)) != std::string::npos, page < 3);
  }
}

TEST(ResultsPageTest, HeadAndTailHoldNoMarkerAndNoStrayPageNumber) {
  const Corpus corpus = BuildDemoCorpus();
  const Newsgroup fault = BuildFaultNewsgroup();
  const std::regex pageNumber(">[0-9]+<");
  std::vector<ResultsRequest> requests = {
      Request(corpus.FindById("512"), "512", "jpg", 1),
      Request(corpus.FindById("512"), "512", "jpg", 5),
      Request(corpus.FindById("512"), "512", "jpg", 77),
      Request(corpus.FindById("1207"), "1207", "<b>\"&nbsp;5&nbsp;</td>", 1),
      Request(nullptr, "123", "jpg", 2),
      Request(&fault, "fault-nopl", "fichier", 1),
  };
  requests.back().withLinks = false;
  for (const ResultsRequest& request : requests) {
    SCOPED_TRACE(request.gid + " " + request.word + " page " + std::to_string(request.slice.page));
    const ResultsPage rendered = RenderResultsPage(request);
    ExpectNoMarkers(rendered.head, "head");
    ExpectNoMarkers(rendered.tail, "tail");
    EXPECT_FALSE(std::regex_search(rendered.head, pageNumber));
    EXPECT_EQ(rendered.tail.find(".pl") != std::string::npos, request.withLinks);
    for (const std::string& hit : rendered.hits) EXPECT_TRUE(hit.ends_with("</span></td>\r\n"));
  }
}

TEST(ResultsPageTest, PageWithoutHitsGivesOnlyTheOverrunPass) {
  const Corpus corpus = BuildDemoCorpus();
  for (const ResultsRequest& request :
       {Request(corpus.FindById("512"), "512", "introuvable", 1),
        Request(corpus.FindById("512"), "512", "jpg", 6), Request(nullptr, "4", "jpg", 1)}) {
    const auto cut = CutLikeTheClient(RenderResultsPage(request).Text());
    EXPECT_TRUE(cut.rows.empty());
    EXPECT_EQ(cut.rest.find(PageLinkText(request.slice.page + 1)), std::string::npos);
  }
}

TEST(ResultsPageTest, PageWithoutPlAfterItsHitsNeverEndsTheClientLoop) {
  const Newsgroup group = BuildFaultNewsgroup();
  ResultsRequest request = Request(&group, "fault-nopl", "fichier", 1);
  request.withLinks = false;
  EXPECT_THROW(CutLikeTheClient(RenderResultsPage(request).Text()), std::out_of_range);
  EXPECT_THROW(CutLikeTheClient(RenderNotResultsPage()), std::out_of_range);
  EXPECT_EQ(RenderNotResultsPage().find(".pl"), std::string::npos);
}

TEST(ResultsPageTest, SubjectsAndPostersAreEscapedAndCutAsEntities) {
  Newsgroup group{"fr.test", "7", {}};
  Post post;
  post.article = 1;
  post.date = PostDate{5, 5, 2005};
  post.subject = "Que vaut \"sizeof(char)\" & <T> ?";
  post.poster = "Jean <jean@free.fr>";
  group.posts.push_back(post);
  const auto cut = CutLikeTheClient(RenderResultsPage(Request(&group, "7", "", 1)).Text());
  ASSERT_EQ(cut.rows.size(), 1u);
  EXPECT_EQ(cut.rows[0].subject, "Que vaut &quot;sizeof(char)&quot; &amp; &lt;T&gt; ?");
  EXPECT_EQ(cut.rows[0].poster, "Jean &lt;jean@free.fr&gt;");
}

TEST(ResultsPageTest, PageBarLinksOtherPagesWithTheWordEncoded) {
  const Newsgroup group = BuildFaultNewsgroup();
  const ResultsPage rendered = RenderResultsPage(Request(&group, "fault-500-p2", "fich%r", 2));
  EXPECT_NE(rendered.tail.find("<a href=articles.pl?gid=fault-500-p2&page=1&search=fich%25r"
                               "&thumb=>1</a>"),
            std::string::npos);
  EXPECT_NE(rendered.tail.find("<b>2</b>"), std::string::npos);
  EXPECT_EQ(rendered.tail.find(">2</a>"), std::string::npos);
}

// 50 pages of one hit: the bar shows a window around the current page, and
// the walk must still find its next page on every one of them.
class PageBarWindowTest : public testing::TestWithParam<long long> {};

TEST_P(PageBarWindowTest, ListsFirstLastAndTheNextPageOnly) {
  static const Newsgroup group = BuildFaultNewsgroup();
  const long long page = GetParam();
  ResultsRequest request = Request(&group, "9999", "fichier", page);
  request.slice = SearchNewsgroup(group, "fichier", page, 1);
  ASSERT_EQ(request.slice.pageCount, 50);
  const ResultsPage rendered = RenderResultsPage(request);
  const auto cut = CutLikeTheClient(rendered.Text());
  EXPECT_EQ(cut.rest.find(PageLinkText(page + 1)) != std::string::npos, page < 50);

  const std::regex numbered(">([0-9]+)<");
  std::vector<long long> listed;
  for (auto it = std::sregex_iterator(rendered.tail.begin(), rendered.tail.end(), numbered);
       it != std::sregex_iterator(); ++it) {
    listed.push_back(std::stoll((*it)[1]));
  }
  ASSERT_FALSE(listed.empty());
  EXPECT_EQ(listed.front(), 1);
  EXPECT_EQ(listed.back(), 50);
  EXPECT_LE(listed.size(), 13u);
  EXPECT_TRUE(std::is_sorted(listed.begin(), listed.end()));
  EXPECT_EQ(std::adjacent_find(listed.begin(), listed.end()), listed.end());
}

INSTANTIATE_TEST_SUITE_P(Pages, PageBarWindowTest,
                         testing::Values(1, 2, 6, 7, 25, 44, 45, 49, 50, 51, 52, 1000));

TEST(LookupReplyTest, IdStandsBetweenTheFirstOkAndTheFirstEndMarker) {
  for (const std::string id : {"512", "", "-1", "fault-500-p2"}) {
    const std::string reply = RenderLookupReply("fr.rec.photo", id);
    const std::size_t start = reply.find("ok=") + 3;
    EXPECT_EQ(reply.substr(start, reply.find("'\">") - start), id);
  }
  EXPECT_EQ(RenderLookupWithoutId().find("ok="), std::string::npos);
}

}  // namespace
}  // namespace veskor::archive
