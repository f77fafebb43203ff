#include "widgets/cp1252.h"

#include <gtest/gtest.h>

#include <string>

namespace ordalyn {
namespace {

TEST(Cp1252, EveryByteSurvivesTheRoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  const QString text = FromCp1252(all);
  ASSERT_EQ(text.size(), 256);
  EXPECT_EQ(ToCp1252(text), all);
}

struct Mapping {
  unsigned char byte;
  char16_t unicode;
};

TEST(Cp1252, HighBytesMapToTheirCharacters) {
  const Mapping rows[] = {
      {0x41, u'A'},   {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A},    {0x85, 0x2026},
      {0x8A, 0x0160}, {0x8C, 0x0152}, {0x8D, 0x008D}, {0x8E, 0x017D},    {0x8F, 0x008F},
      {0x90, 0x0090}, {0x93, 0x201C}, {0x96, 0x2013}, {0x99, 0x2122},    {0x9D, 0x009D},
      {0x9F, 0x0178}, {0xA0, 0x00A0}, {0xA9, 0x00A9}, {0xFC, u'\u00FC'}, {0xFF, 0x00FF},
  };
  for (const Mapping& row : rows) {
    const QString text = FromCp1252(std::string(1, static_cast<char>(row.byte)));
    ASSERT_EQ(text.size(), 1);
    EXPECT_EQ(text.at(0).unicode(), row.unicode) << static_cast<int>(row.byte);
    EXPECT_EQ(ToCp1252(QString(QChar(row.unicode))), std::string(1, static_cast<char>(row.byte)));
  }
}

TEST(Cp1252, GermanPlaceholder) {
  EXPECT_EQ(FromCp1252("< Keine Daten Verf\xFCgbar >"), QString::fromUtf8("< Keine Daten Verfügbar >"));
  EXPECT_EQ(ToCp1252(QString::fromUtf8("Verfügbar € ™")), "Verf\xFCgbar \x80 \x99");
}

TEST(Cp1252, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(ToCp1252(QString::fromUtf8("a\u03A9b")), "a?b");                // Greek Omega
  EXPECT_EQ(ToCp1252(QString::fromUtf8("a\U0001F600b")), "a?b");            // one character, two units
  EXPECT_EQ(ToCp1252(QString(QChar(0x0080))), "?");                         // a control the code page lacks
  EXPECT_EQ(ToCp1252(QString(QChar(static_cast<char16_t>(0xD800)))), "?");  // a lone surrogate
}

// The whole text as one slice.
std::string ToCp1252WithCrLf(const QString& text) {
  std::string bytes;
  EXPECT_TRUE(WriteCp1252WithCrLf(text, text.size() + 1, [&](std::string_view slice) {
    bytes += slice;
    return true;
  }));
  return bytes;
}

TEST(Cp1252, WidensEveryLineFeedAndConvertsTheRest) {
  struct Case {
    const char* utf8;
    std::string expected;
  };
  const Case cases[] = {
      {"", ""},
      {"\n", "\r\n"},
      {"a\nb", "a\r\nb"},
      {"\n\n", "\r\n\r\n"},
      {"a\r\nb", "a\r\r\nb"},  // a CR already there stays
      {"Verfügbar €\n™", "Verf\xFCgbar \x80\r\n\x99"},
      {"a\U0001F600\n\u03A9", "a?\r\n?"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ToCp1252WithCrLf(QString::fromUtf8(c.utf8)), c.expected) << c.utf8;
  }
}

// Slices as short as one character: line ends, characters outside ASCII and
// surrogate pairs at every boundary give the bytes of the whole conversion.
TEST(Cp1252, SlicedWritingGivesTheBytesOfTheWholeText) {
  const QString text = QString::fromUtf8("a\U0001F600\n\u00E9\u20AC\n\U0001F600\U0001F600bc\n") +
                       QString(QChar(static_cast<char16_t>(0xD800))) + QString(40, QLatin1Char('x')) + "\n";
  const std::string whole = ToCp1252WithCrLf(text);
  ASSERT_EQ(whole.substr(0, 9), "a?\r\n\xE9\x80\r\n?");
  for (const qsizetype slice : {1, 2, 3, 5, 32, 33, 1000}) {
    std::string written;
    int calls = 0;
    EXPECT_TRUE(WriteCp1252WithCrLf(text, slice, [&](std::string_view bytes) {
      written += bytes;
      ++calls;
      return true;
    }));
    EXPECT_EQ(written, whole) << "slices of " << slice;
    EXPECT_GE(calls, static_cast<int>(text.size() / std::max<qsizetype>(slice, 2) / 2)) << slice;
  }
  int calls = 0;
  EXPECT_FALSE(WriteCp1252WithCrLf(text, 4, [&](std::string_view) { return ++calls < 2; }));
  EXPECT_EQ(calls, 2) << "a refused slice stops the writing";
  EXPECT_TRUE(WriteCp1252WithCrLf(QString(), 4, [](std::string_view) { return false; }));
}

TEST(Cp1252, KeepsNulBytes) {
  const std::string withNul("a\0b", 3);
  EXPECT_EQ(FromCp1252(withNul).size(), 3);
  EXPECT_EQ(ToCp1252(FromCp1252(withNul)), withNul);
}

}  // namespace
}  // namespace ordalyn
