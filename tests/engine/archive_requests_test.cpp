#include <gtest/gtest.h>

#include <cstdlib>

#include "engine/archive_requests.h"
#include "engine/errors.h"
#include "fake_archive.h"

namespace veskor {
namespace {

constexpr std::string_view kServer = "http://archive.test";

struct WordCase {
  std::string word;
  std::string transformed;
};

class SpacesToPercentTest : public ::testing::TestWithParam<WordCase> {};

TEST_P(SpacesToPercentTest, EachSpaceBecomesOnePercent) {
  EXPECT_EQ(SpacesToPercent(GetParam().word), GetParam().transformed);
}

INSTANTIATE_TEST_SUITE_P(Words, SpacesToPercentTest,
                         ::testing::Values(WordCase{"deux mots", "deux%mots"},
                                           WordCase{"  x ", "%%x%"}, WordCase{"", ""},
                                           WordCase{"sans", "sans"},
                                           WordCase{"a\tb&c+d%", "a\tb&c+d%"}));

TEST(ArchiveAddressTest, FirstAndFollowingPagesKeepTheirKeysInOrder) {
  EXPECT_EQ(FirstPageAddress(kServer, "photo", "42"),
            "http://archive.test/articles.pl?search=photo&gid=42&search=rechercher&thumb=");
  EXPECT_EQ(NextPageAddress(kServer, "42", 3, "photo"),
            "http://archive.test/articles.pl?gid=42&page=3&search=photo&thumb=");
  EXPECT_EQ(FirstPageAddress(kServer, "", "-1"),
            "http://archive.test/articles.pl?search=&gid=-1&search=rechercher&thumb=");
  EXPECT_EQ(IdLookupAddress(kServer, "fr.rec.photo"),
            "http://archive.test/part2.pl?name=fr.rec.photo");
}

struct EncodingCase {
  std::string text;
  std::string encoded;
};

class PercentEncodeTest : public ::testing::TestWithParam<EncodingCase> {};

// Every byte that could change the request is escaped, so the server decodes
// exactly the text that was meant.
TEST_P(PercentEncodeTest, EscapesEveryReservedByte) {
  EXPECT_EQ(PercentEncode(GetParam().text), GetParam().encoded);
  EXPECT_EQ(IdLookupAddress(kServer, GetParam().text),
            std::string(kServer) + "/part2.pl?name=" + GetParam().encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PercentEncodeTest,
    ::testing::Values(EncodingCase{"fr.comp.lang.c++", "fr.comp.lang.c%2B%2B"},
                      EncodingCase{"a&b=c#d", "a%26b%3Dc%23d"},
                      EncodingCase{"deux%mots", "deux%25mots"},
                      EncodingCase{"with space", "with%20space"},
                      EncodingCase{"\xE9t\xE9", "%E9t%E9"},
                      EncodingCase{"A-z_0.9~", "A-z_0.9~"}, EncodingCase{"", ""}));

TEST(ArchiveAddressTest, WordIsEncodedAfterItsSpacesBecameWildcards) {
  EXPECT_EQ(FirstPageAddress(kServer, SpacesToPercent("deux mots"), "7"),
            "http://archive.test/articles.pl?search=deux%25mots&gid=7&search=rechercher&thumb=");
  EXPECT_EQ(NextPageAddress(kServer, "Non trouv\xE9", 2, "c++"),
            "http://archive.test/articles.pl?gid=Non%20trouv%E9&page=2&search=c%2B%2B&thumb=");
}

struct IdCase {
  std::string reply;
  std::string id;
};

class CutNewsgroupIdTest : public ::testing::TestWithParam<IdCase> {};

TEST_P(CutNewsgroupIdTest, CutsBetweenOkAndEndMarker) {
  EXPECT_EQ(CutNewsgroupId(GetParam().reply), GetParam().id);
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Replies, CutNewsgroupIdTest,
    ::testing::Values(
        IdCase{"<a href='x?ok=512'\">", "512"}, IdCase{"ok=-1'\">", "-1"},
        IdCase{"ok=1'\">ok=2'\">", "1"}, IdCase{"ok='\">", ""},
        // Without an end marker the ID stops at the end of its line...
        IdCase{"xx ok=77 tail", "77 tail"}, IdCase{"ok=77\r\n<html>more", "77"},
        IdCase{"ok=9\nz'\">", "9"},
        // ...or when the end marker comes before "ok=".
        IdCase{"'\"> ok=5", "5"},
        // An end marker before "ok=" does not hide the one after it.
        IdCase{"<body onload='go()'\">\r\n<p>ok=512'\"></p>", "512"},
        IdCase{"'\"> ok=5'\">", "5"},
        // Without "ok=" there is no ID (never a piece of the page).
        IdCase{"hello", ""}, IdCase{"ab", ""}, IdCase{"", ""},
        IdCase{"<html>Erreur</html>\r\n", ""},
        // The reply is seen up to its first zero byte.
        IdCase{"ok=12\0'\">"s, "12"}, IdCase{"\0ok=12'\">"s, ""}));

TEST(LookupNewsgroupIdTest, FetchesTheLookupAddressAndPassesErrorsOn) {
  testing::FakeArchive archive;
  archive.pages["http://archive.test/part2.pl?name=fr.a"] = "<meta url='a.pl?ok=31'\">";
  EXPECT_EQ(LookupNewsgroupId(archive, IdLookupAddress(kServer, "fr.a")), "31");
  EXPECT_THROW(LookupNewsgroupId(archive, IdLookupAddress(kServer, "fr.b")), FetchError);
  EXPECT_EQ(archive.requested.size(), 2u);
}

TEST(ArchiveServerSettingTest, EnvironmentOverridesBuiltInAddress) {
  EXPECT_EQ(NormalizeArchiveServer("http://h:1//"), "http://h:1");
  setenv("VESKOR_ARCHIVE", "http://other:9/", 1);
  EXPECT_EQ(DefaultArchiveServer(), "http://other:9");
  setenv("VESKOR_ARCHIVE", "", 1);
  EXPECT_EQ(DefaultArchiveServer().rfind("http://", 0), 0u);
  unsetenv("VESKOR_ARCHIVE");
}

}  // namespace
}  // namespace veskor
