// The built-in default environment: its line lists, and a minute of call
// traffic on its suggested line, traced as the program traces it.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "e2erig.h"

namespace ordalyn::e2e {
namespace {

constexpr std::uint64_t kMinute = 60000;

TEST(E2eDefault, ListsSuggestLine3) {
  Rig rig(DefaultSimScenario());
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
  EXPECT_EQ(rig.EnumerateLong(longList), 5u);
  EXPECT_EQ(rig.EnumerateShort(shortList), 5u);
  const std::vector<std::string> expectedLong = {
      "Line: 0 - Sample Fax Modem, Media $30, TAPI-Version 2.2",
      "Line: 1 - Legacy Voice Modem, Media $1C, TAPI-Version 1.3",
      "Line: 2 - Wave Line 1, Media $E, TAPI-Version 2.0",
      "Line: 3 - Office Extension 214, Media $C, TAPI-Version 2.2 *",
      "Line: 4 - ISDN Line 1 - MSN 5550199 - Basic Rate Interface, B-Channel 1, Media $184, TAPI-Version 2.2",
      "* Suggested TAPI Voice Line",
  };
  EXPECT_EQ(longList, expectedLong);
  ASSERT_EQ(shortList.size(), 5u);
  EXPECT_EQ(shortList[4], "4 - ISDN Line 1 - MSN 5550199 - Basic Rate Interface, B-Channel 1");
  EXPECT_EQ(LineNumberOfEntry(shortList[4]), 4);
}

// What one event line says: its message, and for call lines the call.
struct Event {
  std::uint64_t ms = 0;
  std::string message;  // "LINE_CALLSTATE: LINECALLSTATE_OFFERING", "LINE_APPNEWCALL", ...
  std::string call;     // the eight-digit handle; empty for other messages
};

// Parses an event line; fails the test when it has none of the four shapes.
Event Parse(const std::string& line) {
  static const std::regex stamp(R"(^10:(\d\d):(\d\d):(\d\d\d) \| (.*)$)");
  static const std::regex callLine(
      R"(^(LINE_CALLSTATE: LINECALLSTATE_[A-Z]+|LINE_CALLINFO: [A-Z_ ]*)(; [A-Z]+|; Undefined \([0-9A-F]+\))? - )"
      R"(hCall: ([0-9A-F]{8}) - CallerID: [^\r\n]* - CalledID: [^\r\n]*? (- ConnectedID: [^\r\n]* )?)"
      R"((- \([A-Z_, ]+\) )?- [0-9A-F]+\|[0-9A-F]+\|[0-9A-F]+$)");
  static const std::regex newCall(R"(^LINE_APPNEWCALL - hCall: ([0-9A-F]{8}) - 0\|([0-9A-F]+)\|2$)");
  static const std::regex other(R"(^([A-Z_]+) - [0-9A-F]+\|[0-9A-F]+\|[0-9A-F]+$)");
  Event event;
  std::smatch m;
  if (!std::regex_match(line, m, stamp)) {
    ADD_FAILURE() << "no stamp: " << line;
    return event;
  }
  event.ms = MsTo(10, std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]));
  const std::string text = m[4];
  if (std::regex_match(text, m, newCall)) {
    event.message = "LINE_APPNEWCALL";
    event.call = m[1];
    EXPECT_EQ(std::stoul(m[1].str(), nullptr, 16), std::stoul(m[2].str(), nullptr, 16)) << line;
  } else if (std::regex_match(text, m, callLine)) {
    event.message = m[1];
    event.call = m[3];
  } else if (std::regex_match(text, m, other)) {
    event.message = m[1];
  } else {
    ADD_FAILURE() << "no line shape: " << line;
  }
  return event;
}

TEST(E2eDefault, AMinuteOnTheSuggestedLineIsARealisticTrace) {
  Rig rig(DefaultSimScenario());
  const auto trace = rig.Trace(3, kMinute);

  ASSERT_GT(trace.size(), 13u);
  EXPECT_EQ(std::vector<std::string>(trace.begin(), trace.begin() + 4), Header());
  EXPECT_EQ(trace[4], At(0, "Initialise: OK"));
  EXPECT_EQ(trace[5], At(0, "LineOpen: OK"));
  EXPECT_EQ(trace[6], At(0, "TAPI - Logon (Version: 2.2) - Office Extension 214 (TAPI-Line: 3)"));
  EXPECT_EQ(trace[7], kSeparator);
  EXPECT_EQ(trace[trace.size() - 3], kSeparator);
  EXPECT_EQ(trace[trace.size() - 2], At(kMinute, "LineShutDown: OK"));
  EXPECT_EQ(trace[trace.size() - 1], At(kMinute, "TAPI - Logoff"));

  const auto lines = EventLines(trace);
  ASSERT_EQ(lines.size(), trace.size() - 11);
  std::vector<Event> events;
  for (const auto& line : lines) events.push_back(Parse(line));

  // Each call: LINE_APPNEWCALL, then OFFERING and the caller's information
  // for the same handle, and IDLE as its last call line.
  std::vector<std::string> calls;
  std::map<std::string, std::vector<std::string>> story;
  std::string current;
  int deviceStates = 0;
  std::uint64_t last = 0;
  for (const auto& event : events) {
    EXPECT_GE(event.ms, last) << "stamps never go back";
    EXPECT_LT(event.ms, kMinute);
    last = event.ms;
    if (event.message == "LINE_APPNEWCALL") {
      EXPECT_TRUE(story.count(event.call) == 0) << "handle reused: " << event.call;
      if (!current.empty()) {
        ASSERT_FALSE(story[current].empty()) << current;
        EXPECT_EQ(story[current].back(), "LINE_CALLSTATE: LINECALLSTATE_IDLE") << current;
      }
      current = event.call;
      calls.push_back(current);
      story[current];
    } else if (!event.call.empty()) {
      EXPECT_EQ(event.call, current) << "call lines name the last new call";
      story[current].push_back(event.message);
    } else if (event.message == "LINE_LINEDEVSTATE") {
      ++deviceStates;
    }
  }
  EXPECT_GE(calls.size(), 3u);
  EXPECT_GE(deviceStates, 1);
  for (const auto& call : calls) {
    SCOPED_TRACE(call);
    const auto& messages = story[call];
    if (call == calls.back() && messages.size() < 2) continue;  // the minute may end mid-call
    ASSERT_GE(messages.size(), 2u);
    EXPECT_EQ(messages[0], "LINE_CALLSTATE: LINECALLSTATE_OFFERING");
    EXPECT_EQ(messages[1], "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID");
    if (call != calls.back()) {
      EXPECT_EQ(messages.back(), "LINE_CALLSTATE: LINECALLSTATE_IDLE");
      EXPECT_EQ(std::count(messages.begin(), messages.end(), "LINE_CALLSTATE: LINECALLSTATE_IDLE"), 1);
    }
  }
}

// One rig at a time: the line callback reaches one trace per process.
std::vector<std::string> DefaultTrace() {
  Rig rig(DefaultSimScenario());
  return rig.Trace(3, kMinute);
}

TEST(E2eDefault, TheSameRunGivesTheSameTrace) {
  const auto a = DefaultTrace();
  const auto b = DefaultTrace();
  EXPECT_GT(a.size(), 20u);
  EXPECT_EQ(a, b);
}

TEST(E2eDefault, EveryLineCarriesTraffic) {
  // The two lines the list does not suggest still carry calls when traced.
  for (const std::int32_t device : {1, 4}) {
    Rig rig(DefaultSimScenario());
    const auto trace = rig.Trace(device, kMinute);
    SCOPED_TRACE(device);
    ASSERT_GT(trace.size(), 7u);
    EXPECT_EQ(trace[5], At(0, "LineOpen: OK"));
    const auto events = EventLines(trace);
    EXPECT_TRUE(std::any_of(events.begin(), events.end(), [](const std::string& line) {
      return TextOf(line).rfind("LINE_APPNEWCALL", 0) == 0;
    }));
  }
}

}  // namespace
}  // namespace ordalyn::e2e
