// ordalyn-simtrace: its arguments, its clock, and the trace it prints.
#include "simtrace.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "e2erig.h"
#include "support/scratchdir.h"
#include "tapi/sim/simtapiplatform.h"

namespace ordalyn {
namespace {

using Kind = SimTraceCommand::Kind;

struct ArgsCase {
  std::vector<std::string> args;
  Kind kind;
  SimTraceOptions options;  // with kRun
  std::string error;        // with kError
};

class SimTraceArguments : public ::testing::TestWithParam<ArgsCase> {};

TEST_P(SimTraceArguments, AreRead) {
  const ArgsCase& c = GetParam();
  const SimTraceCommand command = ParseSimTraceArguments(c.args);
  EXPECT_EQ(command.kind, c.kind);
  if (c.kind == Kind::kRun) {
    EXPECT_EQ(command.options, c.options);
  }
  EXPECT_EQ(command.error, c.error);
}

SimTraceOptions Options(std::optional<std::int32_t> line, std::uint32_t seconds, std::string file = "") {
  SimTraceOptions options;
  options.line = line;
  options.seconds = seconds;
  options.scenarioFile = std::move(file);
  return options;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SimTraceArguments,
    ::testing::Values(
        ArgsCase{{}, Kind::kRun, Options(std::nullopt, 60), ""},
        ArgsCase{{"--line", "3"}, Kind::kRun, Options(3, 60), ""},
        ArgsCase{{"--line=-1"}, Kind::kRun, Options(-1, 60), ""},
        ArgsCase{{"--line", "-2147483648"}, Kind::kRun, Options(-2147483647 - 1, 60), ""},
        ArgsCase{{"--seconds", "0", "--line", "0"}, Kind::kRun, Options(0, 0), ""},
        ArgsCase{{"--seconds=86400"}, Kind::kRun, Options(std::nullopt, 86400), ""},
        ArgsCase{{"--scenario", "a b.json", "--seconds", "5"},
                 Kind::kRun,
                 Options(std::nullopt, 5, "a b.json"),
                 ""},
        ArgsCase{{"--scenario=x.json"}, Kind::kRun, Options(std::nullopt, 60, "x.json"), ""},
        ArgsCase{{"--cp1252", "--seconds", "5"},
                 Kind::kRun,
                 [] {
                   SimTraceOptions o = Options(std::nullopt, 5);
                   o.fileFormat = true;
                   return o;
                 }(),
                 ""},
        ArgsCase{{"--help"}, Kind::kHelp, {}, ""}, ArgsCase{{"--line", "1", "-h"}, Kind::kHelp, {}, ""},
        ArgsCase{{"--line"}, Kind::kError, {}, "--line needs a value"},
        ArgsCase{{"--line", "abc"}, Kind::kError, {}, "--line needs a whole number, not \"abc\""},
        ArgsCase{
            {"--line", "2147483648"}, Kind::kError, {}, "--line needs a whole number, not \"2147483648\""},
        ArgsCase{{"--line="}, Kind::kError, {}, "--line needs a value"},
        ArgsCase{{"--line", "--seconds"}, Kind::kError, {}, "--line needs a whole number, not \"--seconds\""},
        ArgsCase{{"--line", "3", "--line", "4"}, Kind::kError, {}, "--line is given more than once"},
        ArgsCase{{"--seconds", "-1"},
                 Kind::kError,
                 {},
                 "--seconds needs a whole number from 0 to 86400, not \"-1\""},
        ArgsCase{{"--seconds", "86401"},
                 Kind::kError,
                 {},
                 "--seconds needs a whole number from 0 to 86400, not \"86401\""},
        ArgsCase{{"--seconds", "1.5"},
                 Kind::kError,
                 {},
                 "--seconds needs a whole number from 0 to 86400, not \"1.5\""},
        ArgsCase{{"--scenario"}, Kind::kError, {}, "--scenario needs a value"},
        ArgsCase{{"--scenario="}, Kind::kError, {}, "--scenario needs a value"},
        ArgsCase{{"--scenario", ""}, Kind::kError, {}, "--scenario needs a file name"},
        ArgsCase{{"--seconds", "5", "--seconds"}, Kind::kError, {}, "--seconds needs a value"},
        ArgsCase{{"--version", "--line", "1"}, Kind::kVersion, {}, ""},
        ArgsCase{{"--line", "3", "4"}, Kind::kError, {}, "unexpected argument \"4\""},
        ArgsCase{{"--cp1252", "--"}, Kind::kError, {}, "unknown option \"--\""},
        ArgsCase{{"--lines", "3"}, Kind::kError, {}, "unknown option \"--lines\""},
        ArgsCase{{"-l"}, Kind::kError, {}, "unknown option \"-l\""},
        ArgsCase{{"3"}, Kind::kError, {}, "unexpected argument \"3\""}));

TEST(SimTrace, AddMillisecondsCrossesMidnightAndMonthEnds) {
  struct Case {
    LocalDateTime start;
    std::uint64_t ms;
    LocalDateTime expected;
  };
  const Case cases[] = {
      {kSimTraceStart, 0, kSimTraceStart},
      {kSimTraceStart, 57883, {2024, 3, 4, 10, 16, 0, 0}},
      {kSimTraceStart, 60000, {2024, 3, 4, 10, 16, 2, 117}},
      {{2024, 2, 28, 23, 59, 59, 999}, 1, {2024, 2, 29, 0, 0, 0, 0}},
      {{2023, 2, 28, 23, 59, 59, 999}, 1, {2023, 3, 1, 0, 0, 0, 0}},
      {{2023, 12, 31, 12, 0, 0, 0}, 86400000ull * 2, {2024, 1, 2, 12, 0, 0, 0}},
  };
  for (const auto& c : cases) {
    const LocalDateTime result = AddMilliseconds(c.start, c.ms);
    EXPECT_EQ(result, c.expected) << c.ms << " -> " << result.year << "-" << result.month << "-" << result.day
                                  << " " << result.hour << ":" << result.minute << ":" << result.second << "."
                                  << result.millisecond;
  }
}

TEST(SimTrace, VirtualClockFollowsThePump) {
  ManualMessagePump pump;
  const VirtualClock clock(pump, kSimTraceStart);
  EXPECT_EQ(clock.Now(), kSimTraceStart);
  pump.RunFor(1500);
  EXPECT_EQ(clock.Now(), (LocalDateTime{2024, 3, 4, 10, 15, 3, 617}));
}

TEST(SimTrace, Cp1252ToUtf8) {
  EXPECT_EQ(Cp1252ToUtf8("plain 123"), "plain 123");
  EXPECT_EQ(Cp1252ToUtf8("Dr. M\xFCller"), "Dr. M\xC3\xBCller");
  EXPECT_EQ(Cp1252ToUtf8("\x80 5"), "\xE2\x82\xAC 5");
  EXPECT_EQ(Cp1252ToUtf8("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
  EXPECT_EQ(Cp1252ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(SimTrace, SuggestedLineIsTheMarkedEntry) {
  EXPECT_EQ(SuggestedLine({}), std::nullopt);
  EXPECT_EQ(
      SuggestedLine({"Line: 0 - A, Media $4, TAPI-Version 1.3", "Line: 1 - B, Media $30, TAPI-Version 2.2"}),
      std::nullopt);
  EXPECT_EQ(SuggestedLine({"Line: 0 - A, Media $30, TAPI-Version 2.2",
                           "Line: 1 - B, Media $4, TAPI-Version 2.2 *", "* Suggested TAPI Voice Line"}),
            1);
}

struct ToolRun {
  int code = 0;
  std::string out;
  std::string err;
};

ToolRun Main(const std::vector<std::string>& args) {
  std::ostringstream out;
  std::ostringstream err;
  ToolRun run;
  run.code = SimTraceMain(args, out, err);
  run.out = out.str();
  run.err = err.str();
  return run;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

TEST(SimTrace, DefaultRunPrintsTheWholeTraceOfTheSuggestedLine) {
  const ToolRun run = Main({});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  ASSERT_FALSE(run.out.empty());
  EXPECT_EQ(run.out.back(), '\n');
  EXPECT_EQ(run.out.find('\r'), std::string::npos);
  const auto lines = SplitLines(run.out);
  ASSERT_GT(lines.size(), 12u);
  EXPECT_EQ(lines[0].rfind("Ordalyn - Build: ", 0), 0u) << lines[0];
  EXPECT_FALSE(lines[1].empty());
  EXPECT_EQ(lines[2], std::string(48, '='));
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(lines[4], "10:15:02:117 | Initialise: OK");
  EXPECT_EQ(lines[5], "10:15:02:117 | LineOpen: OK");
  EXPECT_EQ(lines[6], "10:15:02:117 | TAPI - Logon (Version: 2.2) - Office Extension 214 (TAPI-Line: 3)");
  EXPECT_EQ(lines[7], std::string(92, '-'));
  EXPECT_EQ(lines[lines.size() - 2], "10:16:02:117 | LineShutDown: OK");
  EXPECT_EQ(lines.back(), "10:16:02:117 | TAPI - Logoff");
}

TEST(SimTrace, ToolAndProgramWiringGiveTheSameTrace) {
  // The tool's clock reads the pump; the rig sets a fake clock before each
  // message. Both must stamp every line alike.
  std::vector<std::string> tool;
  {
    ManualMessagePump pump;
    SimTapiPlatform platform(pump, DefaultSimScenario());
    tool = RunSimTrace(platform, pump, std::nullopt, 90);
  }
  std::vector<std::string> rig;
  {
    e2e::Rig wired(DefaultSimScenario());
    rig = wired.Trace(3, 90000);
  }
  ASSERT_EQ(tool.size(), rig.size());
  EXPECT_GT(tool.size(), 30u);
  EXPECT_EQ(std::vector<std::string>(tool.begin() + 2, tool.end()),
            std::vector<std::string>(rig.begin() + 2, rig.end()));
}

TEST(SimTrace, RunLeavesTheCallbackTargetAsItWas) {
  e2e::Rig rig(R"({"lines": [{"name": "A", "mediaModes": 4}]})");
  ManualMessagePump pump;
  SimTapiPlatform platform(pump, DefaultSimScenario());
  RunSimTrace(platform, pump, 0, 1);
  EXPECT_EQ(LineCallbackTarget(), &rig.trace);
}

TEST(SimTrace, ScenarioFileAndLine) {
  const ToolRun run = Main(
      {"--scenario", std::string(ORDALYN_EXAMPLES_DIR) + "/one-call.json", "--line", "0", "--seconds", "20"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.err, "");
  const auto lines = SplitLines(run.out);
  const std::string ids = " - hCall: 00010A2C - CallerID: 5550100 - CalledID: 200";
  const std::string why = " - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT)";
  const std::vector<std::string> expected = {
      "10:15:02:117 | Initialise: OK",
      "10:15:02:117 | LineOpen: OK",
      "10:15:02:117 | TAPI - Logon (Version: 2.2) - Sample Modem (TAPI-Line: 0)",
      std::string(92, '-'),
      "10:15:03:117 | LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2",
      "10:15:03:120 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00010A2C - CallerID:  - "
      "CalledID: 200" +
          why + " - 2|1|0",
      "10:15:03:335 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID" + ids + why + " - 8000|0|0",
      "10:15:04:135 | LINE_LINEDEVSTATE - 2|0|1",
      "10:15:04:255 | LINE_CALLSTATE: LINECALLSTATE_ACCEPTED" + ids + why + " - 4|0|0",
      "10:15:06:755 | LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE" + ids + " - ConnectedID: 5550100" +
          why + " - 100|1|0",
      "10:15:14:755 | LINE_CALLSTATE: LINECALLSTATE_DISCONNECTED; NORMAL" + ids + " - ConnectedID: 5550100" +
          why + " - 4000|1|0",
      "10:15:14:795 | LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00010A2C - CallerID:  - CalledID:  - 1|0|0",
      std::string(92, '-'),
      "10:15:22:117 | LineShutDown: OK",
      "10:15:22:117 | TAPI - Logoff",
  };
  ASSERT_EQ(lines.size(), expected.size() + 4);
  EXPECT_EQ(std::vector<std::string>(lines.begin() + 4, lines.end()), expected);
}

TEST(SimTrace, NoSuggestedLineTracesLine0) {
  const ToolRun run =
      Main({"--scenario", std::string(ORDALYN_EXAMPLES_DIR) + "/no-lines.json", "--seconds", "0"});
  EXPECT_EQ(run.code, 0);
  const auto lines = SplitLines(run.out);
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[5], "10:15:02:117 | LineOpen: Error: 2147483650(Invalid line device ID)");
  EXPECT_EQ(lines[6], "10:15:02:117 | TAPI - Logon (Version: 0.0) -  (TAPI-Line: 0)");
  EXPECT_EQ(lines[10], "10:15:02:117 | TAPI - Logoff");
}

TEST(SimTrace, BadArgumentsGiveUsageAndExitCode2) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--seconds", "soon"}, std::vector<std::string>{"extra"}}) {
    const ToolRun run = Main(args);
    EXPECT_EQ(run.code, 2);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind("ordalyn-simtrace: ", 0), 0u) << run.err;
    EXPECT_NE(
        run.err.find("\nUsage: ordalyn-simtrace [--line N] [--seconds S] [--scenario FILE] [--cp1252]\n"),
        std::string::npos)
        << run.err;
  }
}

TEST(SimTrace, HelpGoesToStandardOutput) {
  const ToolRun run = Main({"--help"});
  EXPECT_EQ(run.code, 0);
  EXPECT_EQ(run.out, SimTraceUsage());
  EXPECT_EQ(run.err, "");
}

TEST(SimTrace, UsageNamesTheInstalledScenarioDocumentation) {
#ifndef _WIN32
  EXPECT_NE(SimTraceUsage().find("  --scenario FILE  a scenario file, as described in\n                   /"),
            std::string::npos);
  EXPECT_NE(SimTraceUsage().find("/share/doc/ordalyn/scenarios.md\n"), std::string::npos);
#endif
}

TEST(SimTrace, VersionGoesToStandardOutput) {
  const ToolRun run = Main({"--version"});
  EXPECT_EQ(run.code, 0);
  EXPECT_TRUE(std::regex_search(run.out, std::regex("^ordalyn-simtrace [0-9]+\\.[0-9]+\\.[0-9]+ \\(build "
                                                    "[0-9]+\\.[0-9]+\\.[0-9]+\\.[0-9]+\\)\nCopyright ")))
      << run.out;
  EXPECT_EQ(run.err, "");
}

TEST(SimTrace, UnusableScenarioIsReportedWithExitCode1) {
  const ToolRun missing = Main({"--scenario", "/nonexistent/none.json"});
  EXPECT_EQ(missing.code, 1);
  EXPECT_EQ(missing.out, "");
  EXPECT_EQ(missing.err.rfind("ordalyn-simtrace: scenario rejected: /nonexistent/none.json: ", 0), 0u)
      << missing.err;

  const test::ScratchDir scratch;
  const auto bad = scratch.path() / "bad.json";
  {
    std::ofstream file(bad);
    file << R"({"lines": [{"name": "A", "mediaModes": "LINEMEDIAMODE_VOIC"}]})";
  }
  const ToolRun refused = Main({"--scenario", bad.string()});
  EXPECT_EQ(refused.code, 1);
  EXPECT_EQ(refused.out, "");
  EXPECT_NE(refused.err.find("lines[0].mediaModes"), std::string::npos) << refused.err;
}

}  // namespace
}  // namespace ordalyn
