// The Windows-1252 <-> QString conversions used wherever text meets a widget.

#include <gtest/gtest.h>

#include "platform/qt_text.h"

namespace veskor {
namespace {

TEST(FromAnsi, StopsAtTheFirstZeroByte) {
  EXPECT_EQ(FromAnsi(std::string_view("ab\0cd", 5)), QString("ab"));
  EXPECT_EQ(FromAnsi(std::string_view("\0cd", 3)), QString());
}

struct ByteAndChar {
  unsigned char byte;
  char16_t unicode;
};

void PrintTo(const ByteAndChar& c, std::ostream* os) { *os << "byte " << int(c.byte); }

class HighByte : public testing::TestWithParam<ByteAndChar> {};

TEST_P(HighByte, MapsToItsWindows1252Character) {
  const auto [byte, unicode] = GetParam();
  EXPECT_EQ(FromAnsi(std::string(1, static_cast<char>(byte))), QString(QChar(unicode)));
  EXPECT_EQ(ToAnsi(QString(QChar(unicode))), std::string(1, static_cast<char>(byte)));
}

INSTANTIATE_TEST_SUITE_P(Samples, HighByte,
                         testing::Values(ByteAndChar{0x80, u'\u20AC'}, ByteAndChar{0x9C, u'\u0153'},
                                         ByteAndChar{0x92, u'\u2019'}, ByteAndChar{0xE9, u'\u00E9'},
                                         ByteAndChar{0xFF, u'\u00FF'}, ByteAndChar{0x81, u'\u0081'}));

TEST(AnsiText, EveryNonZeroByteSurvivesARoundTrip) {
  std::string bytes;
  for (int b = 1; b < 256; ++b) bytes += static_cast<char>(b);
  const QString text = FromAnsi(bytes);
  EXPECT_EQ(text.size(), 255);
  EXPECT_TRUE(IsAnsiEncodable(text));
  EXPECT_EQ(ToAnsi(text), bytes);
}

TEST(ToAnsi, ACharacterWithoutAByteBecomesAQuestionMark) {
  const QString text = QString::fromUtf8("a\u03A9b\U0001F600c");
  EXPECT_FALSE(IsAnsiEncodable(text));
  EXPECT_EQ(ToAnsi(text), "a?b?c");  // the emoji is one character, not two halves
}

struct RefusedCase {
  const char* name;
  QString text;
  std::optional<QString> refused;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class FirstNonAnsi : public testing::TestWithParam<RefusedCase> {};

TEST_P(FirstNonAnsi, NamesTheFirstCharacterWithoutAByte) {
  EXPECT_EQ(FirstNonAnsiCharacter(GetParam().text), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FirstNonAnsi,
    testing::Values(RefusedCase{"Encodable", QString::fromUtf8("\u20AC \u00E9t\u00E9 \u0153"), {}},
                    RefusedCase{"Empty", QString(), {}},
                    RefusedCase{"Greek", QString::fromUtf8("\u03A9mega"), QString::fromUtf8("\u03A9")},
                    RefusedCase{"FirstOfTwo", QString::fromUtf8("a\u0416b\u03A9"),
                                QString::fromUtf8("\u0416")},
                    // Both halves of the pair, never one half alone.
                    RefusedCase{"OutsideTheBasicPlane", QString::fromUtf8("ok\U0001F600"),
                                QString::fromUtf8("\U0001F600")},
                    RefusedCase{"LoneSurrogate", QStringLiteral("x") + QChar(0xD800) + QLatin1Char('y'),
                                QString(QChar(0xD800))}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace veskor
