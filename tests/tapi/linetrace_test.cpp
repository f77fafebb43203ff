#include "tapi/linetrace.h"

#include <gtest/gtest.h>

#include <cstring>

#include "fakeplatform.h"
#include "tapi/tapisession.h"

namespace ordalyn {
namespace {

using test::FakeCall;
using test::FakeLine;
using test::FakePlatform;
using test::RecordingSink;

struct TraceFixture : ::testing::Test {
  FakePlatform platform;
  TapiState state;
  RecordingSink sink;
  LineEventTrace trace{platform, state, sink};

  std::string Line(DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3) {
    trace.HandleMessage(0, message, 0, p1, p2, p3);
    return sink.lines.back().substr(4);  // without the recording sink's "* | "
  }

  void AddTypicalCall() {
    FakeCall call;
    call.callerId = "5550100";
    call.calledId = "200";
    call.origin = 4;
    call.reason = 1;
    platform.calls[0x10A2C] = call;
  }
};

TEST_F(TraceFixture, TheExampleLinesOfATypicalCall) {
  AddTypicalCall();
  EXPECT_EQ(Line(LINE_APPNEWCALL, 0, 0x10A2C, 2), "LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2");
  EXPECT_EQ(Line(LINE_CALLSTATE, 2, 1, 0),
            "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00010A2C - CallerID: 5550100 - "
            "CalledID: 200 - "
            "(LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 2|1|0");
  EXPECT_EQ(
      Line(LINE_CALLINFO, 0x8000, 0, 0),
      "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID - hCall: 00010A2C - CallerID: 5550100 - CalledID: 200 - "
      "(LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 8000|0|0");
  EXPECT_EQ(Line(LINE_LINEDEVSTATE, 4, 0, 1), "LINE_LINEDEVSTATE - 4|0|1");
  platform.calls[0x10A2C].connectedId = "5550100";
  EXPECT_EQ(Line(LINE_CALLSTATE, 0x100, 1, 0),
            "LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE - hCall: 00010A2C - CallerID: 5550100 - "
            "CalledID: 200 - "
            "ConnectedID: 5550100 - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 100|1|0");
  platform.calls[0x10A2C] = FakeCall{};
  EXPECT_EQ(Line(LINE_CALLSTATE, 1, 0, 0),
            "LINE_CALLSTATE: LINECALLSTATE_IDLE - hCall: 00010A2C - CallerID:  - CalledID:  - 1|0|0");
}

TEST_F(TraceFixture, TheCurrentCallComesOnlyFromAppNewCall) {
  AddTypicalCall();
  platform.calls[0x77] = FakeCall{};
  Line(LINE_APPNEWCALL, 0, 0x10A2C, 2);
  // hDevice of a call-state message names another call: the trace still follows 10A2C.
  trace.HandleMessage(0x77, LINE_CALLSTATE, 0, 2, 1, 0);
  EXPECT_NE(sink.lines.back().find("hCall: 00010A2C - CallerID: 5550100"), std::string::npos);
  EXPECT_EQ(state.currentCall, HCALL(0x10A2C));
  Line(LINE_LINEDEVSTATE, 0, 0x77, 0);
  EXPECT_EQ(state.currentCall, HCALL(0x10A2C));
}

TEST_F(TraceFixture, ACallStateBeforeAnyNewCallHasHandleZeroAndNoInformation) {
  EXPECT_EQ(
      Line(LINE_CALLSTATE, 2, 1, 0),
      "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00000000 - CallerID:  - CalledID:  - 2|1|0");
  EXPECT_EQ(platform.calls_made.back(), "lineGetCallInfoA(0)");
}

TEST_F(TraceFixture, OriginAndReasonPiece) {
  struct Case {
    DWORD origin;
    DWORD reason;
    const char* piece;
  };
  const Case cases[] = {
      {4, 0, " - (LINECALLORIGIN_EXTERNAL) - "},
      {0, 1, " - (LINECALLREASON_DIRECT) - "},
      {4, 1, " - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - "},
      {8, 0x2000, " - (Unknown (       8), Unknown (    2000)) - "},
      {0, 0, "CalledID:  - 2|0|0"},
  };
  Line(LINE_APPNEWCALL, 0, 5, 0);
  for (const auto& c : cases) {
    FakeCall call;
    call.origin = c.origin;
    call.reason = c.reason;
    platform.calls[5] = call;
    const std::string line = Line(LINE_CALLSTATE, 2, 0, 0);
    EXPECT_NE(line.find(c.piece), std::string::npos) << line;
  }
}

TEST_F(TraceFixture, NumbersArePreferredAndOnlyTheCallersNameIsTrimmed) {
  struct Case {
    FakeCall call;
    const char* expected;
  };
  auto make = [](std::optional<std::string> callerId, std::optional<std::string> callerName,
                 std::optional<std::string> calledId, std::optional<std::string> calledName,
                 std::optional<std::string> connectedId, std::optional<std::string> connectedName) {
    FakeCall c;
    c.callerId = callerId;
    c.callerName = callerName;
    c.calledId = calledId;
    c.calledName = calledName;
    c.connectedId = connectedId;
    c.connectedName = connectedName;
    return c;
  };
  const Case cases[] = {
      {make(" 5550100 ", "Alice", "200", "Desk", std::nullopt, std::nullopt),
       "CallerID: 5550100 - CalledID: 200 - 1"},
      {make("   ", " Alice Smith ", std::nullopt, " Reception ", std::nullopt, std::nullopt),
       "CallerID: Alice Smith - CalledID:  Reception  - 1"},
      {make(std::nullopt, std::nullopt, " ", "Desk ", " ", " Boss "),
       "CallerID:  - CalledID: Desk  - ConnectedID:  Boss  - 1"},
      {make("1", std::nullopt, " 2 ", std::nullopt, " 3 ", "x"),
       "CallerID: 1 - CalledID: 2 - ConnectedID: 3 - 1"},
      {make(std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt, ""),
       "CallerID:  - CalledID:  - 1"},
  };
  Line(LINE_APPNEWCALL, 0, 9, 0);
  for (const auto& c : cases) {
    platform.calls[9] = c.call;
    const std::string line = Line(LINE_CALLSTATE, 1, 0, 0);
    EXPECT_NE(line.find(c.expected), std::string::npos) << line;
  }
}

TEST_F(TraceFixture, RawValuesHaveNoLeadingZerosAndTheHandleAtLeastEightDigits) {
  EXPECT_EQ(Line(LINE_APPNEWCALL, 0, 0x123456789ull & 0xFFFFFFFF, 0x8000),
            "LINE_APPNEWCALL - hCall: 23456789 - 0|23456789|8000");
  EXPECT_EQ(Line(LINE_APPNEWCALL, 0, 0xFFFFFFFF, 0), "LINE_APPNEWCALL - hCall: FFFFFFFF - 0|FFFFFFFF|0");
  EXPECT_EQ(Line(27, 1, 2, 3), "Unknown (      1B) - 1|2|3");
  EXPECT_EQ(Line(LINE_CREATE, 0xA, 0, 0), "LINE_CREATE - A|0|0");
  EXPECT_EQ(Line(LINE_CALLINFO, 0x18000, 0, 0).substr(0, 82),
            "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID LINECALLINFOSTATE_CALLEDID - hCall: FFFF");
}

TEST_F(TraceFixture, LargeCallInformationIsQueriedTwiceWithExactlyTheNeededSize) {
  FakeCall call;
  call.callerId = std::string(200, '1');
  call.calledName = "Switchboard";
  call.extraBytes = 64;
  platform.calls[3] = call;
  Line(LINE_APPNEWCALL, 0, 3, 0);
  const std::string line = Line(LINE_CALLSTATE, 2, 0, 0);
  ASSERT_EQ(platform.callInfoBlockSizes.size(), 2u);
  EXPECT_EQ(platform.callInfoBlockSizes[0], 344u);
  EXPECT_EQ(platform.callInfoBlockSizes[1], 344u + 201u + 12u + 64u);
  EXPECT_NE(line.find("CallerID: " + std::string(200, '1') + " - CalledID: Switchboard - 2"),
            std::string::npos);
}

TEST_F(TraceFixture, AFailedQueryIsSilent) {
  Line(LINE_APPNEWCALL, 0, 0xDEAD, 0);  // no such call: LINEERR_INVALCALLHANDLE
  EXPECT_EQ(Line(LINE_CALLINFO, 0, 0, 0),
            "LINE_CALLINFO:  - hCall: 0000DEAD - CallerID:  - CalledID:  - 0|0|0");
}

// Blocks from a provider are never read outside the allocation.
TEST_F(TraceFixture, TextsPointingOutsideTheBlockAreCutAtItsEnd) {
  FakeCall call;
  call.callerId = "1";
  platform.calls[1] = call;
  Line(LINE_APPNEWCALL, 0, 1, 0);
  struct Case {
    const char* what;
    std::function<void(LINECALLINFO*, unsigned char*, DWORD)> hook;
    const char* expected;
  };
  const Case cases[] = {
      {"offset past the end",
       [](LINECALLINFO* ci, unsigned char*, DWORD total) { ci->dwCallerIDOffset = total; },
       "CallerID:  - CalledID:  - 2"},
      {"huge offset", [](LINECALLINFO* ci, unsigned char*, DWORD) { ci->dwCallerIDOffset = 0xFFFFFFF0; },
       "CallerID:  - CalledID:  - 2"},
      {"no NUL before the end",
       [](LINECALLINFO* ci, unsigned char* block, DWORD total) {
         std::memset(block + total - 4, 'Z', 4);
         ci->dwCallerIDOffset = total - 4;
       },
       "CallerID: ZZZZ - CalledID:  - 2"},
      {"name offset past the end",
       [](LINECALLINFO* ci, unsigned char*, DWORD total) {
         ci->dwCallerIDSize = 0;
         ci->dwCallerIDNameSize = 5;
         ci->dwCallerIDNameOffset = total + 100;
       },
       "CallerID:  - CalledID:  - 2"},
  };
  for (const auto& c : cases) {
    platform.callInfoHook = [&c](unsigned char* block, DWORD total) {
      c.hook(reinterpret_cast<LINECALLINFO*>(block), block, total);
    };
    const std::string line = Line(LINE_CALLSTATE, 2, 0, 0);
    EXPECT_NE(line.find(c.expected), std::string::npos) << c.what << ": " << line;
  }
}

TEST_F(TraceFixture, AnImplausibleNeededSizeCountsAsAFailedQuery) {
  FakeCall call;
  call.callerId = "5550100";
  call.origin = 4;
  platform.calls[1] = call;
  platform.callInfoHook = [](unsigned char* block, DWORD) {
    reinterpret_cast<LINECALLINFO*>(block)->dwNeededSize = 0x7FFFFFFF;
  };
  Line(LINE_APPNEWCALL, 0, 1, 0);
  EXPECT_EQ(Line(LINE_CALLSTATE, 2, 0, 0),
            "LINE_CALLSTATE: LINECALLSTATE_OFFERING - hCall: 00000001 - CallerID:  - CalledID:  - 2|0|0");
  EXPECT_EQ(platform.callInfoBlockSizes.size(), 1u);
}

TEST(LineCallback, ReachesTheRegisteredTraceAndSendsFailuresToTheErrorHandler) {
  FakePlatform platform;
  TapiState state;
  RecordingSink sink;
  LineEventTrace trace(platform, state, sink);
  std::vector<std::string> errors;
  SetLineCallbackErrorHandler([&errors](std::exception_ptr error) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      errors.push_back(e.what());
    }
  });

  LineCallback(0, LINE_LINEDEVSTATE, 0, 4, 0, 1);  // no target yet: nothing happens
  EXPECT_TRUE(sink.lines.empty());

  SetLineCallbackTarget(&trace);
  LineCallback(0, LINE_LINEDEVSTATE, 0, 4, 0, 1);
  ASSERT_EQ(sink.lines.size(), 1u);
  EXPECT_EQ(sink.lines[0], "* | LINE_LINEDEVSTATE - 4|0|1");

  sink.failAtWrite = sink.writes;
  LineCallback(0, LINE_REPLY, 0, 0, 0, 0);
  EXPECT_EQ(errors, std::vector<std::string>{"write failed"});

  SetLineCallbackTarget(nullptr);
  SetLineCallbackErrorHandler(nullptr);
}

TEST(LineCallback, TapiDeliversThroughTheCallbackRegisteredAtLogon) {
  FakePlatform platform;
  platform.lines = {FakeLine{"Sample Modem"}};
  TapiState state;
  RecordingSink sink;
  TapiSession session(platform, state, sink);
  LineEventTrace trace(platform, state, sink);
  SetLineCallbackTarget(&trace);
  session.Logon();
  platform.Deliver(LINE_APPNEWCALL, 0, 0x10A2C, 2, 0x99);
  session.Logoff();
  platform.Deliver(LINE_LINEDEVSTATE, 0, 0, 0);  // after shutdown: nothing arrives
  SetLineCallbackTarget(nullptr);
  ASSERT_EQ(sink.lines.size(), 9u);
  EXPECT_EQ(sink.lines[5], "* | LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2");
  EXPECT_EQ(sink.lines[8], "* | TAPI - Logoff");
}

}  // namespace
}  // namespace ordalyn
