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

// A cut at a missing marker plus an offset starts at offset - 1, as the
// replies' cuts rely on; it fails only when that is past the end.
TEST(TextCutTest, MissingMarkerPlusOffsetCutsFromOffsetMinusOne) {
  EXPECT_EQ(CutPiece("hello", FindMarker("hello", "x") + 3), "llo");
  EXPECT_EQ(CutPiece("hello", FindMarker("hello", "x") + 1), "hello");
  EXPECT_EQ(CutPiece("hello", FindMarker("hello", "x") + 6), "");
  EXPECT_THROW(CutPiece("hello", FindMarker("hello", "x") + 7), OutOfRangeError);
}

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
