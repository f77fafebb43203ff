// Messages of the simulated platform: only after lineOpenA, only through the
// pump, on time, repeated, with call changes applied first, dropped after
// shutdown, and the same on every run.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "simtestsupport.h"

namespace ordalyn {
namespace {

using simtest::Initialize;
using simtest::Received;
using simtest::Recorder;

class SimMessagesTest : public ::testing::Test {
 protected:
  void SetUp() override { Recorder::Reset(&pump); }
  void TearDown() override { Recorder::Reset(nullptr); }

  std::unique_ptr<SimTapiPlatform> Load(const std::string& json) {
    auto result = ParseSimScenario(json, "test.json");
    EXPECT_TRUE(result.Ok()) << (result.error ? result.error->Text() : "");
    return std::make_unique<SimTapiPlatform>(pump, std::move(*result.scenario));
  }

  // Initialises and opens the device; returns the line handle.
  HLINE Open(SimTapiPlatform& platform, DWORD device = 0, DWORD_PTR instance = 0x1234) {
    app = Initialize(platform).app;
    HLINE line = 0;
    EXPECT_EQ(simtest::Open(platform, app, device, 0x00020002, &line, instance), 0);
    return line;
  }

  ManualMessagePump pump;
  HLINEAPP app = 0;
};

constexpr const char* kTimedScript = R"({
  "lines": [{"name": "A", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "calls": [{"handle": "0x10A2C", "callerID": "111"}],
  "script": [
    {"delayMs": 100, "message": "LINE_APPNEWCALL", "param1": 0, "param2": "0x10A2C", "param3": "LINECALLPRIVILEGE_MONITOR"},
    {"delayMs": 50, "message": "LINE_CALLSTATE", "param1": "LINECALLSTATE_OFFERING", "param2": 1, "call": "0x10A2C"},
    {"message": "0x1234", "param1": 1, "param2": 2, "param3": 3, "hDevice": 77},
    {"delayMs": 1000, "message": "LINE_CALLINFO", "param1": "LINECALLINFOSTATE_CALLERID", "call": "0x10A2C",
     "hDevice": "line", "set": {"callerID": "222"}}
  ]
})";

TEST_F(SimMessagesTest, NothingArrivesBeforeLineOpen) {
  auto platform = Load(kTimedScript);
  app = Initialize(*platform).app;
  pump.RunFor(3600000);
  EXPECT_TRUE(Recorder::messages.empty());
  EXPECT_EQ(pump.Pending(), 0u);
}

TEST_F(SimMessagesTest, ScriptArrivesThroughThePumpOnTime) {
  auto platform = Load(kTimedScript);
  const HLINE line = Open(*platform);
  // Nothing is delivered inside lineOpenA: the first message waits in the pump.
  EXPECT_TRUE(Recorder::messages.empty());
  EXPECT_EQ(pump.Pending(), 1u);
  pump.RunFor(99);
  EXPECT_TRUE(Recorder::messages.empty());
  pump.RunFor(10000);
  const std::vector<Received> expected = {
      {100, line, LINE_APPNEWCALL, 0x1234, 0, 0x10A2C, LINECALLPRIVILEGE_MONITOR},
      {150, 0x10A2C, LINE_CALLSTATE, 0x1234, 0x2, 1, 0},
      {150, 77, 0x1234, 0x1234, 1, 2, 3},
      {1150, line, LINE_CALLINFO, 0x1234, 0x8000, 0, 0},
  };
  EXPECT_EQ(Recorder::messages, expected);
  EXPECT_EQ(pump.Pending(), 0u);
}

TEST_F(SimMessagesTest, CallChangesApplyJustBeforeTheirMessage) {
  auto platform = Load(kTimedScript);
  std::vector<std::string> callers;
  Recorder::hook = [&](const Received&) {
    const auto fetched = simtest::CallInfo(*platform, 0x10A2C);
    callers.push_back(SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerID).value_or("-"));
  };
  Open(*platform);
  pump.RunFor(10000);
  EXPECT_EQ(callers, (std::vector<std::string>{"111", "111", "111", "222"}));
}

constexpr const char* kRepeated = R"({
  "lines": [{"name": "A", "mediaModes": 4}],
  "calls": [{"handle": 5, "callerID": "first"}],
  "script": [
    {"delayMs": 100, "message": "LINE_CALLSTATE", "param1": "LINECALLSTATE_OFFERING", "call": 5},
    {"delayMs": 200, "message": "LINE_CALLSTATE", "param1": "LINECALLSTATE_IDLE", "call": 5,
     "set": {"callerID": "changed"}}
  ],
  "repeat": {"count": 3, "periodMs": 1000}
})";

TEST_F(SimMessagesTest, ScriptRepeatsWithItsPeriodAndRestoresTheCalls) {
  auto platform = Load(kRepeated);
  std::vector<std::string> callers;
  Recorder::hook = [&](const Received&) {
    const auto fetched = simtest::CallInfo(*platform, 5);
    callers.push_back(SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerID).value_or("-"));
  };
  Open(*platform);
  pump.RunUntilIdle();
  std::vector<std::uint64_t> times;
  for (const Received& received : Recorder::messages) times.push_back(received.time);
  EXPECT_EQ(times, (std::vector<std::uint64_t>{100, 300, 1100, 1300, 2100, 2300}));
  EXPECT_EQ(callers, (std::vector<std::string>{"first", "changed", "first", "changed", "first", "changed"}));
}

TEST_F(SimMessagesTest, ForeverRepeatsWithoutEndAndWithoutGrowingThePump) {
  auto platform = Load(R"({
    "lines": [{"name": "A", "mediaModes": 4}],
    "script": [{"delayMs": 10, "message": "LINE_LINEDEVSTATE", "param1": 4, "param3": 1},
               {"delayMs": 10, "message": 200}],
    "repeat": {"count": "forever", "periodMs": 500}
  })");
  Open(*platform);
  pump.RunFor(10000);
  EXPECT_EQ(Recorder::messages.size(), 40u);
  EXPECT_EQ(Recorder::messages.back().time, 9520u);
  EXPECT_EQ(Recorder::messages.back().message, 200u);
  EXPECT_EQ(pump.Pending(), 1u);
}

TEST_F(SimMessagesTest, ARepeatWithoutPeriodRunsBackToBack) {
  auto platform = Load(R"({
    "lines": [{"name": "A", "mediaModes": 4}],
    "script": [{"delayMs": 10, "message": 8}, {"delayMs": 30, "message": 8}],
    "repeat": {"count": 2}
  })");
  Open(*platform);
  pump.RunUntilIdle();
  std::vector<std::uint64_t> times;
  for (const Received& received : Recorder::messages) times.push_back(received.time);
  EXPECT_EQ(times, (std::vector<std::uint64_t>{10, 40, 50, 80}));
}

TEST_F(SimMessagesTest, ShutdownDropsPendingMessages) {
  auto platform = Load(kTimedScript);
  Open(*platform);
  pump.RunFor(120);
  ASSERT_EQ(Recorder::messages.size(), 1u);
  EXPECT_EQ(platform->lineShutdown(app), 0);
  pump.RunFor(60000);
  EXPECT_EQ(Recorder::messages.size(), 1u);
  EXPECT_EQ(pump.Pending(), 0u);
}

TEST_F(SimMessagesTest, ShutdownInsideTheCallbackStopsTheStream) {
  auto platform = Load(kTimedScript);
  Recorder::hook = [&](const Received&) { platform->lineShutdown(app); };
  Open(*platform);
  pump.RunFor(60000);
  EXPECT_EQ(Recorder::messages.size(), 1u);
  EXPECT_EQ(platform->ApplicationCount(), 0u);
}

TEST_F(SimMessagesTest, ANewSessionStartsTheScriptAfreshAndHearsNothingOfTheOldOne) {
  auto platform = Load(kTimedScript);
  Open(*platform);
  pump.RunFor(120);
  ASSERT_EQ(platform->lineShutdown(app), 0);
  Recorder::messages.clear();
  // The program lists the lines with a short session, then logs on.
  const auto listing = Initialize(*platform);
  ASSERT_EQ(listing.result, 0);
  ASSERT_EQ(platform->lineShutdown(listing.app), 0);
  const std::uint64_t opened = pump.Now();
  const HLINE line = Open(*platform);
  pump.RunFor(10000);
  ASSERT_EQ(Recorder::messages.size(), 4u);
  EXPECT_EQ(Recorder::messages[0].time, opened + 100);
  EXPECT_EQ(Recorder::messages[0].hDevice, line);
  EXPECT_EQ(Recorder::messages[0].message, LINE_APPNEWCALL);
}

TEST_F(SimMessagesTest, DestroyedPlatformLeavesHarmlessTasksBehind) {
  auto platform = Load(kTimedScript);
  Open(*platform);
  platform.reset();
  EXPECT_EQ(pump.RunFor(60000), 1u);
  EXPECT_TRUE(Recorder::messages.empty());
}

TEST_F(SimMessagesTest, ALineScriptReplacesTheScenarioScript) {
  auto platform = Load(R"({
    "lines": [{"name": "A", "mediaModes": 4},
              {"name": "B", "mediaModes": 4, "script": [{"delayMs": 5, "message": "LINE_CLOSE"}]}],
    "script": [{"delayMs": 5, "message": "LINE_REMOVE"}]
  })");
  Open(*platform, 1);
  pump.RunFor(100);
  ASSERT_EQ(Recorder::messages.size(), 1u);
  EXPECT_EQ(Recorder::messages[0].message, LINE_CLOSE);
  ASSERT_EQ(platform->lineShutdown(app), 0);
  Recorder::messages.clear();
  Open(*platform, 0);
  pump.RunFor(100);
  ASSERT_EQ(Recorder::messages.size(), 1u);
  EXPECT_EQ(Recorder::messages[0].message, LINE_REMOVE);
}

TEST_F(SimMessagesTest, EachApplicationKeepsItsOwnStream) {
  auto platform = Load(R"({
    "lines": [{"name": "A", "mediaModes": 4}],
    "script": [{"delayMs": 100, "message": 8}],
    "repeat": {"count": "forever", "periodMs": 100}
  })");
  const auto first = Initialize(*platform);
  const auto second = Initialize(*platform);
  HLINE line1 = 0, line2 = 0;
  ASSERT_EQ(simtest::Open(*platform, first.app, 0, 0x00020002, &line1, 1), 0);
  ASSERT_EQ(simtest::Open(*platform, second.app, 0, 0x00020002, &line2, 2), 0);
  EXPECT_NE(line1, line2);
  pump.RunFor(200);
  EXPECT_EQ(Recorder::messages.size(), 4u);
  ASSERT_EQ(platform->lineShutdown(first.app), 0);
  Recorder::messages.clear();
  pump.RunFor(300);
  ASSERT_EQ(Recorder::messages.size(), 3u);
  for (const Received& received : Recorder::messages) {
    EXPECT_EQ(received.instance, 2u);
    EXPECT_EQ(received.hDevice, line2);
  }
}

// Every message with the call information the program would fetch for it.
std::vector<std::string> Transcript(const std::string& json, DWORD device, std::uint64_t ms) {
  ManualMessagePump pump;
  Recorder::Reset(&pump);
  SimScenarioResult result = json.empty() ? SimScenarioResult{DefaultSimScenario(), std::nullopt}
                                          : ParseSimScenario(json, "test.json");
  SimTapiPlatform platform(pump, std::move(*result.scenario));
  std::vector<std::string> lines;
  Recorder::hook = [&](const Received& received) {
    std::string line = std::to_string(received.time) + " " + std::to_string(received.message) + " " +
                       std::to_string(received.hDevice) + " " + std::to_string(received.param1) + "|" +
                       std::to_string(received.param2) + "|" + std::to_string(received.param3);
    if (received.message == LINE_CALLSTATE || received.message == LINE_CALLINFO) {
      const auto fetched = simtest::CallInfo(platform, static_cast<HCALL>(received.hDevice));
      line += " " + SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerID).value_or("-") + "/" +
              SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerIDName).value_or("-");
    }
    lines.push_back(line);
  };
  const auto session = Initialize(platform);
  HLINE line = 0;
  DWORD version = 0;
  LINEEXTENSIONID extension;
  platform.lineNegotiateAPIVersion(session.app, device, 0x00010003, 0x00020002, &version, &extension);
  EXPECT_EQ(simtest::Open(platform, session.app, device, version, &line), 0);
  pump.RunFor(ms);
  Recorder::Reset(nullptr);
  return lines;
}

TEST(SimDeterminismTest, TheSameScenarioGivesTheSameMessages) {
  const auto first = Transcript("", 3, 600000);
  const auto second = Transcript("", 3, 600000);
  EXPECT_GT(first.size(), 100u);
  EXPECT_EQ(first, second);
  const auto scripted = Transcript(kRepeated, 0, 10000);
  EXPECT_EQ(scripted.size(), 6u);
  EXPECT_EQ(scripted, Transcript(kRepeated, 0, 10000));
}

TEST(SimDeterminismTest, TheSeedChoosesTheTraffic) {
  const std::string seeded = R"({"lines": [{"name": "A", "mediaModes": 4}], "traffic": {"seed": 42}})";
  const std::string other = R"({"lines": [{"name": "A", "mediaModes": 4}], "traffic": {"seed": 43}})";
  EXPECT_EQ(Transcript(seeded, 0, 300000), Transcript(seeded, 0, 300000));
  EXPECT_NE(Transcript(seeded, 0, 300000), Transcript(other, 0, 300000));
}

}  // namespace
}  // namespace ordalyn
