// ordalyn-calls on hand-made traces: midnight, handle reuse, a failed logon,
// edited and cut lines, and the command line with its outputs.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "report/callsmain.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"
#include "support/scratchdir.h"

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
          // Back by less than an hour: the same day.
          CallState("00.00.04.500", "LINECALLSTATE_DISCONNECTED; NORMAL", "00000007",
                    " - CalledID: ", "4000|1|0"),
          CallState("00.01.00.000", "LINECALLSTATE_IDLE", "00000007", " - CalledID: ", "1|0|0"),
      },
      "\n"));
  ASSERT_EQ(report.calls.size(), 1u);
  const Call& call = report.calls[0];
  EXPECT_EQ(call.start, (23 * 3600 + 59 * 60 + 50) * 1000);
  EXPECT_EQ(Duration(call), 70000);
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
      },
      "\r\n"));
  ASSERT_EQ(report.calls.size(), 2u);
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
  EXPECT_NE(run.out.find("Calls: 2 (answered 1, missed 0, outgoing 0, busy 0, failed 0, still open 1)\n"
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
      "connected_earlier,origin,reason,offering_to_connected_ms,connected_ms,final_state,states\r\n"
      "00010A2C,1,10:16:05.412,10:16:40.118,34706,answered,Dr. M\xC3\xBCller,,200,,\"5550100, 7\",,"
      "LINECALLORIGIN_EXTERNAL,LINECALLREASON_DIRECT,7356,27347,LINECALLSTATE_IDLE,OFFERING CONNECTED "
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
  EXPECT_EQ(text.find("</script>"), text.rfind("</script>"));
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

}  // namespace
}  // namespace ordalyn::report
