#include <gtest/gtest.h>

#include "tools/archive_server/demo_corpus.h"
#include "tools/archive_server/query.h"

namespace veskor::archive {
namespace {

struct DecodeCase {
  std::string raw;
  std::string decoded;
};

class PercentDecodeTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(PercentDecodeTest, DecodesByteForByte) {
  EXPECT_EQ(PercentDecode(GetParam().raw), GetParam().decoded);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PercentDecodeTest,
    testing::Values(DecodeCase{"ch%E2teau", "ch\xE2teau"}, DecodeCase{"%e9t%E9", "\xE9t\xE9"},
                    DecodeCase{"100%25", "100%"}, DecodeCase{"c%2B%2b", "c++"},
                    DecodeCase{"a+b", "a+b"},                        // never a space
                    DecodeCase{"photo%vacances", "photo%vacances"},  // bare wildcard
                    DecodeCase{"fin%", "fin%"}, DecodeCase{"fin%4", "fin%4"},
                    DecodeCase{"%00x", std::string("\0x", 2)}));

TEST(PercentEncodeTest, RoundTripsEveryByte) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(PercentDecode(PercentEncode(all)), all);
  EXPECT_EQ(PercentEncode("fr.comp.lang.c++ %\xE9"), "fr.comp.lang.c%2B%2B%20%25%E9");
}

TEST(ParseQueryTest, FirstOfTwoSearchKeysIsTheWord) {
  const auto fields = ParseQuery("search=mot%E9&gid=42&search=rechercher&thumb=");
  ASSERT_EQ(fields.size(), 4u);
  EXPECT_EQ(*FirstValue(fields, "search"), "mot\xE9");
  EXPECT_EQ(*FirstValue(fields, "thumb"), "");
  EXPECT_EQ(FirstValue(fields, "page"), nullptr);
  EXPECT_EQ(fields[0].rawValue, "mot%E9");
}

struct MatchCase {
  const char* subject;
  const char* pattern;
  bool matches;
};

class MatchesPatternTest : public testing::TestWithParam<MatchCase> {};

TEST_P(MatchesPatternTest, Matches) {
  EXPECT_EQ(MatchesPattern(GetParam().subject, GetParam().pattern), GetParam().matches)
      << GetParam().subject << " / " << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MatchesPatternTest,
    testing::Values(MatchCase{"Pont du Gard.jpg", "gard", true},  // anywhere, any case
                    MatchCase{"Pont du Gard.jpg", "GARD.JPG", true},
                    MatchCase{"\xC9glise de V\xE9zelay.jpg", "\xE9GLISE", true},  // É/é
                    MatchCase{"\xC9glise", "eglise", false},                      // accents stay
                    MatchCase{"ch\xE2teau", "CH\xC2TEAU", true},
                    MatchCase{"\x8C"
                              "uvre",
                              "\x9C"
                              "UVRE",
                              true},                           // Œ/œ
                    MatchCase{"2 \xD7 3", "2 \xF7 3", false},  // × is no letter
                    MatchCase{"Pont du Gard.jpg", "pont%jpg", true},
                    MatchCase{"Pont du Gard.jpg", "jpg%pont", false},  // order kept
                    MatchCase{"Pont du Gard.jpg", "%%pont%%", true},
                    MatchCase{"aab", "a%ab", true},  // pieces may not overlap...
                    MatchCase{"ab", "a%ab", false},  // ...nor share letters
                    MatchCase{"anything", "", true}, MatchCase{"", "%", true},
                    MatchCase{"", "a", false}));

TEST(SearchNewsgroupTest, PagesNewestFirstAndNothingPastTheLast) {
  const Newsgroup group = BuildFaultNewsgroup();
  std::vector<long long> seen;
  for (long long page = 1; page <= 4; ++page) {
    const ResultsSlice slice = SearchNewsgroup(group, "FICHIER", page, 20);
    EXPECT_EQ(slice.total, 50u);
    EXPECT_EQ(slice.pageCount, 3);
    EXPECT_EQ(slice.hits.size(), page <= 2 ? 20u : page == 3 ? 10u : 0u) << page;
    for (const Post* post : slice.hits) seen.push_back(post->article);
  }
  ASSERT_EQ(seen.size(), 50u);
  for (std::size_t i = 0; i < seen.size(); ++i) EXPECT_EQ(seen[i], 50 - static_cast<long long>(i));

  const ResultsSlice none = SearchNewsgroup(group, "introuvable", 1, 20);
  EXPECT_EQ(none.pageCount, 0);
  EXPECT_TRUE(none.hits.empty());
  EXPECT_TRUE(SearchNewsgroup(group, "fichier", 0, 20).hits.empty());
}

}  // namespace
}  // namespace veskor::archive
