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
  std::optional<char32_t> refused;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.name; }

class FirstUnencodable : public testing::TestWithParam<RefusedCase> {};

TEST_P(FirstUnencodable, NamesTheFirstCharacterWithoutAByte) {
  EXPECT_EQ(FirstUnencodableCharacter(GetParam().text), GetParam().refused);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FirstUnencodable,
    testing::Values(RefusedCase{"Encodable", QString::fromUtf8("\u20AC \u00E9t\u00E9 \u0153"), {}},
                    RefusedCase{"Empty", QString(), {}},
                    RefusedCase{"Greek", QString::fromUtf8("\u03A9mega"), U'\u03A9'},
                    RefusedCase{"FirstOfTwo", QString::fromUtf8("a\u0416b\u03A9"), U'\u0416'},
                    // The whole pair, never one half alone.
                    RefusedCase{"OutsideTheBasicPlane", QString::fromUtf8("ok\U0001F600"), U'\U0001F600'},
                    RefusedCase{"LoneSurrogate", QStringLiteral("x") + QChar(0xD800) + QLatin1Char('y'),
                                U'\uFFFD'}),
    [](const auto& info) { return std::string(info.param.name); });

struct RefusalCase {
  const char* utf8;
  const char* expected;  // empty: accepted
};

class Refusal : public testing::TestWithParam<RefusalCase> {};

// The message must name the first character that cannot go out, whole.
TEST_P(Refusal, NamesTheFirstCharacterWithoutAByte) {
  const QString message = UnencodableTextMessage("Mot refus\u00E9", QString::fromUtf8(GetParam().utf8));
  EXPECT_EQ(message.toStdString(), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Refusal,
    testing::Values(
        RefusalCase{"\u20AC\u00E9t\u00E9 \u0153uvre", ""},
        RefusalCase{"\u03A9mega\u2126", "Mot refus\u00E9 : le caract\u00E8re \u00AB \u03A9 \u00BB de "
                                    "\u00AB \u03A9mega\u2126 \u00BB n'existe pas en Windows-1252, le jeu "
                                    "de caract\u00E8res de l'archive et des fichiers de groupe"},
        RefusalCase{"ok\U0001F600", "Mot refus\u00E9 : le caract\u00E8re \u00AB \U0001F600 \u00BB de "
                                    "\u00AB ok\U0001F600 \u00BB n'existe pas en Windows-1252, le jeu "
                                    "de caract\u00E8res de l'archive et des fichiers de groupe"}));

TEST(Refusal, CutsALongTextWithoutSplittingACharacter) {
  const QString text = QString(199, QLatin1Char('a')) + QString::fromUtf8("\U0001F600tail");
  const QString message = UnencodableTextMessage("Mot refus\u00E9", text);
  EXPECT_TRUE(message.contains(QString(199, QLatin1Char('a')) + QChar(0x2026) + " \u00BB"))
      << message.toStdString();
  EXPECT_FALSE(message.contains("tail"));
}

}  // namespace
}  // namespace veskor
