// Whole traces when TAPI fails: every step still runs and writes its result
// line, the logon line shows what is known, logoff still ends the trace.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2erig.h"

namespace ordalyn::e2e {
namespace {

constexpr const char* kVoiceLine = R"({"name": "Voice", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"})";

std::string OneLine(const std::string& lineMembers, const std::string& topMembers = "") {
  return R"({"lines": [{"name": "Voice", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE")" +
         (lineMembers.empty() ? "" : ", " + lineMembers) + "}]" +
         (topMembers.empty() ? "" : ", " + topMembers) + "}";
}

struct FailureCase {
  const char* name;
  std::string scenario;  // JSON, or "@file" for a file of examples/
  std::int32_t device;
  std::vector<std::string> logon;   // the stamped texts of the logon, at 0 ms
  std::vector<std::string> events;  // the stamped texts of the events, at 1000 ms
  std::vector<std::string> logoff;  // the stamped texts of the logoff, at 5000 ms
};

class E2eFailures : public ::testing::TestWithParam<FailureCase> {};

TEST_P(E2eFailures, WholeTrace) {
  const FailureCase& c = GetParam();
  auto rig = c.scenario.front() == '@' ? Rig::FromExample(c.scenario.substr(1))
                                       : std::make_unique<Rig>(std::string_view(c.scenario));
  rig->Logon(c.device);
  rig->Run(5000);
  rig->Logoff();

  std::vector<std::string> expected = Header();
  for (const auto& text : c.logon) expected.push_back(At(0, text));
  expected.push_back(kSeparator);
  for (const auto& text : c.events) expected.push_back(At(1000, text));
  expected.push_back(kSeparator);
  for (const auto& text : c.logoff) expected.push_back(At(5000, text));
  EXPECT_EQ(rig->Lines(), expected);

  // No TAPI error skips a step: initialise, line query, open.
  ASSERT_GE(rig->recorder.calls.size(), 4u);
  EXPECT_EQ(rig->recorder.calls[0], "lineInitializeExA");
  EXPECT_EQ(rig->recorder.calls[1], "lineNegotiateAPIVersion");
  EXPECT_EQ(rig->recorder.calls.back(), "lineShutdown");
  EXPECT_EQ(rig->recorder.calls[rig->recorder.calls.size() - 2], "lineOpenA");
  EXPECT_FALSE(rig->state.loggedOn);
  EXPECT_EQ(rig->sim->ApplicationCount(), 0u);
}

const std::string kShutdownOk = "LineShutDown: OK";
const std::string kLogoff = "TAPI - Logoff";
const std::string kRingAt1000 =
    R"("script": [{"delayMs": 1000, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1}])";

INSTANTIATE_TEST_SUITE_P(
    Cases, E2eFailures,
    ::testing::Values(
        FailureCase{"Success",
                    OneLine("", kRingAt1000),
                    0,
                    {"Initialise: OK", "LineOpen: OK", "TAPI - Logon (Version: 2.2) - Voice (TAPI-Line: 0)"},
                    {"LINE_LINEDEVSTATE - 2|0|1"},
                    {kShutdownOk, kLogoff}},
        // TAPI refuses to start: the handle stays 0, so the query, the open
        // and the shutdown are refused for it.
        FailureCase{
            "FailedInitialisationAndShutdown",
            "@failing-tapi.json",
            0,
            {"Initialise: Error: 2147483730(The operation cannot be completed until all TAPI applications "
             "call lineShutdown)",
             "LineOpen: Error: 2147483668(Invalid TAPI line application handle)",
             "TAPI - Logon (Version: 0.0) -  (TAPI-Line: 0)"},
            {},
            {"LineShutDown: Error: 2147483668(Invalid TAPI line application handle)", kLogoff}},
        FailureCase{
            "FailedNegotiation",
            std::string(R"({"lines": [)") + kVoiceLine + "," + kVoiceLine + "," + kVoiceLine + "," +
                kVoiceLine + "," + kVoiceLine + "," +
                R"({"name": "Future", "mediaModes": 4, "minApiVersion": "3.0", "maxApiVersion": "3.1"}]})",
            5,
            {"Initialise: OK", "LineOpen: Error: 2147483660(Incompatible API version)",
             "TAPI - Logon (Version: 0.0) -  (TAPI-Line: 5)"},
            {},
            {kShutdownOk, kLogoff}},
        FailureCase{"ForcedNegotiationError",
                    OneLine(R"("negotiateResult": "LINEERR_NODEVICE")"),
                    0,
                    {"Initialise: OK", "LineOpen: Error: 2147483660(Incompatible API version)",
                     "TAPI - Logon (Version: 0.0) -  (TAPI-Line: 0)"},
                    {},
                    {kShutdownOk, kLogoff}},
        // The capabilities cannot be read: no name, but the version the
        // negotiation wrote stays.
        FailureCase{"FailedCapabilities",
                    OneLine(R"("devCapsResult": "LINEERR_OPERATIONFAILED")", kRingAt1000),
                    0,
                    {"Initialise: OK", "LineOpen: OK", "TAPI - Logon (Version: 2.2) -  (TAPI-Line: 0)"},
                    {"LINE_LINEDEVSTATE - 2|0|1"},
                    {kShutdownOk, kLogoff}},
        FailureCase{"NoDevice",
                    OneLine(""),
                    -1,
                    {"Initialise: OK", "LineOpen: Error: 2147483650(Invalid line device ID)",
                     "TAPI - Logon (Version: 0.0) -  (TAPI-Line: -1)"},
                    {},
                    {kShutdownOk, kLogoff}},
        FailureCase{"DeviceBeyondTheLines",
                    OneLine(""),
                    7,
                    {"Initialise: OK", "LineOpen: Error: 2147483650(Invalid line device ID)",
                     "TAPI - Logon (Version: 0.0) -  (TAPI-Line: 7)"},
                    {},
                    {kShutdownOk, kLogoff}},
        // A line that cannot be opened delivers nothing, script or not.
        FailureCase{"FailedOpen",
                    OneLine(R"("openResult": "LINEERR_ALLOCATED")", kRingAt1000),
                    0,
                    {"Initialise: OK", "LineOpen: Error: 2147483649(The line device is already in use)",
                     "TAPI - Logon (Version: 2.2) - Voice (TAPI-Line: 0)"},
                    {},
                    {kShutdownOk, kLogoff}},
        FailureCase{
            "FailedShutdown",
            OneLine("", R"("shutdownResult": "LINEERR_OPERATIONFAILED")"),
            0,
            {"Initialise: OK", "LineOpen: OK", "TAPI - Logon (Version: 2.2) - Voice (TAPI-Line: 0)"},
            {},
            {"LineShutDown: Error: 2147483720(The operation failed for unspecified reasons)", kLogoff}},
        // The TAPI library's own text wins, its line break included.
        FailureCase{"ErrorTextFromTheMessageTable",
                    "@message-table.json",
                    0,
                    {"Initialise: OK",
                     "LineOpen: Error: 2147483720(The operation failed (text from the message table).\r\n)",
                     "TAPI - Logon (Version: 2.2) - Busy Line (TAPI-Line: 0)"},
                    {},
                    {kShutdownOk, kLogoff}},
        FailureCase{"UnknownErrorCode",
                    OneLine(R"("openResult": "0x8000005D")"),
                    0,
                    {"Initialise: OK", "LineOpen: Error: 2147483741(Unknown TAPI error $8000005D)",
                     "TAPI - Logon (Version: 2.2) - Voice (TAPI-Line: 0)"},
                    {},
                    {kShutdownOk, kLogoff}}),
    [](const ::testing::TestParamInfo<FailureCase>& param) { return std::string(param.param.name); });

TEST(E2eFailure, MessagesPostedDuringLogonAreTracedAfterTheLogonLineAndSeparator) {
  Rig rig(OneLine("", R"("script": [
      {"delayMs": 0, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_OPEN"},
      {"delayMs": 0, "message": "LINE_ADDRESSSTATE", "param2": "LINEADDRESSSTATE_INUSEZERO"}])"));
  rig.Logon(0);
  const std::vector<std::string> afterLogon = [] {
    std::vector<std::string> lines = Header();
    lines.push_back(At(0, "Initialise: OK"));
    lines.push_back(At(0, "LineOpen: OK"));
    lines.push_back(At(0, "TAPI - Logon (Version: 2.2) - Voice (TAPI-Line: 0)"));
    lines.push_back(kSeparator);
    return lines;
  }();
  EXPECT_EQ(rig.Lines(), afterLogon);
  EXPECT_EQ(rig.pump.Pending(), 1u) << "the first message waits in the event loop";

  rig.Run(0);
  std::vector<std::string> expected = afterLogon;
  expected.push_back(At(0, "LINE_LINEDEVSTATE - 200|0|0"));
  expected.push_back(At(0, "LINE_ADDRESSSTATE - 0|4|0"));
  EXPECT_EQ(rig.Lines(), expected);
}

TEST(E2eFailure, LogoffWithoutLogonWritesNothingAndCallsNothing) {
  Rig rig(OneLine(""));
  rig.Logoff();
  EXPECT_TRUE(rig.Lines().empty());
  EXPECT_TRUE(rig.recorder.calls.empty());
}

TEST(E2eFailure, NothingIsTracedAfterLogoff) {
  Rig rig(OneLine("", R"("script": [{"delayMs": 10, "message": "LINE_CLOSE"}],
                          "repeat": {"count": "forever", "periodMs": 100})"));
  rig.Logon(0);
  rig.Run(250);
  rig.Logoff();
  const std::size_t lines = rig.Lines().size();
  EXPECT_EQ(EventLines(rig.Lines()),
            (std::vector<std::string>{At(10, "LINE_CLOSE - 0|0|0"), At(110, "LINE_CLOSE - 0|0|0"),
                                      At(210, "LINE_CLOSE - 0|0|0")}));
  rig.Run(1000);
  EXPECT_EQ(rig.Lines().size(), lines);
  EXPECT_EQ(rig.Lines().back(), At(250, "TAPI - Logoff"));
}

}  // namespace
}  // namespace ordalyn::e2e
