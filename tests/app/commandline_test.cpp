#include "app/core/commandline.h"

#include <gtest/gtest.h>

namespace ordalyn {
namespace {

TEST(ReadSelectedDevice, ReadsTheNumberAfterAnySwitchCharacter) {
  struct Case {
    const char* argument;
    std::int32_t device;
  };
  const Case cases[] = {
      {"-3", 3},           {"/3", 3},           {"3", 3},          {"-12", 12}, {"12", 2},
      {"--3", -1},         {"-x", -1},          {"", -1},          {"-", -1},   {"x3", 3},
      {"-0", 0},           {"-$1F", 31},        {"-0x10", 16},     {"- 7", 7},  {"-2147483647", 2147483647},
      {"-2147483648", -1}, {"-4294967296", -1}, {"-$FFFFFFFF", 1}, {"-3 ", -1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadSelectedDevice(c.argument), c.device) << '"' << c.argument << '"';
  }
}

TEST(ReadCommandLine, NeedsTwoArgumentsAndIgnoresTheRest) {
  EXPECT_FALSE(ReadCommandLine({}));
  EXPECT_FALSE(ReadCommandLine({"-3"}));
  const auto request = ReadCommandLine({"-3", "trace.log", "extra"});
  ASSERT_TRUE(request);
  EXPECT_EQ(request->lineArgument, "-3");
  EXPECT_EQ(request->fileName, "trace.log");
}

TEST(ReplaceAll, ReplacesEveryOccurrenceAndAlwaysEnds) {
  struct Case {
    const char* text;
    const char* pattern;
    const char* replacement;
    const char* expected;
  };
  const Case cases[] = {
      {"a#x#b#x#c", "#x#", "1", "a1b1c"},
      {"none", "#x#", "1", "none"},
      {"#x#", "#x#", "#x#", "#x#"},  // contains its own macro
      {"#x##x#", "#x#", "[#x#]", "[#x#][#x#]"},
      {"#X#", "#x#", "1", "#X#"},  // case-sensitive
      {"#x#", "#x#", "", ""},
      {"##x##", "#x#", "x", "#x#"},  // what the replacement forms with the rest stays
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    ReplaceAll(text, c.pattern, c.replacement);
    EXPECT_EQ(text, c.expected) << c.text;
  }
}

TEST(ReplaceAll, KeepsAtMost65000CharactersAfterAnOccurrence) {
  std::string text = "#x#" + std::string(70000, 'a');
  ReplaceAll(text, "#x#", "b");
  EXPECT_EQ(text, "b" + std::string(65000, 'a'));
}

TEST(ExpandMacros, DateTimeAndComputer) {
  FakeClock clock(LocalDateTime{2011, 9, 1, 20, 10, 59, 999});
  int computerCalls = 0;
  const auto computer = [&computerCalls] {
    ++computerCalls;
    return std::string("PBX7");
  };
  struct Case {
    const char* name;
    const char* expected;
  };
  const Case cases[] = {
      {"tapilog_#date#_#time#.log", "tapilog_2011-09-01_20-10.log"},
      {"#date#/#date#.log", "2011-09-01/2011-09-01.log"},
      {"#DATE#_#Time#.log", "#DATE#_#Time#.log"},
      {"#computer#-#computer#.log", "PBX7-PBX7.log"},
      {"plain.log", "plain.log"},
      {"#date", "#date"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExpandMacros(c.name, clock, computer), c.expected) << c.name;
  }
  EXPECT_EQ(computerCalls, 1);  // asked only for the name that holds the macro, once
  EXPECT_EQ(ExpandMacros("#computer#.log", clock, [] { return std::string(); }), ".log");
  EXPECT_EQ(ExpandMacros("#computer#.log", clock, [] { return std::string("#computer#"); }),
            "#computer#.log");
}

TEST(ExpandMacros, EarlyMorningIsZeroPadded) {
  FakeClock clock(LocalDateTime{987, 1, 2, 3, 4, 5, 6});
  EXPECT_EQ(ExpandMacros("#date#_#time#", clock, [] { return std::string(); }), "0987-01-02_03-04");
}

}  // namespace
}  // namespace ordalyn
