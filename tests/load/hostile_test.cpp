// Hostile scenarios through the whole chain into the background file: texts
// and data at the simulator's limits, scenarios beyond them, unknown message
// numbers, extreme parameters and calls that never existed. The trace is
// always written and nothing crashes.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "loadsupport.h"
#include "support/scratchdir.h"
#include "tapi/sim/simscenario.h"

namespace ordalyn::load {
namespace {

const std::string kSeparator(92, '-');

struct Traced {
  std::vector<std::string> lines;
  std::string diagnostics;
  std::size_t callbackErrors = 0;
};

// Logs on to line 0 of the scenario, delivers every message (the scenarios
// here end), logs off and gives the file's lines.
Traced TraceScenario(std::unique_ptr<SimTapiPlatform> platform, ManualMessagePump& pump,
                     const std::ostringstream& diagnostics, const std::string& stem) {
  const test::ScratchDir scratch;
  const std::string fileName = scratch.File(stem);
  Traced traced;
  {
    FileTrace trace(std::move(platform), pump, fileName);
    pump.RunUntilIdle(1000000);
    traced.callbackErrors = trace.CallbackErrors();
    trace.Finish();
  }
  traced.lines = ReadLines(fileName);
  traced.diagnostics = diagnostics.str();
  return traced;
}

Traced TraceJson(const std::string& json, const std::string& stem) {
  ManualMessagePump pump;
  std::ostringstream diagnostics;
  return TraceScenario(SimTapiPlatform::FromJson(pump, json, "hostile", &diagnostics), pump, diagnostics,
                       stem);
}

// The event lines: everything between the logon's separator and the logoff's.
std::vector<std::string> EventTexts(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  bool inside = false;
  for (const std::string& line : lines) {
    if (line == kSeparator) {
      if (inside) break;
      inside = true;
      continue;
    }
    // Without the stamp "hh:nn:ss:zzz | ".
    if (inside) texts.push_back(line.size() >= 15 ? line.substr(15) : line);
  }
  return texts;
}

std::string Quote(const std::string& text) { return "\"" + text + "\""; }

TEST(HostileTest, TextsAndDataAtTheLimitsAreTracedWhole) {
  const std::size_t limit = SimLimits::kMaxTextBytes;
  const std::string lineName(limit, 'L');
  const std::string number = " " + std::string(limit - 2, '5') + " ";  // trimmed in the trace
  const std::string name = " " + std::string(limit - 2, 'N') + " ";    // a called name is not trimmed
  const std::string connected(limit, '7');
  const std::string json = "{\"lines\": [{\"name\": " + Quote(lineName) +
                           ", \"mediaModes\": \"LINEMEDIAMODE_INTERACTIVEVOICE\", \"providerInfo\": " +
                           Quote(std::string(limit, 'P')) +
                           ", \"devSpecific\": " + std::to_string(SimLimits::kMaxDataBytes) +
                           "}],"
                           " \"calls\": [{\"handle\": 7, \"callerID\": " +
                           Quote(number) + ", \"callerIDName\": " + Quote(std::string(limit, 'C')) +
                           ", \"calledIDName\": " + Quote(name) + ", \"connectedID\": " + Quote(connected) +
                           ", \"devSpecific\": " + std::to_string(SimLimits::kMaxDataBytes) +
                           "}],"
                           " \"script\": [{\"message\": \"LINE_APPNEWCALL\", \"param2\": 7},"
                           " {\"message\": \"LINE_CALLSTATE\", \"param1\": \"LINECALLSTATE_CONNECTED\","
                           " \"param2\": \"LINECONNECTEDMODE_ACTIVE\", \"call\": 7}]}";
  ASSERT_LT(json.size(), SimLimits::kMaxFileBytes);
  const Traced traced = TraceJson(json, "limits.log");

  ASSERT_GE(traced.lines.size(), 8u);
  EXPECT_EQ(traced.lines[6], "00:00:00:000 | TAPI - Logon (Version: 2.2) - " + lineName + " (TAPI-Line: 0)");
  const std::vector<std::string> expected = {
      "LINE_APPNEWCALL - hCall: 00000007 - 0|7|0",
      "LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00000007 - CallerID: " +
          std::string(limit - 2, '5') + " - CalledID: " + name + " - ConnectedID: " + connected +
          " - 100|1|0",
  };
  EXPECT_EQ(EventTexts(traced.lines), expected);
  EXPECT_EQ(traced.callbackErrors, 0u);
  EXPECT_EQ(traced.diagnostics, "");
}

TEST(HostileTest, UnknownMessagesExtremeValuesAndCallsThatNeverExistedAreTraced) {
  // No calls at all: every query fails and leaves the identifiers empty.
  const std::string json = R"({"lines": [{"name": "A", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
    "script": [
      {"message": "LINE_CALLSTATE", "param1": "0x12345678", "param2": "0xFFFFFFFF"},
      {"message": "LINE_CALLINFO"},
      {"message": "0xFFFFFFFF", "param1": -1, "param2": -1, "param3": -1, "hDevice": "0xFFFFFFFF"},
      {"message": 27},
      {"message": "0x1234", "param3": 5},
      {"message": "LINE_APPNEWCALL", "param1": 0, "param2": "0xDEADBEEF", "param3": 2},
      {"message": "LINE_CALLSTATE", "param1": "LINECALLSTATE_IDLE"},
      {"message": "LINE_CALLINFO", "param1": "LINECALLINFOSTATE_CALLERID"},
      {"message": "LINE_APPNEWCALL", "param2": 0},
      {"message": "LINE_CALLSTATE", "param1": "LINECALLSTATE_OFFERING", "param2": "LINEOFFERINGMODE_ACTIVE"},
      {"message": "LINE_REPLY", "param1": 1, "param2": "0x80000048", "delayMs": 86400000}
    ]})";
  const Traced traced = TraceJson(json, "unknown.log");
  const std::vector<std::string> expected = {
      "LINE_CALLSTATE: Unknown (12345678); Undefined (FFFFFFFF) - hCall: 00000000 - CallerID:  - CalledID:  "
      "- "
      "12345678|FFFFFFFF|0",
      "LINE_CALLINFO:  - hCall: 00000000 - CallerID:  - CalledID:  - 0|0|0",
      "Unknown (FFFFFFFF) - FFFFFFFF|FFFFFFFF|FFFFFFFF",
      "Unknown (      1B) - 0|0|0",
      "Unknown (    1234) - 0|0|5",
      "LINE_APPNEWCALL - hCall: DEADBEEF - 0|DEADBEEF|2",
      "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: DEADBEEF - CallerID:  - CalledID:  - 1|0|0",
      "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: DEADBEEF - CallerID:  - CalledID:  - 8000|0|0",
      "LINE_APPNEWCALL - hCall: 00000000 - 0|0|0",
      "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00000000 - CallerID:  - CalledID:  - 2|1|0",
      "LINE_REPLY - 1|80000048|0",
  };
  EXPECT_EQ(EventTexts(traced.lines), expected);
  // The message a day later has its own stamp.
  ASSERT_GE(traced.lines.size(), 8u + expected.size());
  EXPECT_EQ(traced.lines[7 + expected.size()].substr(0, 15), "00:00:00:000 | ");
}

TEST(HostileTest, EightBitAndControlCharactersPassAsTheirBytes) {
  const std::string json = R"({"lines": [{"name": "Caf\u00e9 \u20ac", "mediaModes": 4}],
    "calls": [{"handle": 1, "callerID": "\t5550100\u0001", "calledID": "   ",
               "calledIDName": "\u00c4rzte\u00a0", "connectedIDName": "x\u0007y\t"}],
    "script": [{"message": "LINE_APPNEWCALL", "param2": 1},
               {"message": "LINE_CALLINFO", "param1": "LINECALLINFOSTATE_CALLERID", "call": 1}]})";
  const Traced traced = TraceJson(json, "bytes.log");
  ASSERT_GE(traced.lines.size(), 8u) << traced.diagnostics;
  // Code page 1252: e-acute E9, euro sign 80, A-umlaut C4, no-break space A0.
  EXPECT_EQ(traced.lines[6], "00:00:00:000 | TAPI - Logon (Version: 2.2) - Caf\xE9 \x80 (TAPI-Line: 0)");
  const std::vector<std::string> expected = {
      "LINE_APPNEWCALL - hCall: 00000001 - 0|1|0",
      // A number of blanks only gives way to the name; only the caller is trimmed.
      "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00000001 - CallerID: 5550100 - CalledID: "
      "\xC4rzte\xA0"
      " - ConnectedID: x\x07y\t - 8000|0|0",
  };
  EXPECT_EQ(EventTexts(traced.lines), expected);
}

TEST(HostileTest, TheLargestScriptAndCallListAreTracedInOrder) {
  std::string json = R"({"lines": [{"name": "Big", "mediaModes": 4}], "calls": [)";
  for (std::size_t call = 1; call <= SimLimits::kMaxCalls; ++call) {
    json += (call > 1 ? ", " : "") + std::string("{\"handle\": ") + std::to_string(call) +
            ", \"callerID\": \"" + std::to_string(1000000 + call) + "\"}";
  }
  json += R"(], "script": [)";
  for (std::size_t i = 0; i < SimLimits::kMaxScriptMessages; ++i) {
    // Every tenth message announces a call, the next one asks for its state.
    std::string message;
    const std::size_t call = i / 10 % SimLimits::kMaxCalls + 1;
    if (i % 10 == 0) {
      message = R"({"message": "LINE_APPNEWCALL", "param2": )" + std::to_string(call) + "}";
    } else if (i % 10 == 1) {
      message = R"({"message": "LINE_CALLSTATE", "param1": 1})";
    } else {
      message = R"({"message": "LINE_LINEDEVSTATE", "param3": )" + std::to_string(i) + "}";
    }
    json += (i > 0 ? ", " : "") + message;
  }
  json += "]}";
  ASSERT_LT(json.size(), SimLimits::kMaxFileBytes);

  const Traced traced = TraceJson(json, "largest.log");
  const std::vector<std::string> texts = EventTexts(traced.lines);
  ASSERT_EQ(texts.size(), SimLimits::kMaxScriptMessages) << traced.diagnostics;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::size_t call = i / 10 % SimLimits::kMaxCalls + 1;
    char handle[16];
    std::snprintf(handle, sizeof handle, "%.8X", static_cast<unsigned>(call));
    char hex[16];
    std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(i));
    std::string expected;
    if (i % 10 == 0) {
      std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(call));
      expected = "LINE_APPNEWCALL - hCall: " + std::string(handle) + " - 0|" + hex + "|0";
    } else if (i % 10 == 1) {
      expected = "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: " + std::string(handle) +
                 " - CallerID: " + std::to_string(1000000 + call) + " - CalledID:  - 1|0|0";
    } else {
      expected = "LINE_LINEDEVSTATE - 0|0|" + std::string(hex);
    }
    ASSERT_EQ(texts[i], expected) << "message " << i;
  }
}

// Scenarios beyond the limits are refused with a message; the program traces
// the refusal as TAPI's error and goes on.
struct Refused {
  const char* name;
  std::string json;
  const char* where;  // the place the diagnostic names
};

void PrintTo(const Refused& refused, std::ostream* out) { *out << refused.name; }

class RefusedScenarioTest : public ::testing::TestWithParam<Refused> {};

TEST_P(RefusedScenarioTest, TheTraceShowsTheRefusalAndGoesOn) {
  const Refused& refused = GetParam();
  const Traced traced = TraceJson(refused.json, std::string(refused.name) + ".log");
  ASSERT_GE(traced.lines.size(), 8u);
  EXPECT_EQ(traced.lines[4],
            "00:00:00:000 | Initialise: Error: 2147483662(The TAPI configuration information is "
            "unusable)");
  EXPECT_EQ(traced.lines[6].substr(0, 29), "00:00:00:000 | TAPI - Logon (");
  EXPECT_NE(traced.diagnostics.find("Ordalyn: TAPI scenario rejected: hostile: "), std::string::npos)
      << traced.diagnostics;
  EXPECT_NE(traced.diagnostics.find(refused.where), std::string::npos) << traced.diagnostics;
  EXPECT_EQ(EventTexts(traced.lines), std::vector<std::string>{});
}

std::string LineWith(const std::string& keys) {
  return R"({"lines": [{"name": "A", "mediaModes": 4)" + keys + "}]}";
}

std::string ScriptOf(std::size_t messages) {
  std::string json = R"({"lines": [{"name": "A", "mediaModes": 4}], "script": [)";
  for (std::size_t i = 0; i < messages; ++i) json += (i > 0 ? ", " : "") + std::string("{\"message\": 8}");
  return json + "]}";
}

std::string CallsOf(std::size_t calls) {
  std::string json = R"({"lines": [{"name": "A", "mediaModes": 4}], "calls": [)";
  for (std::size_t call = 1; call <= calls; ++call) {
    json += (call > 1 ? ", " : "") + std::string("{\"handle\": ") + std::to_string(call) + "}";
  }
  return json + "]}";
}

INSTANTIATE_TEST_SUITE_P(
    BeyondTheLimits, RefusedScenarioTest,
    ::testing::Values(
        Refused{"NameOneByteTooLong",
                R"({"lines": [{"name": ")" + std::string(SimLimits::kMaxTextBytes + 1, 'L') +
                    R"(", "mediaModes": 4}]})",
                "lines[0].name"},
        Refused{"CallerOneByteTooLong",
                R"({"lines": [], "calls": [{"handle": 1, "callerID": ")" +
                    std::string(SimLimits::kMaxTextBytes + 1, '5') + "\"}]}",
                "calls[0].callerID"},
        Refused{"DataOneByteTooMany",
                LineWith(", \"devSpecific\": " + std::to_string(SimLimits::kMaxDataBytes + 1)),
                "lines[0].devSpecific"},
        Refused{"ScriptOneMessageTooMany", ScriptOf(SimLimits::kMaxScriptMessages + 1), "script"},
        Refused{"OneCallTooMany", CallsOf(SimLimits::kMaxCalls + 1), "calls"},
        Refused{"NotInCodePage1252", R"({"lines": [{"name": "\u4e2d", "mediaModes": 4}]})", "lines[0].name"},
        Refused{"RepeatedTooOften",
                R"({"lines": [], "script": [{"message": 8}], "repeat": {"count": 1000001}})", "repeat"},
        Refused{"NulInsideAText", R"({"lines": [], "calls": [{"handle": 1, "connectedIDName": "x\u0000y"}]})",
                "calls[0].connectedIDName"},
        Refused{"TruncatedJson", R"({"lines": [{"name": "A", "mediaModes": 4)", "line 1"}),
    [](const ::testing::TestParamInfo<Refused>& param) { return std::string(param.param.name); });

TEST(HostileTest, AScenarioFileBeyondItsSizeLimitIsRefused) {
  const test::ScratchDir scratch;
  const std::string fileName = scratch.File("huge.json");
  {
    std::ofstream out(fileName, std::ios::binary);
    out << R"({"comment": ")" << std::string(SimLimits::kMaxFileBytes, 'x') << R"(", "lines": []})";
  }
  ManualMessagePump pump;
  std::ostringstream diagnostics;
  const Traced traced =
      TraceScenario(SimTapiPlatform::FromFile(pump, fileName, &diagnostics), pump, diagnostics, "huge.log");
  ASSERT_GE(traced.lines.size(), 5u);
  EXPECT_EQ(traced.lines[4],
            "00:00:00:000 | Initialise: Error: 2147483662(The TAPI configuration information is "
            "unusable)");
  EXPECT_NE(traced.diagnostics.find(fileName), std::string::npos) << traced.diagnostics;
}

}  // namespace
}  // namespace ordalyn::load
