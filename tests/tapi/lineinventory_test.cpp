#include "tapi/lineinventory.h"

#include <gtest/gtest.h>

#include "fakeplatform.h"

namespace ordalyn {
namespace {

using test::FakeLine;
using test::FakePlatform;

constexpr DWORD kVoice = LINEMEDIAMODE_INTERACTIVEVOICE;

struct InventoryFixture : ::testing::Test {
  FakePlatform platform;
  TapiState state;
  std::vector<std::string> list{"stale entry"};

  void SetUp() override { state.tapiVersion = 0x00020002; }
};

TEST_F(InventoryFixture, ThreeLinesOfWhichOnlyLineTwoIsSuited) {
  platform.lines = {FakeLine{"Modem", 0x10, 0x10}, FakeLine{"Fax", 0x20, 0x10},
                    FakeLine{"Voice Modem", 0x1C, LINEBEARERMODE_VOICE}};
  EXPECT_EQ(EnumerateLines(platform, state, list, true), 3u);
  const std::vector<std::string> longForm = {
      "Line: 0 - Modem, Media $10, TAPI-Version 2.2",
      "Line: 1 - Fax, Media $20, TAPI-Version 2.2",
      "Line: 2 - Voice Modem, Media $1C, TAPI-Version 2.2 *",
      "* Suggested TAPI Voice Line",
  };
  EXPECT_EQ(list, longForm);
  EXPECT_EQ(EnumerateLines(platform, state, list, false), 3u);
  const std::vector<std::string> shortForm = {"0 - Modem", "1 - Fax", "2 - Voice Modem"};
  EXPECT_EQ(list, shortForm);
  EXPECT_EQ(platform.calls_made.back(), "lineShutdown(1234)");
}

TEST_F(InventoryFixture, OnlyTheFirstOfTwoSuitedLinesIsMarkedAndTheLegendComesOnce) {
  platform.lines = {FakeLine{"A"}, FakeLine{"B"}};
  EnumerateLines(platform, state, list, true);
  const std::vector<std::string> expected = {
      "Line: 0 - A, Media $4, TAPI-Version 2.2 *",
      "Line: 1 - B, Media $4, TAPI-Version 2.2",
      "* Suggested TAPI Voice Line",
  };
  EXPECT_EQ(list, expected);
}

TEST_F(InventoryFixture, ALineSpeakingOnly13IsNeverSuggested) {
  platform.lines = {FakeLine{"Old", kVoice, LINEBEARERMODE_VOICE, 0x00010003},
                    FakeLine{"Odd", kVoice | LINEMEDIAMODE_UNKNOWN, LINEBEARERMODE_VOICE}};
  EnumerateLines(platform, state, list, true);
  const std::vector<std::string> expected = {
      "Line: 0 - Old, Media $4, TAPI-Version 1.3",
      "Line: 1 - Odd, Media $6, TAPI-Version 2.2",
  };
  EXPECT_EQ(list, expected);
}

TEST_F(InventoryFixture, AFailedLineQueryKeepsItsNumberAndShowsNothingOfTheLineBefore) {
  platform.lines = {FakeLine{"Voice", kVoice}, FakeLine{"Broken", 0x10}, FakeLine{"Next", 0x10}};
  platform.lines[1].capsResult = LINEERR_OPERATIONFAILED;
  platform.lines[2].negotiateResult = LINEERR_INCOMPATIBLEAPIVERSION;
  EnumerateLines(platform, state, list, true);
  const std::vector<std::string> expected = {
      "Line: 0 - Voice, Media $4, TAPI-Version 2.2 *",
      "Line: 1 - (not available: The operation failed for unspecified reasons)",
      "Line: 2 - (not available: Incompatible API version)",
      "* Suggested TAPI Voice Line",
  };
  EXPECT_EQ(list, expected);
  EnumerateLines(platform, state, list, false);
  EXPECT_EQ(list[1], "1 - (not available: The operation failed for unspecified reasons)");
  EXPECT_EQ(LineNumberOfEntry(list[2]), 2);
}

TEST_F(InventoryFixture, AFailedInitialisationLeavesTheListEmptyAndStillShutsDown) {
  platform.lines = {FakeLine{"A"}};
  platform.initResult = LINEERR_OPERATIONFAILED;
  platform.initWritesOutputs = false;
  EXPECT_EQ(EnumerateLines(platform, state, list, true), 0u);
  EXPECT_TRUE(list.empty());
  const std::vector<std::string> calls = {"lineInitializeExA(20002)", "lineShutdown(0)"};
  EXPECT_EQ(platform.calls_made, calls);
}

TEST_F(InventoryFixture, NoLineDevicesGiveAnEmptyListAndZero) {
  EXPECT_EQ(EnumerateLines(platform, state, list, true), 0u);
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(platform.calls_made.back(), "lineShutdown(1234)");
}

TEST_F(InventoryFixture, AnAbsurdDeviceCountIsNotQueriedBeyondTheLimit) {
  platform.lines = {FakeLine{"A"}};
  platform.deviceCount = 0xFFFFFFFF;
  EXPECT_EQ(EnumerateLines(platform, state, list, false), 0xFFFFFFFFu);
  EXPECT_EQ(list.size(), kMaxListedLines);
  EXPECT_EQ(list[1], "1 - (not available: Invalid line device ID)");
}

TEST(LineNumberOfEntry, ReadsTheNumberBeforeTheFirstDash) {
  struct Case {
    const char* entry;
    std::int32_t expected;
  };
  const Case cases[] = {
      {"12 - Fax - Line 2", 12}, {"0 - Modem", 0}, {"3 - Voice - Modem - X", 3},
      {"  7\t- Trimmed", 7},     {"", 0},          {"Modem", 0},
      {"x - Modem", 0},          {"-5 - Odd", 0},  {"$A - Hex", 10},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(LineNumberOfEntry(c.entry), c.expected) << c.entry;
  }
}

}  // namespace
}  // namespace ordalyn
