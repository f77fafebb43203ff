#include "util/utools.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>

namespace ordalyn {
namespace {

TEST(PadLeft, FillsShortTextsAndKeepsTheRightmostCharactersOfLongOnes) {
  struct Case {
    const char* text;
    std::size_t width;
    const char* expected;
  };
  const Case cases[] = {
      {"20002", 8, "00020002"},     {"", 8, "00000000"}, {"12345678", 8, "12345678"},
      {"123456789", 8, "23456789"}, {"ab", 0, ""},       {"x", 3, "__x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PadLeft(c.text, c.width, c.width == 3 ? '_' : '0'), c.expected) << c.text;
  }
}

TEST(Trim, RemovesCodesZeroToThirtyTwoAtBothEnds) {
  EXPECT_EQ(Trim(" 5550100 "), "5550100");
  EXPECT_EQ(Trim(std::string("\t\x01 a b \r\n", 9)), "a b");
  EXPECT_EQ(Trim("   "), "");
  EXPECT_EQ(Trim(""), "");
  EXPECT_EQ(Trim("\xA0x\xA0"), "\xA0x\xA0");  // code 160 is no blank here
}

TEST(ReadInteger, FollowsTheStandardConversion) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> expected;
  };
  const Case cases[] = {
      {"3", 3},
      {"12", 12},
      {"  42", 42},
      {"-3", -3},
      {"+7", 7},
      {"$1F", 31},
      {"0x1f", 31},
      {"0X10", 16},
      {"-$10", -16},
      {"$FFFFFFFF", -1},
      {"2147483647", 2147483647},
      {"-2147483648", std::int32_t{-2147483647 - 1}},
      {"2147483648", std::nullopt},
      {"$100000000", std::nullopt},
      {"", std::nullopt},
      {" ", std::nullopt},
      {"-", std::nullopt},
      {"$", std::nullopt},
      {"0x", std::nullopt},
      {"--3", std::nullopt},
      {"x", std::nullopt},
      {"3 ", std::nullopt},
      {"1e3", std::nullopt},
      {"\t3", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadInteger(c.text), c.expected) << '"' << c.text << '"';
  }
}

TEST(HexUpper, PrintsWithoutLeadingZeros) {
  EXPECT_EQ(HexUpper(0), "0");
  EXPECT_EQ(HexUpper(0x8000), "8000");
  EXPECT_EQ(HexUpper(0x10a2c), "10A2C");
  EXPECT_EQ(HexUpper(0xFFFFFFFF), "FFFFFFFF");
}

// The hand-made digits must give what the formatted output gives.
TEST(AppendDigits, MatchFormattedOutput) {
  const std::uint32_t hexValues[] = {0, 1, 0xF, 0x10, 0xABCDEF, 0x7FFFFFFF, 0x80000000, 0xFFFFFFFF};
  for (const std::uint32_t value : hexValues) {
    char expected[32];
    std::string text = "x";
    AppendHexUpper(text, value);
    std::snprintf(expected, sizeof expected, "x%X", static_cast<unsigned>(value));
    EXPECT_EQ(text, expected);
    text = "x";
    AppendHexUpper(text, value, 8);
    std::snprintf(expected, sizeof expected, "x%.8X", static_cast<unsigned>(value));
    EXPECT_EQ(text, expected);
  }
  const int decimalValues[] = {0, 5, 9, 10, 59, 99, 100, 999, 1000, 123456, INT32_MAX, -1, -42, INT32_MIN};
  for (const int value : decimalValues) {
    for (const int width : {2, 3}) {
      char expected[32];
      std::string text = "x";
      AppendDecimal(text, value, width);
      std::snprintf(expected, sizeof expected, "x%0*d", width, value);
      EXPECT_EQ(text, expected) << value << " in " << width;
    }
  }
}

}  // namespace
}  // namespace ordalyn
