// The TAPI calls of the simulated platform: variable-size blocks, version
// negotiation, error codes and forced results.
#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>

#include "simtestsupport.h"

namespace ordalyn {
namespace {

using simtest::Block;
using simtest::Initialize;
using simtest::Recorder;

class SimBlocksTest : public ::testing::Test {
 protected:
  void SetUp() override { Recorder::Reset(&pump); }
  ManualMessagePump pump;
};

SimLine MakeLine(std::string name, DWORD media = LINEMEDIAMODE_INTERACTIVEVOICE, DWORD low = 0x00010004,
                 DWORD high = 0x00020002) {
  SimLine line;
  line.name = std::move(name);
  line.mediaModes = media;
  line.minApiVersion = low;
  line.maxApiVersion = high;
  return line;
}

TEST_F(SimBlocksTest, InitializeWritesHandleDeviceCountAndTheTapiVersion) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A"), MakeLine("B")};
  scenario.tapiVersion = 0x00030001;
  SimTapiPlatform platform(pump, scenario);
  const auto first = Initialize(platform);
  EXPECT_EQ(first.result, 0);
  EXPECT_NE(first.app, 0u);
  EXPECT_EQ(first.devices, 2u);
  EXPECT_EQ(first.version, 0x00030001u);
  EXPECT_EQ(platform.ApplicationCount(), 1u);
  EXPECT_EQ(platform.lineShutdown(first.app), 0);
  EXPECT_EQ(platform.ApplicationCount(), 0u);
  // A second cycle works and gets a handle of its own; the old one is dead.
  const auto second = Initialize(platform, first.version);
  EXPECT_EQ(second.result, 0);
  EXPECT_NE(second.app, first.app);
  EXPECT_EQ(platform.lineShutdown(first.app), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform.lineShutdown(second.app), 0);
}

TEST_F(SimBlocksTest, ForcedDeviceCountOnlyChangesTheReportedNumber) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A")};
  scenario.deviceCount = 3;
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  EXPECT_EQ(session.devices, 3u);
  DWORD version = 0;
  LINEEXTENSIONID extension;
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 0, 0x00010003, 0x00020002, &version, &extension),
            0);
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 2, 0x00010003, 0x00020002, &version, &extension),
            LINEERR_BADDEVICEID);
}

TEST_F(SimBlocksTest, InitializeRejectsBadArguments) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A")};
  SimTapiPlatform platform(pump, scenario);
  HLINEAPP app = 0;
  DWORD devices = 0;
  DWORD version = 0x00020002;
  LINEINITIALIZEEXPARAMS params{};
  params.dwTotalSize = 24;
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  EXPECT_EQ(
      platform.lineInitializeExA(nullptr, nullptr, &Recorder::Callback, "x", &devices, &version, &params),
      LINEERR_INVALPOINTER);
  EXPECT_EQ(platform.lineInitializeExA(&app, nullptr, nullptr, "x", &devices, &version, &params),
            LINEERR_INVALPOINTER);
  params.dwOptions = LINEINITIALIZEEXOPTION_USEEVENT;
  EXPECT_EQ(platform.lineInitializeExA(&app, nullptr, &Recorder::Callback, "x", &devices, &version, &params),
            LINEERR_INVALPARAM);
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
  params.dwTotalSize = 8;
  EXPECT_EQ(platform.lineInitializeExA(&app, nullptr, &Recorder::Callback, "x", &devices, &version, &params),
            LINEERR_STRUCTURETOOSMALL);
  EXPECT_EQ(app, 0u);
  EXPECT_EQ(platform.ApplicationCount(), 0u);
  // Without parameters TAPI takes the hidden window.
  EXPECT_EQ(platform.lineInitializeExA(&app, nullptr, &Recorder::Callback, "x", &devices, &version, nullptr),
            0);
  EXPECT_NE(app, 0u);
}

TEST_F(SimBlocksTest, CallsWithoutInitialisationGiveTapiErrors) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A")};
  SimTapiPlatform platform(pump, scenario);
  DWORD version = 0;
  LINEEXTENSIONID extension;
  Block caps(sizeof(LINEDEVCAPS));
  Block info(sizeof(LINECALLINFO));
  HLINE line = 0;
  EXPECT_EQ(platform.lineNegotiateAPIVersion(0, 0, 0x00010003, 0x00020002, &version, &extension),
            LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform.lineGetDevCapsA(0, 0, 0x00020002, 0, caps.As<LINEDEVCAPS>()), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(simtest::Open(platform, 0, 0, 0x00020002, &line), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform.lineGetCallInfoA(0x10A2C, info.As<LINECALLINFO>()), LINEERR_UNINITIALIZED);
  EXPECT_EQ(platform.lineShutdown(0), LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(caps.Dword(4), 0u);
  EXPECT_EQ(info.Dword(4), 0u);
}

constexpr LONG kIncompatible = static_cast<LONG>(LINEERR_INCOMPATIBLEAPIVERSION);

struct NegotiationCase {
  DWORD low;
  DWORD high;
  LONG result;
  DWORD version;  // written on success only
};

void PrintTo(const NegotiationCase& range, std::ostream* out) {
  *out << std::hex << range.low << "-" << range.high;
}

class SimNegotiationTest : public SimBlocksTest, public ::testing::WithParamInterface<NegotiationCase> {};

TEST_P(SimNegotiationTest, PicksTheHighestCommonVersion) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A", LINEMEDIAMODE_INTERACTIVEVOICE, 0x00010004, 0x00020002)};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  DWORD version = 0xDEADBEEF;
  LINEEXTENSIONID extension{1, 2, 3, 4};
  EXPECT_EQ(
      platform.lineNegotiateAPIVersion(session.app, 0, GetParam().low, GetParam().high, &version, &extension),
      GetParam().result);
  EXPECT_EQ(version, GetParam().version);
  if (GetParam().result == 0) {
    EXPECT_EQ(extension.dwExtensionID0, 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Ranges, SimNegotiationTest,
                         ::testing::Values(NegotiationCase{0x00010003, 0x00020002, 0, 0x00020002},
                                           NegotiationCase{0x00010003, 0x00010004, 0, 0x00010004},
                                           NegotiationCase{0x00020000, 0x00030001, 0, 0x00020002},
                                           NegotiationCase{0x00010003, 0x00010003, kIncompatible, 0xDEADBEEF},
                                           NegotiationCase{0x00020003, 0x00030001, kIncompatible, 0xDEADBEEF},
                                           NegotiationCase{0x00020002, 0x00010003, kIncompatible,
                                                           0xDEADBEEF}));

TEST_F(SimBlocksTest, NegotiationChecksHandleDeviceAndPointers) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A")};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  DWORD version = 0;
  LINEEXTENSIONID extension;
  EXPECT_EQ(
      platform.lineNegotiateAPIVersion(session.app + 1, 0, 0x00010003, 0x00020002, &version, &extension),
      LINEERR_INVALAPPHANDLE);
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 1, 0x00010003, 0x00020002, &version, &extension),
            LINEERR_BADDEVICEID);
  EXPECT_EQ(
      platform.lineNegotiateAPIVersion(session.app, 0xFFFFFFFF, 0x00010003, 0x00020002, &version, &extension),
      LINEERR_BADDEVICEID);
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 0, 0x00010003, 0x00020002, nullptr, &extension),
            LINEERR_INVALPOINTER);
}

TEST_F(SimBlocksTest, DevCapsThatFitAreWrittenAfterTheFixedPart) {
  SimScenario scenario;
  scenario.lines = {MakeLine("Sample Modem", 0x1C)};
  scenario.lines[0].bearerModes = 0x3;
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  const auto fetched = simtest::DevCaps(platform, session.app, 0, 0x00010004);
  ASSERT_EQ(fetched.result, 0);
  EXPECT_EQ(fetched.attempts, 1);
  const Block& block = fetched.block;
  const auto* caps = reinterpret_cast<const LINEDEVCAPS*>(block.bytes.data());
  // Version 1.4 knows 240 bytes of LINEDEVCAPS; the name follows them.
  EXPECT_EQ(caps->dwTotalSize, 292u);
  EXPECT_EQ(caps->dwNeededSize, 240u + 13u);
  EXPECT_EQ(caps->dwUsedSize, caps->dwNeededSize);
  EXPECT_EQ(caps->dwLineNameSize, 13u);
  EXPECT_EQ(caps->dwLineNameOffset, 240u);
  EXPECT_EQ(block.Text(caps->dwLineNameOffset), "Sample Modem");
  EXPECT_EQ(caps->dwMediaModes, 0x1Cu);
  EXPECT_EQ(caps->dwBearerModes, 0x3u);
  EXPECT_EQ(caps->dwProviderInfoSize, 0u);
  EXPECT_EQ(caps->dwDevSpecificSize, 0u);
  EXPECT_EQ(caps->dwNumAddresses, 1u);
  EXPECT_EQ(caps->dwStringFormat, 1u);  // STRINGFORMAT_ASCII
  // Nothing beyond dwUsedSize was touched.
  for (std::size_t i = caps->dwUsedSize; i < block.bytes.size(); ++i) EXPECT_EQ(block.bytes[i], 0) << i;
}

TEST_F(SimBlocksTest, DevCapsTooLargeForTheBlockSetNeededSizeAndGrowAndRetryYieldsTheData) {
  SimScenario scenario;
  SimLine line = MakeLine(std::string(200, 'N'));
  line.providerInfo = "Provider";
  line.devSpecific = {1, 2, 3, 4, 5};
  scenario.lines = {line};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  const DWORD needed = 268 + 9 + 201 + 5 + 28;

  Block small(sizeof(LINEDEVCAPS));
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0x00020002, 0, small.As<LINEDEVCAPS>()), 0);
  const auto* first = small.As<LINEDEVCAPS>();
  EXPECT_EQ(first->dwTotalSize, 292u);
  EXPECT_EQ(first->dwNeededSize, needed);
  EXPECT_EQ(first->dwUsedSize, 268u);
  EXPECT_EQ(first->dwLineNameSize, 0u);
  EXPECT_EQ(first->dwLineNameOffset, 0u);
  EXPECT_EQ(first->dwProviderInfoSize, 0u);
  EXPECT_EQ(first->dwMediaModes, LINEMEDIAMODE_INTERACTIVEVOICE);

  const auto fetched = simtest::DevCaps(platform, session.app, 0, 0x00020002);
  ASSERT_EQ(fetched.attempts, 2);
  ASSERT_EQ(fetched.result, 0);
  const auto* caps = reinterpret_cast<const LINEDEVCAPS*>(fetched.block.bytes.data());
  EXPECT_EQ(caps->dwTotalSize, needed);
  EXPECT_EQ(caps->dwUsedSize, needed);
  EXPECT_EQ(fetched.block.Text(caps->dwProviderInfoOffset), "Provider");
  EXPECT_EQ(fetched.block.Text(caps->dwLineNameOffset), std::string(200, 'N'));
  EXPECT_EQ(fetched.block.Raw(caps->dwDevSpecificOffset, caps->dwDevSpecificSize), std::string("\1\2\3\4\5"));
  // From version 2.0 on the device classes follow, a list closed by an empty name.
  EXPECT_EQ(fetched.block.Raw(caps->dwDeviceClassesOffset, caps->dwDeviceClassesSize),
            std::string("tapi/line\0wave/in\0wave/out\0\0", 28));
  for (DWORD offset : {caps->dwProviderInfoOffset, caps->dwLineNameOffset, caps->dwDevSpecificOffset,
                       caps->dwDeviceClassesOffset}) {
    EXPECT_GE(offset, 268u);
    EXPECT_LT(offset, needed);
  }
}

struct FixedSizeCase {
  DWORD version;
  DWORD fixed;
};

void PrintTo(const FixedSizeCase& size, std::ostream* out) { *out << std::hex << size.version; }

class SimDevCapsVersionTest : public SimBlocksTest, public ::testing::WithParamInterface<FixedSizeCase> {};

TEST_P(SimDevCapsVersionTest, FixedPartFollowsTheVersion) {
  SimScenario scenario;
  scenario.lines = {MakeLine("", LINEMEDIAMODE_INTERACTIVEVOICE, 0x00010003, 0x00030001)};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  Block block(sizeof(LINEDEVCAPS) + 64);
  ASSERT_EQ(platform.lineGetDevCapsA(session.app, 0, GetParam().version, 0, block.As<LINEDEVCAPS>()), 0);
  const DWORD classes = GetParam().version >= 0x00020000 ? 28 : 0;
  EXPECT_EQ(block.Dword(4), GetParam().fixed + classes);
  EXPECT_EQ(block.As<LINEDEVCAPS>()->dwLineNameSize, 0u);  // an empty name has no text at all
  // A block smaller than the fixed part is refused and left alone.
  Block tiny(GetParam().fixed - 4);
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, GetParam().version, 0, tiny.As<LINEDEVCAPS>()),
            LINEERR_STRUCTURETOOSMALL);
  EXPECT_EQ(tiny.Dword(4), 0u);
}

INSTANTIATE_TEST_SUITE_P(Versions, SimDevCapsVersionTest,
                         ::testing::Values(FixedSizeCase{0x00010003, 240}, FixedSizeCase{0x00010004, 240},
                                           FixedSizeCase{0x00020000, 252}, FixedSizeCase{0x00020001, 252},
                                           FixedSizeCase{0x00020002, 268}, FixedSizeCase{0x00030000, 292},
                                           FixedSizeCase{0x00030001, 292}));

TEST_F(SimBlocksTest, DevCapsChecksVersionExtensionAndPointer) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A", LINEMEDIAMODE_INTERACTIVEVOICE, 0x00010004, 0x00020002)};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  Block block(sizeof(LINEDEVCAPS));
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0x00010003, 0, block.As<LINEDEVCAPS>()),
            LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0, 0, block.As<LINEDEVCAPS>()),
            LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0x00020002, 1, block.As<LINEDEVCAPS>()),
            static_cast<LONG>(0x8000000D));
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0x00020002, 0, nullptr), LINEERR_INVALPOINTER);
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 1, 0x00020002, 0, block.As<LINEDEVCAPS>()),
            LINEERR_BADDEVICEID);
  EXPECT_EQ(block.Dword(4), 0u);
}

TEST_F(SimBlocksTest, OpenChecksItsArguments) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A", LINEMEDIAMODE_INTERACTIVEVOICE, 0x00010004, 0x00020002)};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  HLINE line = 0;
  const auto open = [&](DWORD device, DWORD version, DWORD ext, DWORD privileges, DWORD media) {
    return platform.lineOpenA(session.app, device, &line, version, ext, 0, privileges, media, nullptr);
  };
  EXPECT_EQ(open(1, 0x00020002, 0, 2, 4), LINEERR_BADDEVICEID);
  EXPECT_EQ(open(0, 0x00010003, 0, 2, 4), LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(open(0, 0x00020002, 7, 2, 4), static_cast<LONG>(0x8000000D));
  EXPECT_EQ(open(0, 0x00020002, 0, 0, 4), static_cast<LONG>(0x80000036));  // LINEERR_INVALPRIVSELECT
  EXPECT_EQ(open(0, 0x00020002, 0, 8, 4), static_cast<LONG>(0x80000036));
  EXPECT_EQ(open(0, 0x00020002, 0, 4, 0x10), static_cast<LONG>(0x8000002F));  // owner of media it lacks
  EXPECT_EQ(platform.lineOpenA(session.app, 0, nullptr, 0x00020002, 0, 0, 2, 4, nullptr),
            LINEERR_INVALPOINTER);
  EXPECT_EQ(line, 0u);
  EXPECT_EQ(platform.OpenLineCount(), 0u);
  // A monitor may name any media modes; an owner the line's own.
  EXPECT_EQ(open(0, 0x00020002, 0, 2, 0x10), 0);
  EXPECT_NE(line, 0u);
  EXPECT_EQ(open(0, 0x00010004, 0, 4, LINEMEDIAMODE_INTERACTIVEVOICE), 0);
  EXPECT_EQ(platform.OpenLineCount(), 2u);
  EXPECT_EQ(platform.lineShutdown(session.app), 0);
  EXPECT_EQ(platform.OpenLineCount(), 0u);
}

TEST_F(SimBlocksTest, ForcedResultsAreReturnedWithoutEffect) {
  SimScenario scenario;
  SimLine line = MakeLine("A");
  line.negotiateResult = LINEERR_NODEVICE;
  line.devCapsResult = LINEERR_OPERATIONFAILED;
  line.openResult = static_cast<LONG>(0x80000001);  // LINEERR_ALLOCATED
  scenario.lines = {line};
  scenario.shutdownResult = LINEERR_OPERATIONFAILED;
  scenario.script.messages = {SimMessage{}};
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  DWORD version = 77;
  LINEEXTENSIONID extension;
  EXPECT_EQ(platform.lineNegotiateAPIVersion(session.app, 0, 0x00010003, 0x00020002, &version, &extension),
            LINEERR_NODEVICE);
  EXPECT_EQ(version, 77u);
  Block block(sizeof(LINEDEVCAPS));
  EXPECT_EQ(platform.lineGetDevCapsA(session.app, 0, 0x00020002, 0, block.As<LINEDEVCAPS>()),
            LINEERR_OPERATIONFAILED);
  EXPECT_EQ(block.Dword(4), 0u);
  HLINE handle = 0;
  EXPECT_EQ(simtest::Open(platform, session.app, 0, 0x00020002, &handle), static_cast<LONG>(0x80000001));
  EXPECT_EQ(handle, 0u);
  pump.RunFor(60000);
  EXPECT_TRUE(Recorder::messages.empty());
  // The shutdown reports the forced error, but it still takes place.
  EXPECT_EQ(platform.lineShutdown(session.app), LINEERR_OPERATIONFAILED);
  EXPECT_EQ(platform.ApplicationCount(), 0u);
}

TEST_F(SimBlocksTest, ForcedInitialisationResultInitialisesNothing) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A")};
  scenario.initializeResult = LINEERR_NOMEM;
  SimTapiPlatform platform(pump, scenario);
  const auto session = Initialize(platform);
  EXPECT_EQ(session.result, LINEERR_NOMEM);
  EXPECT_EQ(session.app, 0u);
  EXPECT_EQ(session.devices, 0u);
  EXPECT_EQ(session.version, 0x00020002u);
  EXPECT_EQ(platform.ApplicationCount(), 0u);
  EXPECT_EQ(platform.lineShutdown(session.app), LINEERR_INVALAPPHANDLE);
}

class SimCallInfoTest : public SimBlocksTest {
 protected:
  // Opens line 0 of the scenario at the given version; the scenario's calls
  // are valid from then on.
  void OpenWith(SimScenario scenario, DWORD version = 0x00020002) {
    platform = std::make_unique<SimTapiPlatform>(pump, std::move(scenario));
    session = Initialize(*platform);
    HLINE line = 0;
    ASSERT_EQ(simtest::Open(*platform, session.app, 0, version, &line), 0);
  }
  std::unique_ptr<SimTapiPlatform> platform;
  simtest::Session session;
};

SimScenario CallScenario(SimCallInfo info, HCALL handle = 0x10A2C) {
  SimScenario scenario;
  scenario.lines = {MakeLine("A", LINEMEDIAMODE_INTERACTIVEVOICE, 0x00010003, 0x00030001)};
  scenario.calls = {SimCall{handle, std::move(info)}};
  return scenario;
}

TEST_F(SimCallInfoTest, TextsAndNumbersLandInTheBlock) {
  SimCallInfo info;
  info.callerID = " 5550100 ";
  info.callerIDName = "Miller";
  info.calledIDName = " Reception ";
  info.connectedID = "";
  info.origin = 4;
  info.reason = 1;
  // Opened at version 1.4, whose LINECALLINFO has 296 fixed bytes.
  OpenWith(CallScenario(info), 0x00010004);
  const auto fetched = simtest::CallInfo(*platform, 0x10A2C);
  ASSERT_EQ(fetched.result, 0);
  EXPECT_EQ(fetched.attempts, 1);
  const Block& block = fetched.block;
  const auto* call = reinterpret_cast<const LINECALLINFO*>(block.bytes.data());
  EXPECT_EQ(call->dwTotalSize, 344u);
  EXPECT_EQ(call->dwNeededSize, 296u + 10 + 7 + 12 + 1);
  EXPECT_EQ(call->dwUsedSize, call->dwNeededSize);
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, CallerID), " 5550100 ");
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, CallerIDName), "Miller");
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, CalledID), std::nullopt);
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, CalledIDName), " Reception ");
  EXPECT_EQ(call->dwConnectedIDSize, 1u);  // present but empty
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, ConnectedID), "");
  EXPECT_EQ(SIMTEST_FIELD(block, LINECALLINFO, ConnectedIDName), std::nullopt);
  EXPECT_EQ(call->dwCallerIDOffset, 296u);
  EXPECT_EQ(call->dwOrigin, 4u);
  EXPECT_EQ(call->dwReason, 1u);
  EXPECT_EQ(call->dwCallerIDFlags, 0x8u | 0x4u);  // ADDRESS | NAME
  EXPECT_EQ(call->dwCalledIDFlags, 0x4u);         // NAME
  EXPECT_EQ(call->dwConnectedIDFlags, 0x8u);      // ADDRESS
  EXPECT_NE(call->hLine, 0u);
  EXPECT_EQ(call->dwMediaMode, LINEMEDIAMODE_INTERACTIVEVOICE);
}

TEST_F(SimCallInfoTest, ExtraDataMakesTheBlockGrowOnceToExactlyTheNeededSize) {
  SimCallInfo info;
  info.callerID = "5550123";
  info.devSpecific.assign(100, 0xAB);
  OpenWith(CallScenario(info));
  Block small(sizeof(LINECALLINFO));
  ASSERT_EQ(platform->lineGetCallInfoA(0x10A2C, small.As<LINECALLINFO>()), 0);
  const DWORD needed = 324 + 8 + 100;
  EXPECT_EQ(small.Dword(0), 344u);
  EXPECT_EQ(small.Dword(4), needed);
  EXPECT_EQ(small.Dword(8), 324u);
  EXPECT_EQ(small.As<LINECALLINFO>()->dwCallerIDSize, 0u);
  EXPECT_EQ(small.As<LINECALLINFO>()->dwCallerIDOffset, 0u);

  const auto fetched = simtest::CallInfo(*platform, 0x10A2C);
  ASSERT_EQ(fetched.attempts, 2);
  EXPECT_EQ(fetched.block.bytes.size(), needed);
  EXPECT_EQ(fetched.block.Dword(8), needed);
  EXPECT_EQ(SIMTEST_FIELD(fetched.block, LINECALLINFO, CallerID), "5550123");
  const auto* call = reinterpret_cast<const LINECALLINFO*>(fetched.block.bytes.data());
  EXPECT_EQ(fetched.block.Raw(call->dwDevSpecificOffset, call->dwDevSpecificSize), std::string(100, '\xAB'));
}

TEST_F(SimCallInfoTest, FixedPartFollowsTheLinesVersion) {
  SimCallInfo info;
  info.callerID = "1";
  OpenWith(CallScenario(info), 0x00010003);
  Block block(sizeof(LINECALLINFO));
  ASSERT_EQ(platform->lineGetCallInfoA(0x10A2C, block.As<LINECALLINFO>()), 0);
  EXPECT_EQ(block.Dword(4), 296u + 2);
  EXPECT_EQ(block.As<LINECALLINFO>()->dwCallerIDOffset, 296u);
  Block tiny(290);
  EXPECT_EQ(platform->lineGetCallInfoA(0x10A2C, tiny.As<LINECALLINFO>()), LINEERR_STRUCTURETOOSMALL);
}

TEST_F(SimCallInfoTest, UnknownHandleLeavesTheBlockAlone) {
  OpenWith(CallScenario(SimCallInfo{}));
  Block block(sizeof(LINECALLINFO));
  EXPECT_EQ(platform->lineGetCallInfoA(0x10A2D, block.As<LINECALLINFO>()), LINEERR_INVALCALLHANDLE);
  EXPECT_EQ(platform->lineGetCallInfoA(0, block.As<LINECALLINFO>()), LINEERR_INVALCALLHANDLE);
  EXPECT_EQ(block.Dword(0), 344u);
  EXPECT_EQ(block.Dword(4), 0u);
  EXPECT_EQ(block.Dword(8), 0u);
  EXPECT_EQ(platform->lineGetCallInfoA(0x10A2C, nullptr), LINEERR_INVALPOINTER);
}

TEST_F(SimCallInfoTest, CallsLiveFromOpenUntilShutdown) {
  SimTapiPlatform local(pump, CallScenario(SimCallInfo{}));
  const auto app = Initialize(local);
  Block block(sizeof(LINECALLINFO));
  EXPECT_EQ(local.lineGetCallInfoA(0x10A2C, block.As<LINECALLINFO>()), LINEERR_INVALCALLHANDLE);
  HLINE line = 0;
  ASSERT_EQ(simtest::Open(local, app.app, 0, 0x00020002, &line), 0);
  EXPECT_EQ(local.CallCount(), 1u);
  EXPECT_EQ(local.lineGetCallInfoA(0x10A2C, block.As<LINECALLINFO>()), 0);
  EXPECT_EQ(local.lineShutdown(app.app), 0);
  EXPECT_EQ(local.CallCount(), 0u);
  EXPECT_EQ(local.lineGetCallInfoA(0x10A2C, block.As<LINECALLINFO>()), LINEERR_UNINITIALIZED);
}

TEST_F(SimBlocksTest, MessageTableTextsComeFromTheScenario) {
  SimScenario scenario;
  scenario.messageTable[0xE048] = "Operation failed (table)\r\n";
  SimTapiPlatform platform(pump, scenario);
  EXPECT_EQ(platform.MessageTableText(0xE048), "Operation failed (table)\r\n");
  EXPECT_EQ(platform.MessageTableText(0xE001), std::nullopt);
  EXPECT_NE(platform.ModuleHandle(), nullptr);
}

}  // namespace
}  // namespace ordalyn
