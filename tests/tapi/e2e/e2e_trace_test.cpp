// Whole traces from scenarios: every line shape of the event trace, the
// identifiers, origin and reason, from logon to logoff.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "e2erig.h"

namespace ordalyn::e2e {
namespace {

std::vector<std::string> Concat(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// One incoming call whose messages arrive at the times of day of a typical
// trace (the line is opened at 10:15:02.117).
constexpr const char* kSampleModemCall = R"({
  "lines": [{"name": "Sample Modem", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE|LINEMEDIAMODE_DATAMODEM",
             "minApiVersion": "1.4", "maxApiVersion": "2.2"}],
  "calls": [{"handle": "0x10A2C", "callerID": " 5550100 ", "callerIDName": "Miller, Anne", "calledID": "200",
             "origin": "LINECALLORIGIN_EXTERNAL", "reason": "LINECALLREASON_DIRECT"}],
  "script": [
    {"comment": "10:16:05.412", "delayMs": 63295, "message": "LINE_APPNEWCALL", "param2": "0x10A2C",
     "param3": "LINECALLPRIVILEGE_MONITOR"},
    {"comment": "10:16:05.415", "delayMs": 3, "message": "LINE_CALLSTATE", "call": "0x10A2C",
     "param1": "LINECALLSTATE_OFFERING", "param2": "LINEOFFERINGMODE_ACTIVE"},
    {"comment": "10:16:05.630", "delayMs": 215, "message": "LINE_CALLINFO", "call": "0x10A2C",
     "param1": "LINECALLINFOSTATE_CALLERID"},
    {"comment": "10:16:09.004", "delayMs": 3374, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_CONNECTED",
     "param3": 1},
    {"comment": "10:16:12.771", "delayMs": 3767, "message": "LINE_CALLSTATE", "call": "0x10A2C",
     "param1": "LINECALLSTATE_CONNECTED", "param2": "LINECONNECTEDMODE_ACTIVE", "set": {"connectedID": "5550100"}},
    {"comment": "10:16:40.118", "delayMs": 27347, "message": "LINE_CALLSTATE", "call": "0x10A2C",
     "param1": "LINECALLSTATE_IDLE",
     "set": {"callerID": null, "callerIDName": null, "calledID": null, "connectedID": null, "origin": 0, "reason": 0}}
  ]
})";

TEST(E2eTrace, TypicalTraceOfOneCallFromLogonToLogoff) {
  Rig rig(kSampleModemCall);
  // The open takes 14 ms of wall-clock time.
  rig.recorder.beforeCall = [&rig](const std::string& call) {
    if (call == "lineOpenA") rig.SetClock(MsTo(10, 15, 2, 131));
  };
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
  EXPECT_EQ(rig.EnumerateLong(longList), 1u);
  EXPECT_EQ(rig.EnumerateShort(shortList), 1u);
  EXPECT_EQ(longList, (std::vector<std::string>{"Line: 0 - Sample Modem, Media $14, TAPI-Version 2.2 *",
                                                "* Suggested TAPI Voice Line"}));
  EXPECT_EQ(shortList, std::vector<std::string>{"0 - Sample Modem"});

  rig.Logon(LineNumberOfEntry(shortList[0]));
  rig.RunUntil(MsTo(10, 17, 45, 902));
  rig.Logoff();

  const std::vector<std::string> expected = Concat({
      Header(),
      {
          "10:15:02:117 | Initialise: OK",
          "10:15:02:131 | LineOpen: OK",
          "10:15:02:131 | TAPI - Logon (Version: 2.2) - Sample Modem (TAPI-Line: 0)",
          kSeparator,
          "10:16:05:412 | LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2",
          "10:16:05:415 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00010A2C - CallerID: "
          "5550100 - "
          "CalledID: 200 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 2|1|0",
          "10:16:05:630 | LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00010A2C - CallerID: 5550100 - "
          "CalledID: 200 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 8000|0|0",
          "10:16:09:004 | LINE_LINEDEVSTATE - 4|0|1",
          "10:16:12:771 | LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00010A2C - CallerID: "
          "5550100 - "
          "CalledID: 200 - ConnectedID: 5550100 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 100|1|0",
          "10:16:40:118 | LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00010A2C - CallerID:  - CalledID:  - "
          "1|0|0",
          kSeparator,
          "10:17:45:902 | LineShutDown: OK",
          "10:17:45:902 | TAPI - Logoff",
      },
  });
  ASSERT_EQ(rig.Lines().size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(rig.Lines()[i], expected[i]) << "line " << i;
  EXPECT_FALSE(rig.state.loggedOn);
  EXPECT_EQ(rig.sim->ApplicationCount(), 0u);
}

// Messages a careful trace must survive, from examples/odd-messages.json.
TEST(E2eTrace, EveryLineShapeIncludingUnknownAndApplicationWideMessages) {
  auto rig = Rig::FromExample("odd-messages.json");
  const auto trace = rig->Trace(0, 2000);
  const std::string call77 =
      " - hCall: 00000077 - CallerID: Reception Desk - CalledID:  Front Desk  - ConnectedID:  Operator  - "
      "(Unknown (       8), Unknown (    2000))";
  const std::vector<std::string> expected = Concat({
      Header(),
      {
          At(0, "Initialise: OK"),
          At(0, "LineOpen: OK"),
          At(0, "TAPI - Logon (Version: 2.2) - Test Line (TAPI-Line: 0)"),
          kSeparator,
          // Before any LINE_APPNEWCALL: handle 0, whose information cannot be read.
          At(200, "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00000000 - CallerID:  - CalledID:  - 1|0|0"),
          At(400, "Unknown (      1B) - 1|2|3"),
          At(600, "Unknown (FFFFFFFF) - 0|0|0"),
          At(800, "PHONE_BUTTON - 5|0|0"),
          At(1000, "LINE_CREATE - 7|0|0"),
          At(1200, "LINE_APPNEWCALL - hCall: 00000077 - 0|77|2"),
          At(1205,
             "LINE_CALLSTATE: LINECALLSTATE_DISCONNECTED; Undefined (2000)" + call77 + " - 4000|2000|0"),
          At(1210, "LINE_CALLSTATE: Unknown (102)" + call77 + " - 102|0|0"),
          At(1215, "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID LINECALLINFOSTATE_CALLEDID" + call77 +
                       " - 18000|0|0"),
          At(1220, "LINE_CALLINFO: " + call77 + " - 10000000|0|0"),
          At(1420, "LINE_APPNEWCALL - hCall: 00000078 - 0|78|2"),
          At(1425,
             "LINE_CALLSTATE: LINECALLSTATE_CONNECTED - hCall: 00000078 - CallerID:  - CalledID:  - "
             "(LINECALLORIGIN_INTERNAL) - 100|0|0"),
          At(1625, "LINE_REMOVE - 0|0|0"),
          kSeparator,
          At(2000, "LineShutDown: OK"),
          At(2000, "TAPI - Logoff"),
      },
  });
  ASSERT_EQ(trace.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(trace[i], expected[i]) << "line " << i;
}

// The trace names the call of the last LINE_APPNEWCALL, whatever call or
// device a later message comes with.
TEST(E2eTrace, CallLinesNameTheCallOfTheLastNewCallMessage) {
  Rig rig(R"({
    "lines": [{"name": "L", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
    "calls": [{"handle": 17, "callerID": "111", "calledID": "1"}, {"handle": 18, "callerID": "222", "calledID": "2"}],
    "script": [
      {"delayMs": 10, "message": "LINE_APPNEWCALL", "param2": 17},
      {"delayMs": 10, "message": "LINE_CALLSTATE", "call": 18, "param1": "LINECALLSTATE_OFFERING"},
      {"delayMs": 10, "message": "LINE_APPNEWCALL", "hDevice": 999, "param2": 18},
      {"delayMs": 10, "message": "LINE_CALLINFO", "call": 17, "param1": "LINECALLINFOSTATE_CALLERID"}
    ]
  })");
  const auto events = EventLines(rig.Trace(0, 100));
  const std::vector<std::string> expected = {
      At(10, "LINE_APPNEWCALL - hCall: 00000011 - 0|11|0"),
      At(20,
         "LINE_CALLSTATE: LINECALLSTATE_OFFERING - hCall: 00000011 - CallerID: 111 - CalledID: 1 - 2|0|0"),
      At(30, "LINE_APPNEWCALL - hCall: 00000012 - 0|12|0"),
      At(40,
         "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000012 - CallerID: 222 - CalledID: 2 - "
         "8000|0|0"),
  };
  EXPECT_EQ(events, expected);
}

// The identifiers, origin and reason of one call, as its OFFERING line shows them.
struct IdCase {
  const char* name;
  std::string callFields;  // JSON members of the call besides its handle
  std::string shown;       // the line between the call handle and the raw values
};

class E2eCallIdentifiers : public ::testing::TestWithParam<IdCase> {};

TEST_P(E2eCallIdentifiers, OfferingLineShowsThem) {
  const IdCase& c = GetParam();
  const std::string json = R"({
    "lines": [{"name": "L", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
    "calls": [{"handle": "0x500")" +
                           (c.callFields.empty() ? "" : ", " + c.callFields) + R"(}],
    "script": [
      {"delayMs": 100, "message": "LINE_APPNEWCALL", "param2": "0x500", "param3": "LINECALLPRIVILEGE_MONITOR"},
      {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x500", "param1": "LINECALLSTATE_OFFERING",
       "param2": "LINEOFFERINGMODE_ACTIVE"}
    ]
  })";
  Rig rig(json);
  const auto events = EventLines(rig.Trace(0, 1000));
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0], At(100, "LINE_APPNEWCALL - hCall: 00000500 - 0|500|2"));
  EXPECT_EQ(events[1], At(105, "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00000500 - " +
                                   c.shown + " - 2|1|0"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, E2eCallIdentifiers,
    ::testing::Values(
        IdCase{"Nothing", "", "CallerID:  - CalledID: "},
        IdCase{"OriginOnly", R"("callerID": "1", "calledID": "2", "origin": 4)",
               "CallerID: 1 - CalledID: 2 - (LINECALLORIGIN_EXTERNAL)"},
        IdCase{"ReasonOnly", R"("callerID": "1", "calledID": "2", "reason": 1)",
               "CallerID: 1 - CalledID: 2 - (LINECALLREASON_DIRECT)"},
        IdCase{"OriginAndReason", R"("callerID": "1", "calledID": "2", "origin": 4, "reason": 1)",
               "CallerID: 1 - CalledID: 2 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT)"},
        IdCase{"InternalTransfer",
               R"("origin": "LINECALLORIGIN_INTERNAL", "reason": "LINECALLREASON_TRANSFER")",
               "CallerID:  - CalledID:  - (LINECALLORIGIN_INTERNAL, LINECALLREASON_TRANSFER)"},
        IdCase{"UnknownOriginAndReason", R"("origin": "0x8", "reason": "0x2000")",
               "CallerID:  - CalledID:  - (Unknown (       8), Unknown (    2000))"},
        IdCase{"CallerNumberTrimmed", R"("callerID": " 5550100 ", "calledID": "200")",
               "CallerID: 5550100 - CalledID: 200"},
        IdCase{"CallerNameTrimmed", R"("callerIDName": " Anne Miller ")",
               "CallerID: Anne Miller - CalledID: "},
        IdCase{"BlankCallerNumberFallsBackToName", R"("callerID": "   ", "callerIDName": " Reception Desk ")",
               "CallerID: Reception Desk - CalledID: "},
        IdCase{"CalledNameKeepsItsBlanks", R"("callerID": "5550100", "calledIDName": " Reception ")",
               "CallerID: 5550100 - CalledID:  Reception "},
        IdCase{"BlankCalledNumberFallsBackToUntrimmedName",
               R"("calledID": "  ", "calledIDName": " Reception ")", "CallerID:  - CalledID:  Reception "},
        IdCase{"CalledNumberPreferredAndTrimmed", R"("calledID": " 200 ", "calledIDName": "Front Desk")",
               "CallerID:  - CalledID: 200"},
        IdCase{"ConnectedNumberTrimmed", R"("connectedID": " 5550100 ", "connectedIDName": "Anne")",
               "CallerID:  - CalledID:  - ConnectedID: 5550100"},
        IdCase{"ConnectedNameKeepsItsBlanks", R"("connectedIDName": " Operator ")",
               "CallerID:  - CalledID:  - ConnectedID:  Operator "},
        IdCase{"EmptyConnectedNumberLeavesThePieceOut", R"("connectedID": "", "origin": 4)",
               "CallerID:  - CalledID:  - (LINECALLORIGIN_EXTERNAL)"},
        IdCase{"EmptyConnectedNameLeavesThePieceOut", R"("connectedID": " ", "connectedIDName": "")",
               "CallerID:  - CalledID: "},
        IdCase{"CodePage1252Name", R"("callerIDName": "Dr. Müller")",
               "CallerID: Dr. M\xFCller - CalledID: "}),
    [](const ::testing::TestParamInfo<IdCase>& param) { return std::string(param.param.name); });

// The raw values never carry leading zeros; the call handle has at least
// eight digits.
TEST(E2eTrace, RawValuesAndHandlesPrintInTheirOwnWidths) {
  Rig rig(R"({
    "lines": [{"name": "L", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
    "calls": [{"handle": "0xFEDCBA98"}],
    "script": [
      {"delayMs": 1, "message": "LINE_APPNEWCALL", "param1": "0x00000000", "param2": "0xFEDCBA98", "param3": "0x0A"},
      {"delayMs": 1, "message": "LINE_REPLY", "param1": "0x00008000", "param2": "0x80000048", "param3": "0xFFFFFFFF"},
      {"delayMs": 1, "message": "LINE_CLOSE"}
    ]
  })");
  const auto events = EventLines(rig.Trace(0, 10));
  const std::vector<std::string> expected = {
      At(1, "LINE_APPNEWCALL - hCall: FEDCBA98 - 0|FEDCBA98|A"),
      At(2, "LINE_REPLY - 8000|80000048|FFFFFFFF"),
      At(3, "LINE_CLOSE - 0|0|0"),
  };
  EXPECT_EQ(events, expected);
}

}  // namespace
}  // namespace ordalyn::e2e
