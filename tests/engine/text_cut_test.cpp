#include <gtest/gtest.h>

#include "engine/errors.h"
#include "engine/text_cut.h"

namespace veskor {
namespace {

TEST(TextCutTest, FindsFirstOccurrenceAtOrAfterStart) {
  EXPECT_EQ(FindMarker("abcabc", "bc"), 1u);
  EXPECT_EQ(FindMarker("abcabc", "bc", 2), 4u);
  EXPECT_EQ(FindMarker("abcabc", "x"), kNotFound);
  EXPECT_EQ(FindMarker("abc", "abcd"), kNotFound);
  EXPECT_EQ(FindMarker("abc", "c", 7), kNotFound);
}

// A marker that is missing, plus the offset a cut adds to it, starts the cut
// at offset - 1: only true when a failed search gives exactly kNotFound, on
// the short scan and on the long one alike.
class MissingMarkerCut : public ::testing::TestWithParam<std::size_t> {};

TEST_P(MissingMarkerCut, StartsAtTheOffsetMinusOne) {
  const std::string text(GetParam(), 'x');
  const std::size_t found = FindMarker(text, "nowrap>&nbsp;");
  EXPECT_EQ(CutPiece(text, found + 13), text.substr(12));
  EXPECT_EQ(CutPiece(text, found + 3, 4), text.substr(2, 4));
}

INSTANTIATE_TEST_SUITE_P(TextLengths, MissingMarkerCut, ::testing::Values(12, 40, 255, 256, 5000));

TEST(TextCutTest, CutStopsAtEndAndFailsOnlyPastIt) {
  EXPECT_EQ(CutPiece("hello", 1, 3), "ell");
  EXPECT_EQ(CutPiece("hello", 3, 100), "lo");
  EXPECT_EQ(CutPiece("hello", 2, std::size_t(0) - 5), "llo");  // a negative length is huge
  EXPECT_EQ(CutPiece("hello", 5), "");
  EXPECT_THROW(CutPiece("hello", 6), OutOfRangeError);
  EXPECT_THROW(CutPiece("", 1), OutOfRangeError);
}

TEST(TextCutTest, OutOfRangeMessageIsFrench) {
  try {
    CutPiece("ab", 12);
    FAIL();
  } catch (const OutOfRangeError& e) {
    EXPECT_NE(std::string(e.what()).find("hors limites"), std::string::npos);
  }
}

TEST(TextCutTest, BodyIsSeenUpToItsFirstZeroByte) {
  using namespace std::string_literals;
  EXPECT_EQ(UpToFirstZero("ab\0cd"s), "ab");
  EXPECT_EQ(UpToFirstZero("\0"s), "");
  EXPECT_EQ(UpToFirstZero("abc"), "abc");
}

}  // namespace
}  // namespace veskor
