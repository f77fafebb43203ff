// ordalyn-calls reads the program's own traces, made on the simulated
// platform, back into the calls they were made from.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2erig.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"
#include "tapi/sim/simtraffic.h"

namespace ordalyn::e2e {
namespace {

using report::Call;
using report::Outcome;
using report::Report;

// The trace as a background file holds it (CR LF), read in pieces that cut
// lines anywhere.
Report ReadBack(const std::vector<std::string>& lines) {
  std::string file;
  for (const auto& line : lines) file += line + "\r\n";
  report::TraceReader reader;
  for (std::size_t at = 0; at < file.size(); at += 4093) {
    reader.Feed(std::string_view(file).substr(at, 4093));
  }
  reader.EndInput();
  return reader.Finish();
}

// Each call as its JSON line, sorted: streamed, as the calls end, or all of
// the whole report.
std::vector<std::string> CallLines(const std::vector<std::string>& lines, bool streamed) {
  std::string file;
  for (const auto& line : lines) file += line + "\r\n";
  report::TraceReader reader;
  report::JsonLineWriter writer;
  std::ostringstream out;
  if (streamed) {
    reader.StreamCalls([&](const Call& call, bool utf8) { writer.Write(out, call, utf8); });
  }
  reader.Feed(file);
  reader.EndInput();
  const Report report = reader.Finish();
  for (const Call& call : report.calls) writer.Write(out, call, report.utf8);
  std::vector<std::string> calls;
  std::istringstream text(out.str());
  for (std::string line; std::getline(text, line);) calls.push_back(line);
  std::sort(calls.begin(), calls.end());
  return calls;
}

std::size_t Count(const std::vector<std::string>& lines, const std::string& piece) {
  std::size_t count = 0;
  for (const auto& line : lines) count += line.find(piece) != std::string::npos ? 1 : 0;
  return count;
}

constexpr report::TraceTime kStartOfTrace = ((10 * 60 + 15) * 60 + 2) * 1000 + 117;

TEST(CallReportE2e, DefaultTrafficReadsBackIntoItsCalls) {
  constexpr std::uint64_t kRunMs = 30 * 60 * 1000;
  Rig rig(DefaultSimScenario());
  const auto lines = rig.Trace(3, kRunMs);

  // The calls as the platform made them: the same generator, device and seed.
  struct Made {
    DWORD handle;
    std::uint64_t start;
    std::vector<std::pair<std::uint64_t, std::pair<DWORD, DWORD>>> states;
  };
  std::vector<Made> made;
  SimTrafficGenerator traffic(DefaultSimScenario().traffic->seed, 3);
  std::size_t connected = 0;
  for (std::uint64_t t = 0;;) {
    const SimMessage message = traffic.Next();
    t += message.delayMs;
    if (t > kRunMs) break;
    if (message.message == 23) {
      made.push_back({message.param2, t, {}});
    } else if (message.message == 2) {
      ASSERT_FALSE(made.empty());
      ASSERT_EQ(made.back().handle, message.call);
      made.back().states.push_back({t, {message.param1, message.param2}});
      connected += message.param1 == 0x100 ? 1 : 0;
    }
  }
  ASSERT_GT(made.size(), 50u);

  const Report report = ReadBack(lines);
  EXPECT_EQ(report.lines, lines.size());
  EXPECT_EQ(report.skipped, 0u);
  ASSERT_EQ(report.sessions.size(), 1u);
  EXPECT_EQ(report.sessions[0].line, 3);
  EXPECT_EQ(report.sessions[0].lineName, "Office Extension 214");
  EXPECT_EQ(report.sessions[0].tapiVersion, "2.2");
  EXPECT_EQ(report.sessions[0].results.size(), 3u);
  EXPECT_TRUE(report.sessions[0].loggedOff);
  ASSERT_EQ(report.calls.size(), made.size());
  for (std::size_t i = 0; i < made.size(); ++i) {
    const Call& call = report.calls[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(call.handle, made[i].handle);
    EXPECT_EQ(call.start, kStartOfTrace + static_cast<report::TraceTime>(made[i].start));
    ASSERT_EQ(call.states.size(), made[i].states.size());
    for (std::size_t s = 0; s < call.states.size(); ++s) {
      EXPECT_EQ(call.states[s].time, kStartOfTrace + static_cast<report::TraceTime>(made[i].states[s].first));
      EXPECT_EQ(call.states[s].state, made[i].states[s].second.first);
      EXPECT_EQ(call.states[s].mode, made[i].states[s].second.second);
    }
    EXPECT_EQ(call.ended, made[i].states.back().second.first == 0x1);
  }
  const report::Summary summary = report::Summarise(report::Select(report, {}));
  EXPECT_EQ(summary.byOutcome[static_cast<int>(Outcome::kAnswered)], connected);
}

TEST(CallReportE2e, OneCallExample) {
  auto rig = Rig::FromExample("one-call.json");
  const Report report = ReadBack(rig->Trace(0, 20000));
  EXPECT_EQ(report.skipped, 0u);
  ASSERT_EQ(report.calls.size(), 1u);
  const Call& call = report.calls[0];
  EXPECT_EQ(call.handle, 0x10A2Cu);
  EXPECT_EQ(CallOutcome(call), Outcome::kAnswered);
  EXPECT_EQ(call.start, kStartOfTrace + 1000);
  EXPECT_EQ(Duration(call), 3 + 215 + 800 + 120 + 2500 + 8000 + 40);
  EXPECT_EQ(OfferingToConnected(call), 215 + 800 + 120 + 2500);
  EXPECT_EQ(TimeConnected(call), 8000);
  EXPECT_EQ(call.caller.Values(), std::vector<std::string_view>{"5550100"});
  EXPECT_EQ(call.called.Last(), "200");
  EXPECT_EQ(call.connected.Last(), "5550100");
  EXPECT_EQ(call.origin, 0x4u);
  EXPECT_EQ(call.reason, 0x1u);
}

// Every example reads without a skipped line, with one state per call-state
// line, one ended call per IDLE and each error result line in its session;
// lines with handle 00000000 (no call known yet) are counted, not made calls.
TEST(CallReportE2e, EveryExampleReadsBackWhole) {
  for (const char* example :
       {"one-call.json", "odd-messages.json", "large-blocks.json", "repeat-forever.json", "traffic.json",
        "failing-tapi.json", "message-table.json", "device-count.json"}) {
    SCOPED_TRACE(example);
    auto rig = Rig::FromExample(example);
    const auto lines = rig->Trace(0, 60000);
    const Report report = ReadBack(lines);
    EXPECT_EQ(report.skipped, 0u);
    ASSERT_EQ(report.sessions.size(), 1u);
    std::size_t states = 0;
    std::size_t ended = 0;
    for (const Call& call : report.calls) {
      states += call.states.size();
      ended += call.ended ? 1 : 0;
    }
    const std::size_t withoutCall = Count(lines, " - hCall: 00000000 - ");
    EXPECT_EQ(report.linesWithoutCall, withoutCall);
    EXPECT_EQ(states + Count(lines, ": LINECALLSTATE_IDLE - hCall: 00000000 - "),
              Count(lines, " | LINE_CALLSTATE: "));
    EXPECT_EQ(ended + Count(lines, ": LINECALLSTATE_IDLE - hCall: 00000000 - "),
              Count(lines, " | LINE_CALLSTATE: LINECALLSTATE_IDLE - "));
    std::size_t errors = 0;
    for (const auto& result : report.sessions[0].results) errors += result.error ? 1 : 0;
    EXPECT_EQ(errors, Count(lines, ": Error: "));
  }
}

// --jsonl's calls, handed on as they end, are the very calls of --json.
TEST(CallReportE2e, StreamedCallsAreTheCallsOfTheWholeReport) {
  Rig rig(DefaultSimScenario());
  const auto traffic = rig.Trace(3, 30 * 60 * 1000);
  const std::vector<std::string> calls = CallLines(traffic, false);
  EXPECT_GT(calls.size(), 50u);
  EXPECT_EQ(CallLines(traffic, true), calls);
  for (const char* example : {"one-call.json", "odd-messages.json", "repeat-forever.json", "traffic.json"}) {
    SCOPED_TRACE(example);
    const auto lines = Rig::FromExample(example)->Trace(0, 60000);
    EXPECT_EQ(CallLines(lines, true), CallLines(lines, false));
  }
}

}  // namespace
}  // namespace ordalyn::e2e
