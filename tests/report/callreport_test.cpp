// ordalyn-calls on hand-made traces: midnight, handle reuse, a failed logon,
// edited and cut lines, and the command line with its outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "report/callsmain.h"
#include "report/outputbuffer.h"
#include "report/pagedata.h"
#include "report/reporttext.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"
#include "support/scratchdir.h"
#include "tapi/tapiutil.h"

namespace ordalyn::report {
namespace {

const std::string kSeparator(92, '-');

// The pieces of a LINE_CALLSTATE line as the program writes them.
std::string CallState(const std::string& stamp, const std::string& state, const std::string& handle,
                      const std::string& ids, const std::string& params) {
  return stamp + " | LINE_CALLSTATE: " + state + " - hCall: " + handle + " - CallerID: " + ids + " - " +
         params;
}

Report Read(const std::string& text, std::size_t piece = 5) {
  TraceReader reader(true);
  for (std::size_t at = 0; at < text.size(); at += piece) {
    reader.Feed(std::string_view(text).substr(at, piece));
  }
  reader.EndInput();
  return reader.Finish();
}

// The calls of a trace read as a stream, each as its JSON line, sorted: a
// stream hands calls on as they end, the whole report in the order they began.
std::vector<std::string> StreamedCalls(const std::string& text, std::uint64_t* linesAfterEnd = nullptr) {
  TraceReader reader;
  JsonLineWriter writer;
  std::ostringstream out;
  reader.StreamCalls([&](const Call& call, bool utf8) { writer.Write(out, call, utf8); });
  for (std::size_t at = 0; at < text.size(); at += 7) {
    reader.Feed(std::string_view(text).substr(at, 7));
  }
  reader.EndInput();
  const Report report = reader.Finish();
  EXPECT_TRUE(report.calls.empty());
  if (linesAfterEnd != nullptr) {
    *linesAfterEnd = report.linesAfterEnd;
  }
  std::vector<std::string> calls;
  std::istringstream lines(out.str());
  for (std::string line; std::getline(lines, line);) calls.push_back(line);
  std::sort(calls.begin(), calls.end());
  return calls;
}

std::vector<std::string> ReportedCalls(const Report& report) {
  JsonLineWriter writer;
  std::vector<std::string> calls;
  for (const Call& call : report.calls) {
    std::ostringstream out;
    writer.Write(out, call, report.utf8);
    calls.push_back(out.str().substr(0, out.str().size() - 1));
  }
  std::sort(calls.begin(), calls.end());
  return calls;
}

std::string Join(const std::vector<std::string>& lines, const char* end) {
  std::string text;
  for (const auto& line : lines) text += line + end;
  return text;
}

// A call across midnight, with a full stop as time separator and LF ends.
TEST(CallReport, MidnightStartsTheNextDay) {
  const Report report = Read(Join(
      {
          "23.59.50.000 | LINE_APPNEWCALL - hCall: 00000007 - 0|7|2",
          CallState("23.59.50.010", "LINECALLSTATE_OFFERING; ACTIVE", "00000007", "5550100 - CalledID: 200",
                    "2|1|0"),
          CallState("00.00.05.000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000007",
                    "5550100 - CalledID: 200 - ConnectedID: 5550100", "100|1|0"),
          // Back by less than an hour: the same day, a clock step that takes no time.
          CallState("00.00.04.500", "LINECALLSTATE_DISCONNECTED; NORMAL", "00000007",
                    " - CalledID: ", "4000|1|0"),
          CallState("00.01.00.000", "LINECALLSTATE_IDLE", "00000007", " - CalledID: ", "1|0|0"),
      },
      "\n"));
  ASSERT_EQ(report.calls.size(), 1u);
  const Call& call = report.calls[0];
  EXPECT_EQ(call.start, (23 * 3600 + 59 * 60 + 50) * 1000);
  EXPECT_EQ(Duration(call), 70500);
  EXPECT_EQ(report.clockSteps, 1u);
  EXPECT_EQ(OfferingToConnected(call), 14990);
  EXPECT_EQ(TimeText(call.lastSeen), "+1d 00:01:00.000");
  EXPECT_EQ(CallOutcome(call), Outcome::kAnswered);
  EXPECT_EQ(call.caller.Last(), "5550100");  // the empty values later do not replace it
  EXPECT_EQ(report.skipped, 0u);
}

TEST(CallReport, AReusedHandleBeginsANewCall) {
  const Report report = Read(Join(
      {
          "10:00:00:000 | LINE_APPNEWCALL - hCall: 0000000A - 0|A|2",
          CallState("10:00:00:001", "LINECALLSTATE_OFFERING; ACTIVE", "0000000A", "1 - CalledID: ", "2|1|0"),
          CallState("10:00:03:000", "LINECALLSTATE_IDLE", "0000000A", "1 - CalledID: ", "1|0|0"),
          // The same handle again without LINE_APPNEWCALL, as TAPI may reuse it.
          CallState("10:05:00:000", "LINECALLSTATE_DIALTONE; NORMAL", "0000000A", " - CalledID: ", "8|1|0"),
          CallState("10:05:01:000", "LINECALLSTATE_DIALING", "0000000A", " - CalledID: 5550123", "10|0|0"),
          CallState("10:05:09:000", "LINECALLSTATE_CONNECTED; ACTIVE", "0000000A", " - CalledID: 5550123",
                    "100|1|0"),
          CallState("10:05:10:000", "LINECALLSTATE_IDLE", "0000000A", " - CalledID: 5550124", "1|0|0"),
          // After both ended, a late identifier belongs to the later call.
          "10:05:11:000 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 0000000A - CallerID: 99 - "
          "CalledID: 5550124 - 8000|0|0",
      },
      "\r\n"));
  ASSERT_EQ(report.calls.size(), 2u);
  EXPECT_EQ(report.calls[0].caller.Last(), "1");
  EXPECT_EQ(report.calls[1].caller.Last(), "99");
  EXPECT_EQ(CallOutcome(report.calls[0]), Outcome::kMissed);
  EXPECT_EQ(CallOutcome(report.calls[1]), Outcome::kOutgoing);
  EXPECT_EQ(report.calls[1].start, 10 * 3600000 + 5 * 60000);
  EXPECT_EQ(TimeConnected(report.calls[1]), 1000);
  EXPECT_EQ(report.calls[1].called.Values(), (std::vector<std::string_view>{"5550123", "5550124"}));
}

// A logon whose initialisation fails, a trace that begins mid-call, lines a
// user edited or added, and a last line cut short.
TEST(CallReport, FailedLogonEditedAndCutLines) {
  const Report report =
      Read(Join(
               {
                   CallState("09:00:00:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000001", "2 - CalledID: 3",
                             "100|1|0"),
                   kSeparator,
                   "09:00:01:000 | LineShutDown: OK",
                   "09:00:01:000 | TAPI - Logoff",
                   "Ordalyn - Build: 1.0.0.1",
                   "(c) someone",
                   std::string(48, '='),
                   "",
                   "09:10:00:000 | Initialise: Error: 2147483662(The TAPI configuration",
                   "information is unusable)",
                   "09:10:00:000 | LineOpen: Error: 2147483720(Operation failed)",
                   "09:10:00:000 | TAPI - Logon (Version: 0.0) -  (TAPI-Line: -1)",
                   kSeparator,
                   "my note: the customer called here",
                   CallState("09:10:05:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000002",
                             " - CalledID: ", "2|1|0"),  // names and numbers disagree
                   "09:10:06:000 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 0",
                   "09:10:07:000 | LINE_LINEDEVSTATE - 4|0|1",
                   "09:10:08:000 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 000",
               },
               "\r\n") +
           "09:10:09:000 | LINE_APPNEWCALL - hCall: 0000");
  ASSERT_EQ(report.sessions.size(), 2u);
  EXPECT_FALSE(report.sessions[0].loggedOn);
  EXPECT_TRUE(report.sessions[0].loggedOff);
  const Session& failed = report.sessions[1];
  EXPECT_TRUE(failed.loggedOn);
  EXPECT_EQ(failed.line, -1);
  EXPECT_EQ(failed.lineName, "");
  EXPECT_EQ(failed.tapiVersion, "0.0");
  ASSERT_EQ(failed.results.size(), 2u);
  EXPECT_EQ(failed.results[0].result, "2147483662(The TAPI configuration information is unusable)");
  EXPECT_EQ(failed.results[1].result, "2147483720(Operation failed)");
  EXPECT_FALSE(failed.loggedOff);
  ASSERT_EQ(report.calls.size(), 1u);  // the call seen mid-way, still open at the logoff
  EXPECT_EQ(CallOutcome(report.calls[0]), Outcome::kStillOpen);
  EXPECT_EQ(report.lines, 19u);
  EXPECT_EQ(report.skipped, 5u);
  EXPECT_TRUE(report.lastLineCut);
}

// Stamps at their fixed places: any one separator that is no digit, the
// same three times, nine digits, the clock's ranges; anything else is no
// trace line.
TEST(CallReport, StampsReadOrRefused) {
  const struct {
    const char* stamp;
    std::int64_t timeOfDay;  // -1: refused
  } cases[] = {
      {"00:00:00:000", 0},
      {"23:59:59:999", 86399999},
      {"10.15.02.117", 36902117},
      {"10\xE9"
       "15\xE9"
       "02\xE9"
       "117",
       36902117},
      {"24:00:00:000", -1},
      {"10:60:00:000", -1},
      {"10:00:60:000", -1},
      {"10:00:00:00a", -1},
      {"1:000:00:000", -1},
      {"10:00.00:000", -1},
      {"10000000:000", -1},
      {"10:0\xB0:00:000", -1},
      {"10:00:00:0/0", -1},
      {"10:00:00:0:0", -1},
      {"\xB0\xB0:00:00:000", -1},
  };
  for (const auto& c : cases) {
    const std::string line = std::string(c.stamp) + " | LINE_LINEDEVSTATE - 2|0|1";
    const Report report = Read(
        line + "\n" + CallState(c.stamp, "LINECALLSTATE_IDLE", "00000001", " - CalledID: ", "1|0|0") + "\n");
    if (c.timeOfDay < 0) {
      EXPECT_EQ(report.skipped, 2u) << c.stamp;
      EXPECT_TRUE(report.calls.empty()) << c.stamp;
    } else {
      EXPECT_EQ(report.skipped, 0u) << c.stamp;
      ASSERT_EQ(report.calls.size(), 1u) << c.stamp;
      EXPECT_EQ(report.calls[0].start, c.timeOfDay) << c.stamp;
    }
  }
}

// The call rules, one hand-made trace each: what the report must make of it.
struct RuleCase {
  const char* name;
  std::vector<std::string> lines;
  std::vector<Outcome> outcomes;  // of the calls, in order
};

TEST(CallReport, CallRules) {
  const std::string ended = " - CalledID: ";
  const std::vector<RuleCase> cases = {
      {"only IDLE: its beginning was not seen",
       {CallState("10:00:00:000", "LINECALLSTATE_IDLE", "00000001", ended, "1|0|0")},
       {Outcome::kUnknown}},
      {"ACCEPTED then IDLE",
       {CallState("10:00:00:000", "LINECALLSTATE_ACCEPTED", "00000001", ended, "4|0|0"),
        CallState("10:00:01:000", "LINECALLSTATE_IDLE", "00000001", ended, "1|0|0")},
       {Outcome::kUnknown}},
      {"an unnamed origin is no outbound flag",
       {CallState("10:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001",
                  " - CalledID: 200 - (Unknown (      81), LINECALLREASON_DIRECT)", "2|1|0"),
        CallState("10:00:01:000", "LINECALLSTATE_IDLE", "00000001", ended, "1|0|0")},
       {Outcome::kMissed}},
      {"a lone fallback does not overwrite the inbound origin",
       {CallState("10:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001",
                  " - CalledID: 200 - (LINECALLORIGIN_INBOUND)", "2|1|0"),
        CallState("10:00:00:500", "LINECALLSTATE_CONNECTED; ACTIVE", "00000001",
                  " - CalledID: 200 - (Unknown (      81))", "100|1|0"),
        CallState("10:00:01:000", "LINECALLSTATE_IDLE", "00000001", ended, "1|0|0")},
       {Outcome::kAnswered}},
      {"the named outbound origin",
       {CallState("10:00:00:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000001",
                  " - CalledID: 200 - (LINECALLORIGIN_OUTBOUND)", "100|1|0"),
        CallState("10:00:01:000", "LINECALLSTATE_IDLE", "00000001", ended, "1|0|0")},
       {Outcome::kOutgoing}},
      {"handle 0 makes no call",
       {CallState("10:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000000", ended, "2|1|0"),
        "10:00:00:001 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000000 - CallerID: 1 - "
        "CalledID:  - "
        "8000|0|0"},
       {}},
      {"LINE_CALLINFO after IDLE belongs to the ended call",
       {"10:00:00:000 | LINE_APPNEWCALL - hCall: 00000005 - 0|5|2",
        CallState("10:00:00:001", "LINECALLSTATE_OFFERING; ACTIVE", "00000005", ended, "2|1|0"),
        CallState("10:00:02:000", "LINECALLSTATE_IDLE", "00000005", ended, "1|0|0"),
        "10:00:02:001 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000005 - CallerID: 77 - "
        "CalledID:  - "
        "8000|0|0"},
       {Outcome::kMissed}},
      {"a handle seen only in LINE_CALLINFO makes no call",
       {"10:00:00:001 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000009 - CallerID: 77 - "
        "CalledID:  - "
        "8000|0|0"},
       {}},
      {"a second LINE_APPNEWCALL ends the earlier call",
       {"10:00:00:000 | LINE_APPNEWCALL - hCall: 00000005 - 0|5|2",
        CallState("10:00:00:001", "LINECALLSTATE_OFFERING; ACTIVE", "00000005", ended, "2|1|0"),
        "10:00:09:000 | LINE_APPNEWCALL - hCall: 00000005 - 0|5|2",
        CallState("10:00:09:001", "LINECALLSTATE_DIALTONE; NORMAL", "00000005", ended, "8|1|0")},
       {Outcome::kMissed, Outcome::kStillOpen}},
  };
  for (const RuleCase& c : cases) {
    const Report report = Read(Join(c.lines, "\r\n"));
    EXPECT_EQ(report.skipped, 0u) << c.name;
    if (&c != &cases[6]) {  // the stream has handed that call on before its late identifier
      EXPECT_EQ(StreamedCalls(Join(c.lines, "\r\n")), ReportedCalls(report)) << c.name;
    }
    ASSERT_EQ(report.calls.size(), c.outcomes.size()) << c.name;
    for (std::size_t i = 0; i < c.outcomes.size(); ++i) {
      EXPECT_EQ(CallOutcome(report.calls[i]), c.outcomes[i]) << c.name << " call " << i;
      EXPECT_FALSE(report.calls[i].states.empty()) << c.name;
    }
  }
  const Report kept = Read(Join(cases[3].lines, "\n"));
  EXPECT_EQ(kept.calls[0].origin, 0x80u);
  EXPECT_EQ(kept.calls[0].originOrReason, 0x81u);
  const Report zero = Read(Join(cases[5].lines, "\n"));
  EXPECT_EQ(zero.linesWithoutCall, 2u);
  EXPECT_EQ(zero.sessions.at(0).linesWithoutCall, 2u);
  const Report after = Read(Join(cases[6].lines, "\n"));
  EXPECT_EQ(after.calls[0].caller.Last(), "77");
  EXPECT_EQ(Duration(after.calls[0]), 2000);
  const Report twice = Read(Join(cases[8].lines, "\n"));
  EXPECT_TRUE(twice.calls[0].ended && twice.calls[0].endedWithoutIdle);
  // Streamed, the line after IDLE is absorbed and counted: no second call.
  std::uint64_t absorbed = 0;
  const std::vector<std::string> streamed = StreamedCalls(Join(cases[6].lines, "\n"), &absorbed);
  ASSERT_EQ(streamed.size(), 1u);
  EXPECT_NE(streamed[0].find("\"caller\":\"\",\"caller_earlier\":[],"), std::string::npos) << streamed[0];
  EXPECT_NE(streamed[0].find("\"duration_ms\":2000,\"outcome\":\"missed\""), std::string::npos);
  EXPECT_EQ(absorbed, 1u);
}

// Sessions, midnight, clock steps, reused handles and calls open at a logoff:
// the stream has the very calls of the whole report.
TEST(CallStream, HasTheCallsOfTheWholeReport) {
  const std::string idle = " - CalledID: ";
  const std::string text = Join(
      {
          "23:59:59:000 | TAPI - Logon (Version: 2.2) - Desk (TAPI-Line: 1)",
          "23:59:59:500 | LINE_APPNEWCALL - hCall: 00000001 - 0|1|2",
          CallState("23:59:59:600", "LINECALLSTATE_OFFERING; ACTIVE", "00000001", "5 - CalledID: 6", "2|1|0"),
          "00:00:01:000 | LINE_APPNEWCALL - hCall: 00000002 - 0|2|2",
          CallState("00:00:01:100", "LINECALLSTATE_DIALTONE; NORMAL", "00000002", idle, "8|1|0"),
          CallState("00:00:00:500", "LINECALLSTATE_IDLE", "00000001", idle, "1|0|0"),      // a clock step
          CallState("00:00:02:000", "LINECALLSTATE_DIALING", "00000001", idle, "10|0|0"),  // reused
          CallState("00:00:03:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000003", idle, "100|1|0"),
          "00:00:04:000 | TAPI - Logoff",  // 00000001, 00000002 and 00000003 stay open
          "00:01:00:000 | TAPI - Logon (Version: 2.2) - Desk (TAPI-Line: 1)",
          CallState("00:01:01:000", "LINECALLSTATE_IDLE", "00000002", idle, "1|0|0"),
          "00:01:02:000 | LINE_APPNEWCALL - hCall: 00000004 - 0|4|2",
          CallState("00:01:03:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000004", idle, "2|1|0"),
      },
      "\r\n");
  const Report report = Read(text);
  ASSERT_EQ(report.calls.size(), 6u);
  EXPECT_EQ(StreamedCalls(text), ReportedCalls(report));
}

// The handles that ended last absorb late lines; the oldest is forgotten first,
// and a handle that ended again stays until its latest end is the oldest.
TEST(CallStream, RecentHandlesForgetTheOldestEnd) {
  RecentHandles recent(3);
  for (const DWORD handle : {1u, 2u, 1u, 3u}) recent.Add(handle);
  EXPECT_TRUE(recent.Contains(1) && recent.Contains(2) && recent.Contains(3));
  recent.Add(4);  // the first end of 1 leaves: 1 ended again since
  EXPECT_TRUE(recent.Contains(1));
  EXPECT_FALSE(recent.Contains(2));
  recent.Add(5);
  EXPECT_FALSE(recent.Contains(1));
  EXPECT_EQ(recent.Size(), 3u);
  recent.Clear();
  EXPECT_FALSE(recent.Contains(5));

  // Beyond the handles remembered, a late LINE_CALLINFO makes no call (it has
  // no state) and holds nothing once its session ends.
  std::string text;
  char handle[9];
  for (std::size_t i = 1; i <= TraceReader::kRecentHandles + 1; ++i) {
    std::snprintf(handle, sizeof handle, "%08zX", i);
    text += CallState("10:00:00:000", "LINECALLSTATE_IDLE", handle, " - CalledID: ", "1|0|0") + "\n";
  }
  text +=
      "10:00:01:000 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000001 - CallerID: 7 - "
      "CalledID:  - 8000|0|0\n";
  text +=
      "10:00:01:000 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000002 - CallerID: 7 - "
      "CalledID:  - 8000|0|0\n";
  std::uint64_t absorbed = 0;
  EXPECT_EQ(StreamedCalls(text, &absorbed).size(), TraceReader::kRecentHandles + 1);
  EXPECT_EQ(absorbed, 1u);  // 00000002 is still remembered, 00000001 no more
}

// An hour back is a clock change; more than an hour back is the next day.
TEST(CallReport, ClockStepsAreNoNewDayAndNoNegativeDuration) {
  const Report report = Read(Join(
      {
          "02:59:50:000 | LINE_APPNEWCALL - hCall: 00000007 - 0|7|2",
          CallState("02:59:59:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000007", " - CalledID: ", "2|1|0"),
          CallState("02:00:20:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000007",
                    " - CalledID: ", "100|1|0"),
          CallState("02:00:21:000", "LINECALLSTATE_IDLE", "00000007", " - CalledID: ", "1|0|0"),
          CallState("00:30:00:000", "LINECALLSTATE_IDLE", "00000008", " - CalledID: ", "1|0|0"),
      },
      "\r"));  // CR alone ends lines too
  ASSERT_EQ(report.calls.size(), 2u);
  EXPECT_EQ(report.clockSteps, 1u);
  EXPECT_EQ(Duration(report.calls[0]), 9000 + 1000);  // the step counts as no time
  EXPECT_EQ(OfferingToConnected(report.calls[0]), 0);
  EXPECT_EQ(TimeText(report.calls[0].lastSeen), "02:00:21.000");
  EXPECT_EQ(TimeText(report.calls[1].start), "+1d 00:30:00.000");
}

// Identifiers holding the labels: the report shows no party the trace did not name.
// Times and JSON strings are composed by hand: every digit's place and every
// escape between plain runs.
TEST(CallReport, TimesAndJsonStringsComposedByHand) {
  const struct {
    TraceTime time;
    const char* text;
  } times[] = {
      {0, "00:00:00.000"},
      {kMsPerDay - 1, "23:59:59.999"},
      {((13 * 60 + 47) * 60 + 5) * 1000 + 9, "13:47:05.009"},
      {10 * kMsPerDay + ((20 * 60 + 8) * 60 + 30) * 1000 + 470, "+10d 20:08:30.470"},
      {-5, "00:00:00.000"},
      {INT64_MAX, "+106751991167d 07:12:55.807"},
  };
  for (const auto& t : times) {
    EXPECT_EQ(TimeText(t.time), t.text) << t.time;
  }
  EXPECT_EQ(DurationText(INT64_MIN), "-2562047788015:12:55.808");
  EXPECT_EQ(JsonString(""), "\"\"");
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c<d\x01"
                       "e\x1f"),
            "\"a\\\"b\\\\c\\u003cd\\u0001e\\u001f\"");
  EXPECT_EQ(JsonString("<\"\xC3\xBC"), "\"\\u003c\\\"\xC3\xBC\"");

  // JSON numbers: every count of digits, around 32 bits and up to 64.
  Report numbers;
  numbers.sessions.emplace_back();
  std::vector<std::string> expected;
  for (TraceTime value = 1;; value *= 10) {
    for (const TraceTime start : {value - 1, value}) {
      numbers.calls.emplace_back().start = start;
      expected.push_back(std::to_string(start));
    }
    if (value > INT64_MAX / 10) {
      break;
    }
  }
  for (const TraceTime edge : {TraceTime{UINT32_MAX}, TraceTime{UINT32_MAX} + 1, INT64_MAX}) {
    numbers.calls.emplace_back().start = edge;
    expected.push_back(std::to_string(edge));
  }
  std::ostringstream json;
  WriteJson(json, numbers, Select(numbers, {}));
  std::size_t at = 0;
  for (const std::string& number : expected) {
    at = json.str().find("\"start_ms\":" + number + ",", at);
    ASSERT_NE(at, std::string::npos) << number;
  }
}

// The table's widths are counted, not composed: every row's cells begin
// where their titles do, with times on later days, durations of hours,
// minutes and seconds, and an identifier shown with an escaped control
// character.
TEST(CallReport, TableColumnsLineUp) {
  const Report report = Read(Join(
      {
          "23:00:00:000 | LINE_APPNEWCALL - hCall: 00000001 - 0|1|2",
          CallState("23:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001", "5550100 - CalledID: 200",
                    "2|1|0"),
          CallState("23:00:01:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000001", "5550100 - CalledID: 200",
                    "100|1|0"),
          "01:10:00:000 | LINE_APPNEWCALL - hCall: 00000002 - 0|2|2",
          CallState("01:10:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000002",
                    "A\x1b"
                    "B - CalledID: 2000",
                    "2|1|0"),
          CallState("01:12:03:004", "LINECALLSTATE_IDLE", "00000002",
                    "A\x1b"
                    "B - CalledID: 2000",
                    "1|0|0"),
          CallState("02:02:03:004", "LINECALLSTATE_IDLE", "00000001", "5550100 - CalledID: 200", "1|0|0"),
          "02:03:00:000 | LINE_APPNEWCALL - hCall: 00000003 - 0|3|2",
          CallState("02:03:03:004", "LINECALLSTATE_IDLE", "00000003", "5550177 - CalledID: 20", "1|0|0"),
      },
      "\r\n"));
  std::ostringstream out;
  WriteTable(out, report, Select(report, Filter{}));
  std::istringstream table(out.str());
  std::string header;
  std::getline(table, header);
  std::vector<std::string> rows(3);
  for (std::string& row : rows) std::getline(table, row);
  EXPECT_EQ(rows[0].rfind("00000001  23:00:00.000      3:02:03.004  answered", 0), 0u) << out.str();
  EXPECT_EQ(rows[1].rfind("00000002  +1d 01:10:00.000  2:03.004     missed    A\\x1bB", 0), 0u) << out.str();
  EXPECT_EQ(rows[2].rfind("00000003  +1d 02:03:00.000  3.004        unknown", 0), 0u) << out.str();
  for (const char* title : {"Start", "Duration", "Outcome", "Caller", "Called", "Connected", "Final state"}) {
    const std::size_t at = header.find(title);
    ASSERT_NE(at, std::string::npos) << title;
    for (const std::string& row : rows) {
      ASSERT_GT(row.size(), at) << row;
      EXPECT_EQ(row[at - 1], ' ') << title << ": " << row;
      if (std::string_view(title) != "Connected") {
        EXPECT_NE(row[at], ' ') << title << ": " << row;
      }
    }
  }
}

// The writers compose times and durations in place: they must say what
// TimeText and DurationText say, on later days, far beyond them and backwards.
TEST(CallReport, WritersComposeTimesAsTheModelDoes) {
  constexpr TraceTime kHour = 3600000;
  const struct {
    TraceTime time;
    TraceTime duration;
  } cases[] = {
      {0, 0},
      {9, 59999},
      {kMsPerDay - 1, 60000},
      {kMsPerDay, kHour - 1},
      {10 * kMsPerDay + 30470, kHour},
      {999999 * kMsPerDay + 1, 99 * kHour + 59 * 60000 + 59999},
      {999999999 * kMsPerDay + kMsPerDay - 1, 999999 * kHour},
      {1000000000 * kMsPerDay + 5, 1000000 * kHour + 1},
      {-5, -1000},
      {3, -(2 * kHour + 5)},
  };
  for (const auto& c : cases) {
    Report report;
    report.sessions.emplace_back();
    Call& call = report.calls.emplace_back();
    call.start = c.time;
    call.lastSeen = c.time;
    call.ended = true;
    call.lastElapsed = c.duration;
    call.states.push_back(StateChange{c.time, c.duration, LINECALLSTATE_IDLE, 0, 1, 0});
    const Selection selection = Select(report, Filter{});
    std::ostringstream json;
    std::ostringstream table;
    WriteJson(json, report, selection);
    WriteTable(table, report, selection);
    const std::string time = TimeText(c.time);
    const std::string ms = std::to_string(c.time);
    EXPECT_NE(json.str().find("\"start\":\"" + time + "\",\"start_ms\":" + ms + ",\"end\":\"" + time +
                              "\",\"duration_ms\":" + std::to_string(c.duration) + ","),
              std::string::npos)
        << json.str();
    EXPECT_NE(json.str().find("{\"time\":\"" + time + "\",\"time_ms\":" + ms + ","), std::string::npos)
        << json.str();
    EXPECT_NE(table.str().find("\n00000000  " + time + "  " + DurationText(c.duration) + "  "),
              std::string::npos)
        << table.str();
  }
}

std::string Hex(unsigned value, const char* format) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

// Thousands of calls open at once, the same handles again after a logoff,
// then many short sessions after the long one: every handle finds its own
// call, and a logoff forgets them all.
TEST(CallReport, ManyHandlesAcrossSessions) {
  constexpr unsigned kCalls = 3000;
  constexpr unsigned kShortSessions = 200;
  const std::string ids = "5550100 - CalledID: 200";
  std::string trace;
  for (unsigned i = 1; i <= kCalls; ++i) {
    trace += "10:00:00:000 | LINE_APPNEWCALL - hCall: " + Hex(i, "%08X") + " - 0|" + Hex(i, "%X") + "|2\n";
  }
  for (unsigned i = 1; i <= kCalls; ++i) {
    trace += CallState("10:00:01:000", "LINECALLSTATE_OFFERING; ACTIVE", Hex(i, "%08X"), ids, "2|1|0") + "\n";
  }
  for (unsigned i = 1; i <= kCalls; i += 2) {
    trace += CallState("10:00:02:000", "LINECALLSTATE_IDLE", Hex(i, "%08X"), ids, "1|0|0") + "\n";
  }
  trace += "10:00:03:000 | TAPI - Logoff\n";
  for (unsigned i = 1; i <= kCalls; ++i) {
    trace +=
        CallState("10:00:04:000", "LINECALLSTATE_CONNECTED; ACTIVE", Hex(i, "%08X"), ids, "100|1|0") + "\n";
  }
  for (unsigned i = 0; i < kShortSessions; ++i) {
    trace += "10:00:05:000 | TAPI - Logoff\n";
    trace += CallState("10:00:06:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001", ids, "2|1|0") + "\n";
  }
  const Report report = Read(trace, 4096);
  EXPECT_EQ(report.skipped, 0u);
  ASSERT_EQ(report.calls.size(), 2 * kCalls + kShortSessions);
  for (unsigned i = 1; i <= kCalls; ++i) {
    const Call& first = report.calls[i - 1];
    const Call& again = report.calls[kCalls + i - 1];
    ASSERT_EQ(first.handle, i);
    EXPECT_EQ(first.states.size(), i % 2 == 1 ? 2u : 1u) << i;
    EXPECT_EQ(CallOutcome(first), i % 2 == 1 ? Outcome::kMissed : Outcome::kStillOpen) << i;
    ASSERT_EQ(again.handle, i);
    EXPECT_EQ(again.session, 1u);
    ASSERT_EQ(again.states.size(), 1u);
    EXPECT_EQ(again.states[0].state, static_cast<DWORD>(LINECALLSTATE_CONNECTED));
  }
  for (unsigned i = 0; i < kShortSessions; ++i) {
    const Call& call = report.calls[2 * kCalls + i];
    EXPECT_EQ(call.session, 2u + i);
    EXPECT_EQ(call.states.size(), 1u);
  }
}

// Handles scattered over the whole range, as providers hand them out: calls
// that end leave the streamed handle table among thousands still open, whose
// lines must still find their calls.
TEST(CallReport, StreamedCallsEndAmongThousandsOpen) {
  const std::string ids = "5550100 - CalledID: 200";
  const auto handle = [](unsigned i) { return Hex(i * 0x9E3779B1u ^ 0x5A5A5A5Au, "%08X"); };
  std::string trace;
  for (unsigned i = 1; i <= 3000; ++i) {
    trace += CallState("10:00:01:000", "LINECALLSTATE_OFFERING; ACTIVE", handle(i), ids, "2|1|0") + "\n";
  }
  for (unsigned i = 1; i <= 3000; i += 2) {
    trace += CallState("10:00:02:000", "LINECALLSTATE_IDLE", handle(i), ids, "1|0|0") + "\n";
  }
  for (unsigned i = 1; i <= 3000; ++i) {
    trace += CallState("10:00:03:000", "LINECALLSTATE_CONNECTED; ACTIVE", handle(i), ids, "100|1|0") + "\n";
  }
  const Report report = Read(trace, 4096);
  ASSERT_EQ(report.calls.size(), 3000u);
  EXPECT_EQ(StreamedCalls(trace), ReportedCalls(report));
}

TEST(CallReport, AmbiguousIdentifiersAreCountedNotGuessed) {
  const Report report = Read(Join({CallState("10:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001",
                                             "a - CalledID: b - CalledID: c - ConnectedID: 911", "2|1|0")},
                                  "\n"));
  ASSERT_EQ(report.calls.size(), 1u);
  EXPECT_EQ(report.ambiguous, 1u);
  EXPECT_EQ(report.calls[0].connected.Last(), "");
  EXPECT_EQ(report.calls[0].caller.Last(), "");
}

// A line beyond 64 KiB is counted and skipped, also when it never ends.
TEST(CallReport, OverlongLinesAreSkippedWithoutHoldingThem) {
  const std::string call =
      CallState("10:00:00:000", "LINECALLSTATE_IDLE", "00000001", " - CalledID: ", "1|0|0");
  const Report report = Read(std::string(70000, 'x') + "\n" + call + "\n" + std::string(200000, '\0'), 4096);
  EXPECT_EQ(report.tooLong, 2u);
  EXPECT_EQ(report.calls.size(), 1u);
  EXPECT_EQ(report.lines, 3u);
  EXPECT_TRUE(report.lastLineCut);
}

struct ToolRun {
  int code = 0;
  std::string out;
  std::string err;
};

ToolRun Calls(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  ToolRun run;
  run.code = CallsMain(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

class CallsCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    std::ofstream file(trace_, std::ios::binary);
    file << Join(
        {
            "Ordalyn - Build: 1.0.0.1",
            "(c)",
            std::string(48, '='),
            "",
            "10:15:02:117 | Initialise: OK",
            "10:15:02:117 | LineOpen: OK",
            "10:15:02:117 | TAPI - Logon (Version: 2.2) - Office, \"Main\" (TAPI-Line: 3)",
            kSeparator,
            "10:16:05:412 | LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2",
            CallState("10:16:05:415", "LINECALLSTATE_OFFERING; ACTIVE", "00010A2C",
                      " - CalledID: 200 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT)", "2|1|0"),
            "10:16:05:630 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00010A2C - CallerID: Dr. "
            "M\xFCller "
            "- CalledID: 200 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 8000|0|0",
            CallState("10:16:12:771", "LINECALLSTATE_CONNECTED; ACTIVE", "00010A2C",
                      "Dr. M\xFCller - CalledID: 200 - ConnectedID: 5550100, 7 - (LINECALLORIGIN_EXTERNAL, "
                      "LINECALLREASON_DIRECT)",
                      "100|1|0"),
            CallState("10:16:40:118", "LINECALLSTATE_IDLE", "00010A2C", " - CalledID: ", "1|0|0"),
            "10:20:00:000 | LINE_APPNEWCALL - hCall: 00010B00 - 0|10B00|2",
            CallState("10:20:00:001", "LINECALLSTATE_OFFERING; ACTIVE", "00010B00", "5550177 - CalledID: 200",
                      "2|1|0"),
            CallState("10:20:04:000", "LINECALLSTATE_DISCONNECTED; BUSY", "00010B00",
                      "5550177 - CalledID: 200", "4000|20|0"),
            kSeparator,
            "10:30:00:000 | LineShutDown: OK",
            "10:30:00:000 | TAPI - Logoff",
        },
        "\r\n");
  }
  // ctest runs the cases in parallel: each has its files in a folder of its own.
  const test::ScratchDir scratch_;
  const std::string trace_ = scratch_.File("calls_test.log");
  const std::string page_ = scratch_.File("calls_test.html");
};

TEST_F(CallsCommand, TableAndSummary) {
  const ToolRun run = Calls({trace_});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(
      run.out.find(
          "00010A2C  10:16:05.412  34.706    answered    Dr. M\xC3\xBCller  200     5550100, 7  IDLE\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("00010B00  10:20:00.000  -         still open  5550177     200     " +
                         std::string(12, ' ') + "DISCONNECTED\n"),
            std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find("Calls: 2 (answered 1, missed 0, outgoing 0, busy 0, failed 0, unknown 0, still open 1)\n"
                   "Longest call: 00010A2C at 10:16:05.412, 34.706\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(
      run.out.find("line 3 \"Office, \"Main\"\", TAPI 2.2; Initialise OK; LineOpen OK; LineShutDown OK\n"),
      std::string::npos)
      << run.out;
  EXPECT_NE(run.out.find("Lines: 19 read, 0 skipped (not trace lines)\n"), std::string::npos);
}

TEST_F(CallsCommand, CsvJsonAndPage) {
  const ToolRun csv = Calls({"--csv", "--call", "0x10a2c", trace_});
  EXPECT_EQ(csv.code, 0);
  EXPECT_EQ(
      csv.out,
      "handle,session,start,end,duration_ms,outcome,caller,caller_earlier,called,called_earlier,connected,"
      "connected_earlier,origin,reason,origin_or_reason,offering_to_connected_ms,connected_ms,final_state,"
      "states\r\n"
      "00010A2C,1,10:16:05.412,10:16:40.118,34706,answered,Dr. M\xC3\xBCller,,200,,\"5550100, 7\",,"
      "LINECALLORIGIN_EXTERNAL,LINECALLREASON_DIRECT,,7356,27347,LINECALLSTATE_IDLE,OFFERING CONNECTED "
      "IDLE\r\n");

  const ToolRun json = Calls({"--json", "--from", "10:19", "--to", "10:21:00.000", trace_});
  EXPECT_EQ(json.code, 0);
  EXPECT_NE(json.out.find("\"handle\":\"00010B00\""), std::string::npos) << json.out;
  EXPECT_EQ(json.out.find("00010A2C"), std::string::npos);
  EXPECT_NE(json.out.find(
                "{\"time\":\"10:20:04.000\",\"time_ms\":37204000,\"state\":\"LINECALLSTATE_DISCONNECTED\","
                "\"mode\":\"BUSY\",\"line\":16}"),
            std::string::npos)
      << json.out;

  const ToolRun html = Calls({"--html", page_, trace_});
  EXPECT_EQ(html.code, 0);
  std::ifstream page(page_, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(page)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.find("src="), std::string::npos);  // nothing from outside
  EXPECT_EQ(text.find("href=\"http"), std::string::npos);
  // The hover text of a state is its trace line, safe inside the script.
  EXPECT_NE(text.find("\"10:16:12:771 | LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00010A2C - "
                      "CallerID: Dr. M\xC3\xBCller"),
            std::string::npos);
  // Two script elements, the data and the code, each closed only by its own
  // end tag: no text from the trace holds a "<" inside the data.
  const std::string dataTag = "<script type=\"application/json\" id=\"data\">";
  const std::size_t data = text.find(dataTag);
  ASSERT_NE(data, std::string::npos);
  const std::size_t dataEnd = text.find("</script>", data);
  EXPECT_EQ(text.find('<', data + dataTag.size()), dataEnd);
  EXPECT_EQ(text.find("</script>"), dataEnd);
  EXPECT_EQ(text.find("</script>", dataEnd + 1), text.rfind("</script>"));
  // The summary's counts, as the page's script and its test read them.
  EXPECT_NE(text.find("<b data-count=\"calls\">2</b>"), std::string::npos);
  EXPECT_NE(text.find("<b data-count=\"still open\">1</b>"), std::string::npos);
}

// --jsonl: each call on a line of its own as it ends, the objects of --json's
// "calls"; no summary; filters apply; it writes with no other form.
TEST_F(CallsCommand, JsonLinesAreTheCallsOfJson) {
  for (const std::vector<std::string>& filter :
       {std::vector<std::string>{}, {"--from", "10:19"}, {"--call", "10A2C"}}) {
    std::vector<std::string> args = filter;
    args.insert(args.begin(), "--json");
    args.push_back(trace_);
    const ToolRun json = Calls(args);
    args[0] = "--jsonl";
    const ToolRun lines = Calls(args);
    EXPECT_EQ(lines.code, 0);
    EXPECT_EQ(lines.err, "");
    // --json writes a call on each line after "calls":[ and before "],", each but the last with a comma.
    std::string calls = json.out.substr(json.out.find("\"calls\":[") + 10);
    calls = calls.substr(0, calls.find("],\n\"summary\""));
    std::string expected;
    std::istringstream rows(calls);
    for (std::string row; std::getline(rows, row);) {
      if (!row.empty()) expected += row.substr(0, row.size() - (row.back() == ',' ? 1 : 0)) + "\n";
    }
    EXPECT_EQ(lines.out, expected);
    EXPECT_EQ(std::count(lines.out.begin(), lines.out.end(), '\n'), filter.empty() ? 2 : 1);
  }
  const ToolRun both = Calls({"--jsonl", "--csv", trace_});
  EXPECT_EQ(both.code, 2);
  EXPECT_EQ(both.err.rfind("ordalyn-calls: --csv excludes --jsonl", 0), 0u) << both.err;
  EXPECT_EQ(Calls({"--jsonl", "--html", page_, trace_}).code, 2);
}

// A stream that takes nothing, as /dev/full or a full disk.
class FullBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type) override { return traits_type::eof(); }
  std::streamsize xsputn(const char*, std::streamsize) override { return 0; }
};

// The program's standard output: every byte arrives, in order, across
// several of the buffer's blocks, and one larger than a block.
TEST(OutputBuffer, WritesEveryByteInOrder) {
  const test::ScratchDir scratch;
  const std::string name = scratch.File("out.txt");
  std::string expected;
  {
    std::FILE* file = std::fopen(name.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    {
      FileOutputBuffer buffer(file);
      std::ostream out(&buffer);
      for (int i = 0; expected.size() < 3 * FileOutputBuffer::kBytes; ++i) {
        const std::string piece = std::to_string(i) + (i % 7 == 0 ? "\r\n" : ",");
        out << piece;
        expected += piece;
      }
      const std::string large(FileOutputBuffer::kBytes + 3, 'x');
      out.write(large.data(), static_cast<std::streamsize>(large.size()));
      expected += large;
      out << 'z';
      expected += 'z';
      out.flush();
      EXPECT_TRUE(out.good());
    }
    std::fclose(file);
  }
  std::ifstream in(name, std::ios::binary);
  const std::string written((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(written.size(), expected.size());
  EXPECT_TRUE(written == expected);
}

TEST(OutputBuffer, AFullDeviceFailsTheStreamWithItsCause) {
  std::FILE* file = std::fopen("/dev/full", "wb");
  if (file == nullptr) {
    GTEST_SKIP() << "no /dev/full here";
  }
  {
    FileOutputBuffer buffer(file);
    std::ostream out(&buffer);
    out << "a report";
    EXPECT_TRUE(out.good());  // still in the buffer
    errno = 0;
    out.flush();
    EXPECT_TRUE(out.bad());
    EXPECT_EQ(errno, ENOSPC);
  }
  {
    // A piece large enough to pass the buffer by fails the stream as well.
    FileOutputBuffer buffer(file);
    std::ostream out(&buffer);
    const std::string large(FileOutputBuffer::kBytes, 'x');
    errno = 0;
    out.write(large.data(), static_cast<std::streamsize>(large.size()));
    EXPECT_TRUE(out.bad());
    EXPECT_EQ(errno, ENOSPC);
  }
  std::fclose(file);
}

TEST_F(CallsCommand, AFailedWriteIsExitTwoAndNoTraceLineIsExitOne) {
  FullBuffer full;
  std::ostream out(&full);
  std::ostringstream err;
  EXPECT_EQ(CallsMain({trace_}, out, err), 2);
  EXPECT_EQ(err.str().rfind("ordalyn-calls: cannot write the report", 0), 0u) << err.str();
  EXPECT_EQ(err.str().find('\n'), err.str().size() - 1);
  std::ostringstream jsonlErr;
  EXPECT_EQ(CallsMain({"--jsonl", trace_}, out, jsonlErr), 2);
  EXPECT_EQ(jsonlErr.str().rfind("ordalyn-calls: cannot write the report", 0), 0u) << jsonlErr.str();

  const std::string notes = scratch_.File("notes.txt");
  std::ofstream(notes, std::ios::binary) << "nothing\r\nof a trace\r\n";
  const ToolRun none = Calls({notes});
  EXPECT_EQ(none.code, 1);
  EXPECT_EQ(none.err, "ordalyn-calls: no trace line in the input\n");
  EXPECT_NE(none.out.find("Lines: 2 read, 2 skipped"), std::string::npos) << none.out;

  const ToolRun limited = Calls({"--max-input", "100", trace_});
  EXPECT_EQ(limited.code, 2);
  EXPECT_EQ(limited.err, "ordalyn-calls: the input is larger than --max-input 100 bytes\n");
}

// UTF-8 input is recognised; control characters never reach the terminal raw;
// CSV cells that a spreadsheet would run as formulas are made text.
TEST_F(CallsCommand, EncodingControlCharactersAndFormulas) {
  const std::string utf8 = scratch_.File("utf8.log");
  std::ofstream(utf8, std::ios::binary)
      << CallState("10:00:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "00000001",
                   "Dr. M\xC3\xBCller\x1b[2J - CalledID: =1+2", "2|1|0")
      << "\r\n";
  const ToolRun table = Calls({utf8});
  EXPECT_NE(table.out.find("Dr. M\xC3\xBCller\\x1b[2J"), std::string::npos) << table.out;
  EXPECT_EQ(table.out.find('\x1b'), std::string::npos);
  EXPECT_NE(table.out.find("Texts read as UTF-8\n"), std::string::npos) << table.out;
  const ToolRun forced = Calls({"--encoding", "cp1252", "--json", utf8});
  EXPECT_NE(forced.out.find("Dr. M\xC3\x83\xC2\xBCller"), std::string::npos) << forced.out;
  EXPECT_NE(forced.out.find("\"encoding\":\"cp1252\""), std::string::npos);
  const ToolRun csv = Calls({"--csv", utf8});
  EXPECT_NE(csv.out.find(",'=1+2,"), std::string::npos) << csv.out;

  const std::vector<std::pair<std::string, std::string>> cells = {
      {"=SUM(A1)", "'=SUM(A1)"},
      {"@cmd", "'@cmd"},
      {"\tx", "'\tx"},
      {"\rx", "\"'\rx\""},
      {"+49 30 555", "+49 30 555"},
      {"-12", "-12"},
      {"+cmd|x", "'+cmd|x"},
      {"-", "'-"},
      {"a,b", "\"a,b\""},
      {"say \"hi\"", "\"say \"\"hi\"\"\""},
      {"", ""},
  };
  for (const auto& [cell, written] : cells) EXPECT_EQ(CsvField(cell), written) << cell;
}

TEST_F(CallsCommand, BadOptionsAndUnreadableFilesGiveExitCodeTwo) {
  const std::vector<std::vector<std::string>> bad = {
      {},
      {"--bogus", trace_},
      {"--csv", "--json", trace_},
      {"--call", "xyz", trace_},
      {"--call", "123456789", trace_},
      {"--from", "25:00", trace_},
      {"--to", "10:5", trace_},
      {trace_ + ".missing"},
      {"--html", scratch_.File("no/such/dir/page.html"), trace_},
  };
  for (const auto& args : bad) {
    const ToolRun run = Calls(args);
    EXPECT_EQ(run.code, 2) << (args.empty() ? "" : args[0]);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("ordalyn-calls: ", 0), 0u) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  const ToolRun help = Calls({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("--html FILE"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--version"), std::string::npos) << help.out;
  const ToolRun version = Calls({"--csv", "--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_EQ(version.err, "");
  EXPECT_TRUE(std::regex_search(
      version.out,
      std::regex("^ordalyn-calls [0-9]+\\.[0-9]+\\.[0-9]+ \\(build [0-9.]+\\)\nCopyright .*\n.*\n$")))
      << version.out;
}

// The page's data, read back as its script reads it: a JSON array by name,
// each element as it stands in the text (strings with their quotes and
// escapes, so that they compare against JsonString).
std::vector<std::string> PageArray(const std::string& data, const std::string& name) {
  const std::string key = "\"" + name + "\":[";
  std::size_t at = data.find(key);
  if (at == std::string::npos) return {};
  at += key.size();
  std::vector<std::string> elements;
  std::string element;
  bool inString = false;
  for (; at < data.size(); ++at) {
    const char c = data[at];
    if (inString) {
      element += c;
      if (c == '\\') {
        element += data[++at];
      } else if (c == '"') {
        inString = false;
      }
    } else if (c == ',' || c == ']') {
      if (!element.empty()) elements.push_back(element);
      element.clear();
      if (c == ']') break;
    } else {
      inString = c == '"';
      element += c;
    }
  }
  return elements;
}

std::vector<std::int64_t> PageNumbers(const std::string& data, const std::string& name) {
  std::vector<std::int64_t> numbers;
  for (const std::string& element : PageArray(data, name)) numbers.push_back(std::stoll(element));
  return numbers;
}

// Every call and state of a report, decoded from the page's columns (times as
// differences, texts through their tables), says what the report says: across
// midnight, with a reused handle, a call still open and a caller that is markup.
TEST(PageData, SaysWhatTheReportSays) {
  const Report report = Read(Join(
      {
          "23:59:50:000 | LINE_APPNEWCALL - hCall: 00000007 - 0|7|2",
          CallState("23:59:50:010", "LINECALLSTATE_OFFERING; ACTIVE", "00000007",
                    "</script><img src=x onerror=alert(1)> - CalledID: 200", "2|1|0"),
          CallState("00:00:05:000", "LINECALLSTATE_CONNECTED; ACTIVE", "00000007",
                    "\"M\xFCller\" & Co - CalledID: 200 - ConnectedID: 200", "100|1|0"),
          CallState("00:01:00:000", "LINECALLSTATE_IDLE", "00000007", " - CalledID: ", "1|0|0"),
          "00:02:00:000 | LINE_LINEDEVSTATE - 4|0|1",
          CallState("00:05:00:000", "LINECALLSTATE_DIALTONE; NORMAL", "00000007", " - CalledID: ", "8|1|0"),
          CallState("00:05:01:000", "LINECALLSTATE_IDLE", "00000007", " - CalledID: ", "1|0|0"),
          CallState("00:06:00:000", "LINECALLSTATE_OFFERING; ACTIVE", "0000000B", "5550177 - CalledID: 200",
                    "2|1|0"),
      },
      "\r\n"));
  ASSERT_EQ(report.calls.size(), 3u);
  const Selection selection = Select(report, {});
  std::ostringstream out;
  WritePageData(out, report, selection);
  const std::string data = out.str();
  EXPECT_EQ(data.find('<'), std::string::npos);  // it stands inside a script element

  ASSERT_TRUE(data.rfind("{\"t0\":", 0) == 0);
  const std::int64_t first = std::stoll(data.substr(6));
  EXPECT_EQ(first, report.calls[0].start);
  const auto outcomes = PageArray(data, "outcomes");
  const auto states = PageArray(data, "states");
  const auto modes = PageArray(data, "modes");
  ASSERT_FALSE(modes.empty());
  const auto texts = PageArray(data, "text");
  const auto lines = PageArray(data, "lines");
  const auto handle = PageNumbers(data, "handle"), start = PageNumbers(data, "start"),
             len = PageNumbers(data, "len"), ended = PageNumbers(data, "ended"),
             outcome = PageNumbers(data, "outcome"), caller = PageNumbers(data, "caller"),
             finalState = PageNumbers(data, "final"), count = PageNumbers(data, "ns"),
             st = PageNumbers(data, "st"), ss = PageNumbers(data, "ss"), sm = PageNumbers(data, "sm"),
             sl = PageNumbers(data, "sl");
  ASSERT_EQ(handle.size(), 3u);
  ASSERT_EQ(outcomes.size(), std::size(kOutcomes));
  for (std::size_t o = 0; o < outcomes.size(); ++o) {
    EXPECT_EQ(outcomes[o], JsonString(OutcomeText(kOutcomes[o])));
  }
  std::int64_t callStart = first;
  std::int64_t lineNumber = 0;
  std::size_t k = 0;
  for (std::size_t i = 0; i < report.calls.size(); ++i) {
    const Call& call = report.calls[i];
    callStart += start.at(i);
    EXPECT_EQ(handle.at(i), call.handle);
    EXPECT_EQ(callStart, call.start) << i;
    EXPECT_EQ(callStart + len.at(i), call.lastSeen) << i;
    EXPECT_EQ(ended.at(i), call.ended ? 1 : 0) << i;
    EXPECT_EQ(outcomes.at(outcome.at(i)), JsonString(OutcomeText(CallOutcome(call)))) << i;
    EXPECT_EQ(texts.at(caller.at(i)), JsonString(Utf8(call.caller.Last()))) << i;
    EXPECT_EQ(states.at(finalState.at(i)), JsonString(FinalStateText(call, false))) << i;
    ASSERT_EQ(count.at(i), static_cast<std::int64_t>(call.states.size()));
    for (const StateChange& change : call.states) {
      lineNumber += sl.at(k);
      EXPECT_EQ(callStart + st.at(k), change.time);
      EXPECT_EQ(states.at(ss.at(k)), JsonString(ShortStateName(change.state)));
      EXPECT_EQ(lineNumber, change.lineNumber);
      EXPECT_EQ(lines.at(k), JsonString(Utf8(report.StateLine(change))));
      const std::string mode = CallStateModeText(change.state, change.mode);
      EXPECT_EQ(modes.at(sm.at(k)), JsonString(mode.size() > 2 ? mode.substr(2) : "")) << k;
      ++k;
    }
  }
  EXPECT_EQ(k, st.size());
  EXPECT_EQ(texts.at(caller.at(0)),
            "\"\\\"M\xC3\xBC"
            "ller\\\" & Co\"");
  EXPECT_EQ(TimeText(report.calls[0].lastSeen), "+1d 00:01:00.000");
}

}  // namespace
}  // namespace ordalyn::report
