// The built-in default environment: its lines, and the call traffic on
// whichever line is opened.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "simtestsupport.h"

namespace ordalyn {
namespace {

using simtest::Initialize;
using simtest::Received;
using simtest::Recorder;

// What the program's line query learns about a device.
struct LineFacts {
  LONG negotiation = 0;
  DWORD version = 0;
  LONG caps = 0;
  int attempts = 0;
  std::string name;
  DWORD media = 0;
  DWORD bearer = 0;
  bool suited = false;
};

LineFacts Query(TapiPlatform& platform, HLINEAPP app, DWORD device) {
  LineFacts facts;
  LINEEXTENSIONID extension;
  facts.negotiation =
      platform.lineNegotiateAPIVersion(app, device, 0x00010003, 0x00020002, &facts.version, &extension);
  if (facts.negotiation != 0) return facts;
  const auto fetched = simtest::DevCaps(platform, app, device, facts.version);
  facts.caps = fetched.result;
  facts.attempts = fetched.attempts;
  const auto* caps = reinterpret_cast<const LINEDEVCAPS*>(fetched.block.bytes.data());
  facts.media = caps->dwMediaModes;
  facts.bearer = caps->dwBearerModes;
  facts.name = caps->dwLineNameSize == 0 ? "" : fetched.block.Text(caps->dwLineNameOffset);
  facts.suited = (facts.media & LINEMEDIAMODE_INTERACTIVEVOICE) != 0 &&
                 (facts.media & LINEMEDIAMODE_UNKNOWN) == 0 && (facts.bearer & LINEBEARERMODE_VOICE) != 0 &&
                 facts.version > 0x00010003;
  return facts;
}

class SimDefaultTest : public ::testing::Test {
 protected:
  void SetUp() override { Recorder::Reset(&pump); }
  void TearDown() override { Recorder::Reset(nullptr); }
  ManualMessagePump pump;
  SimTapiPlatform platform{pump, DefaultSimScenario()};
};

TEST_F(SimDefaultTest, LinesCoverTheCasesTheProgramTellsApart) {
  const auto session = Initialize(platform);
  ASSERT_EQ(session.result, 0);
  ASSERT_GE(session.devices, 3u);
  std::vector<LineFacts> lines;
  for (DWORD device = 0; device < session.devices; ++device)
    lines.push_back(Query(platform, session.app, device));

  int firstSuited = -1;
  bool onlyOneThree = false;
  bool unknownMedia = false;
  bool grows = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i].negotiation, 0) << i;
    EXPECT_EQ(lines[i].caps, 0) << i;
    EXPECT_FALSE(lines[i].name.empty()) << i;
    if (lines[i].suited && firstSuited < 0) firstSuited = static_cast<int>(i);
    onlyOneThree |= lines[i].version == 0x00010003;
    unknownMedia |= (lines[i].media & LINEMEDIAMODE_UNKNOWN) != 0;
    grows |= lines[i].attempts == 2;
  }
  EXPECT_GT(firstSuited, 0) << "the first line suited to voice must not be line 0";
  EXPECT_EQ(firstSuited, 3);
  EXPECT_TRUE(onlyOneThree);
  EXPECT_TRUE(unknownMedia);
  EXPECT_TRUE(grows) << "some line's LINEDEVCAPS must need more than 292 bytes";
  EXPECT_EQ(lines[1].name, "Legacy Voice Modem");
  EXPECT_NE(lines[4].name.find(" - "), std::string::npos);

  // The 1.3-only line speaks nothing newer.
  DWORD version = 0;
  LINEEXTENSIONID extension;
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 1, 0x00010004, 0x00020002, &version, &extension),
            LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(session.version, 0x00030001u);
}

// One call's messages and what lineGetCallInfoA said at each of them.
struct CallLife {
  std::vector<DWORD> states;
  std::vector<DWORD> modes;
  std::vector<DWORD> infoFlags;
  std::optional<std::string> caller;
  std::optional<std::string> callerName;
  std::optional<std::string> connectedAtConnect;
  DWORD origin = 0;
  DWORD reason = 0;
  std::uint64_t created = 0;
};

class SimDefaultTrafficTest : public SimDefaultTest, public ::testing::WithParamInterface<DWORD> {};

TEST_P(SimDefaultTrafficTest, OpenedLineCarriesARealisticEndlessCallStream) {
  const auto session = Initialize(platform);
  DWORD version = 0;
  LINEEXTENSIONID extension;
  ASSERT_EQ(
      platform.lineNegotiateAPIVersion(session.app, GetParam(), 0x00010003, 0x00020002, &version, &extension),
      0);
  HLINE line = 0;
  ASSERT_EQ(simtest::Open(platform, session.app, GetParam(), version, &line), 0);

  std::map<HCALL, CallLife> calls;
  std::vector<HCALL> order;
  HCALL current = 0;
  int deviceStates = 0;
  int unexpected = 0;
  Recorder::hook = [&](const Received& m) {
    if (m.message == LINE_APPNEWCALL) {
      EXPECT_EQ(m.hDevice, line);
      EXPECT_EQ(m.param1, 0u);
      EXPECT_EQ(m.param3, LINECALLPRIVILEGE_MONITOR);
      current = static_cast<HCALL>(m.param2);
      EXPECT_EQ(calls.count(current), 0u) << "a new call needs a new handle";
      calls[current].created = m.time;
      order.push_back(current);
      return;
    }
    if (m.message == LINE_LINEDEVSTATE) {
      EXPECT_EQ(m.hDevice, line);
      ++deviceStates;
      return;
    }
    if (m.message != LINE_CALLSTATE && m.message != LINE_CALLINFO) {
      ++unexpected;
      return;
    }
    EXPECT_EQ(m.hDevice, current) << "call messages name the current call";
    CallLife& life = calls[current];
    const auto fetched = simtest::CallInfo(platform, current);
    EXPECT_EQ(fetched.result, 0);
    const auto* info = reinterpret_cast<const LINECALLINFO*>(fetched.block.bytes.data());
    life.origin = info->dwOrigin;
    life.reason = info->dwReason;
    if (m.message == LINE_CALLINFO) {
      life.infoFlags.push_back(static_cast<DWORD>(m.param1));
      life.caller = SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerID);
      life.callerName = SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerIDName);
      return;
    }
    life.states.push_back(static_cast<DWORD>(m.param1));
    life.modes.push_back(static_cast<DWORD>(m.param2));
    if (m.param1 == 0x100) life.connectedAtConnect = SIMTEST_FIELD(fetched.block, LINECALLINFO, ConnectedID);
  };
  pump.RunFor(30 * 60 * 1000);

  EXPECT_EQ(unexpected, 0);
  EXPECT_GT(deviceStates, 10);
  ASSERT_GT(order.size(), 40u);
  EXPECT_LT(30.0 * 60 / static_cast<double>(order.size()), 30.0) << "a call every few seconds";

  std::set<std::string> callers;
  std::set<DWORD> origins, reasons, endings;
  bool blanks = false, connected = false;
  for (std::size_t i = 0; i + 1 < order.size(); ++i) {  // the last call may still run
    const CallLife& life = calls[order[i]];
    ASSERT_GE(life.states.size(), 3u) << i;
    EXPECT_EQ(life.states.front(), 0x2u) << "OFFERING first";
    EXPECT_EQ(life.modes.front(), 0x1u) << "offering ACTIVE";
    EXPECT_EQ(life.states.back(), 0x1u) << "IDLE last";
    EXPECT_EQ(life.states[life.states.size() - 2], 0x4000u) << "DISCONNECTED before IDLE";
    endings.insert(life.modes[life.modes.size() - 2]);
    ASSERT_FALSE(life.infoFlags.empty());
    EXPECT_EQ(life.infoFlags.front(), 0x8000u) << "caller ID information";
    for (std::size_t s = 0; s < life.states.size(); ++s) {
      if (life.states[s] == 0x100) {
        connected = true;
        EXPECT_EQ(life.modes[s], 0x1u) << "connected ACTIVE";
        EXPECT_EQ(life.connectedAtConnect, life.caller);
      }
    }
    callers.insert(life.caller.value_or("") + "/" + life.callerName.value_or(""));
    if (life.caller && !life.caller->empty() && (life.caller->front() == ' ' || life.caller->back() == ' ')) {
      blanks = true;
    }
    origins.insert(life.origin);
    reasons.insert(life.reason);
  }
  EXPECT_TRUE(connected);
  EXPECT_TRUE(blanks);
  EXPECT_GE(callers.size(), 6u);
  EXPECT_TRUE(origins.count(0x4) && origins.count(0x2)) << "EXTERNAL and INTERNAL calls";
  EXPECT_TRUE(reasons.count(0x1)) << "DIRECT calls";
  EXPECT_TRUE(endings.count(0x1) && endings.count(0x20) && endings.count(0x40)) << "NORMAL, BUSY, NOANSWER";
  EXPECT_LE(platform.CallCount(), SimTapiPlatform::kMaxTrafficCalls);
}

INSTANTIATE_TEST_SUITE_P(WhicheverLine, SimDefaultTrafficTest, ::testing::Values(3u, 0u, 1u));

TEST_F(SimDefaultTest, OldTrafficCallsAreForgotten) {
  const auto session = Initialize(platform);
  HLINE line = 0;
  ASSERT_EQ(simtest::Open(platform, session.app, 3, 0x00020002, &line), 0);
  HCALL first = 0;
  HCALL newest = 0;
  Recorder::hook = [&](const Received& m) {
    if (m.message == LINE_APPNEWCALL && first == 0) first = static_cast<HCALL>(m.param2);
    if (m.message == LINE_APPNEWCALL) newest = static_cast<HCALL>(m.param2);
  };
  pump.RunFor(60 * 1000);
  ASSERT_NE(first, 0u);
  simtest::Block block(sizeof(LINECALLINFO));
  EXPECT_EQ(platform.lineGetCallInfoA(first, block.As<LINECALLINFO>()), 0);
  pump.RunFor(4 * 60 * 60 * 1000);
  EXPECT_EQ(platform.CallCount(), SimTapiPlatform::kMaxTrafficCalls);
  EXPECT_EQ(platform.lineGetCallInfoA(first, block.As<LINECALLINFO>()), LINEERR_INVALCALLHANDLE);
  EXPECT_EQ(platform.lineGetCallInfoA(newest, block.As<LINECALLINFO>()), 0) << "the newest call is kept";
}

}  // namespace
}  // namespace ordalyn
