#include <gtest/gtest.h>

#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/search_index.h"

namespace veskor::archive {
namespace {

struct IndexedSearch {
  const char* gid;
  const char* word;
};

class SearchIndexTest : public testing::TestWithParam<IndexedSearch> {
 protected:
  static void SetUpTestSuite() {
    corpus_ = new Corpus(BuildDemoCorpus());
    std::vector<const Newsgroup*> groups;
    for (const Newsgroup& group : corpus_->Newsgroups()) groups.push_back(&group);
    index_ = new SearchIndex(groups, 4);
  }
  static void TearDownTestSuite() {
    delete index_;
    delete corpus_;
  }
  static Corpus* corpus_;
  static SearchIndex* index_;
};

Corpus* SearchIndexTest::corpus_ = nullptr;
SearchIndex* SearchIndexTest::index_ = nullptr;

// The folded subjects are kept beside the posts: any shift between the two,
// or a cached list handed to another newsgroup or word, shows up here.
TEST_P(SearchIndexTest, GivesWhatAPlainSearchGives) {
  const Newsgroup* group = corpus_->FindById(GetParam().gid);
  ASSERT_NE(group, nullptr);
  for (long long page = 0; page <= 6; ++page) {
    const ResultsSlice plain = SearchNewsgroup(*group, GetParam().word, page, 20);
    const ResultsSlice indexed = index_->Search(*group, GetParam().word, page, 20);
    EXPECT_EQ(indexed.hits, plain.hits) << "page " << page;
    EXPECT_EQ(indexed.total, plain.total);
    EXPECT_EQ(indexed.pageCount, plain.pageCount);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Words, SearchIndexTest,
    testing::Values(IndexedSearch{"512", "jpg"}, IndexedSearch{"268", "jpg"},
                    IndexedSearch{"512", "JPG"}, IndexedSearch{"512", "\xC9GLISE"},
                    IndexedSearch{"1544", "avi"}, IndexedSearch{"1207", "re:"},
                    IndexedSearch{"512", "ch%teau"}, IndexedSearch{"733", ""},
                    IndexedSearch{"733", "introuvable"}));

// A client walking one search asks for the same newsgroup and word on every
// page; only the first page should scan the newsgroup, and a search pushed
// out by newer ones is scanned again.
TEST(SearchIndexCacheTest, ScansANewsgroupOncePerRecentSearch) {
  const Newsgroup group = BuildFaultNewsgroup();
  const SearchIndex index({&group}, 2);
  for (long long page = 1; page <= 4; ++page) index.Search(group, "fichier", page, 20);
  index.Search(group, "FICHIER", 2, 20);  // same search, other case
  EXPECT_EQ(index.FullSearchCount(), 1u);
  index.Search(group, "sur", 1, 20);
  index.Search(group, "fichier", 3, 20);  // still among the last two
  EXPECT_EQ(index.FullSearchCount(), 2u);
  index.Search(group, "rar", 1, 20);
  index.Search(group, "sur", 1, 20);  // pushed out by "rar"
  EXPECT_EQ(index.FullSearchCount(), 4u);
}

}  // namespace
}  // namespace veskor::archive
