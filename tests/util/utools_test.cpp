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

TEST(ReadHex, TakesOnlyTheFormsAllowed) {
  struct Case {
    const char* text;
    unsigned form;
    std::optional<std::uint32_t> expected;
  };
  const Case cases[] = {
      {"10A2C", kHexUpper, 0x10A2C},           {"0", kHexUpper, 0},
      {"FFFFFFFF", kHexUpper, 0xFFFFFFFF},     {"00010A2C", kHexUpper, std::nullopt},
      {"00010A2C", kHexLeadingZeros, 0x10A2C}, {"10a2c", kHexLeadingZeros, std::nullopt},
      {"10a2c", kHexAnyCase, 0x10A2C},         {"123456789", kHexLeadingZeros | kHexAnyCase, std::nullopt},
      {"", kHexAnyCase, std::nullopt},         {" 1", kHexAnyCase, std::nullopt},
      {"G", kHexAnyCase, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadHex(c.text, c.form), c.expected) << c.text << " " << c.form;
}

TEST(ReadTimeOfDay, ReadsStampsAndTypedTimes) {
  struct Case {
    const char* text;
    TimeOfDayForm form;
    std::optional<std::int64_t> expected;
  };
  const std::int64_t late = ((23 * 60 + 59) * 60 + 59) * 1000 + 999;
  const Case cases[] = {
      {"23:59:59:999", TimeOfDayForm::kStamp, late},
      {"23.59.59.999", TimeOfDayForm::kStamp, late},
      {"23:59:59.999", TimeOfDayForm::kStamp, std::nullopt},  // one separator, three times
      {"2359059099", TimeOfDayForm::kStamp, std::nullopt},
      {"24:00:00:000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:60:00:000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:00:60:000", TimeOfDayForm::kStamp, std::nullopt},
      {"00:00:00:000", TimeOfDayForm::kStamp, 0},
      {"09 08 07 065", TimeOfDayForm::kStamp, ((9 * 60 + 8) * 60 + 7) * 1000 + 65},
      // A character that is no digit, at each of the digits' places.
      {"x0:00:00:000", TimeOfDayForm::kStamp, std::nullopt},
      {"1/:00:00:000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:0::00:000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:00:0 :000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:00:00:00\xff", TimeOfDayForm::kStamp, std::nullopt},
      {"10:00:00:0A0", TimeOfDayForm::kStamp, std::nullopt},
      {"105005005000", TimeOfDayForm::kStamp, std::nullopt},  // a digit as separator
      {"10:00:00:0000", TimeOfDayForm::kStamp, std::nullopt},
      {"10:00", TimeOfDayForm::kClock, 36000000},
      {"10:00:01", TimeOfDayForm::kClock, 36001000},
      {"23:59:59.999", TimeOfDayForm::kClock, late},
      {"23:59:59:999", TimeOfDayForm::kClock, std::nullopt},
      {"10:5", TimeOfDayForm::kClock, std::nullopt},
      {"1a:00", TimeOfDayForm::kClock, std::nullopt},
      {"", TimeOfDayForm::kClock, std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(ReadTimeOfDay(c.text, c.form), c.expected) << c.text;
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
