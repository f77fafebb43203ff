#include "tapi/tapisession.h"

#include <gtest/gtest.h>

#include "fakeplatform.h"
#include "tapi/linetrace.h"

namespace ordalyn {
namespace {

using test::FakeLine;
using test::FakePlatform;
using test::RecordingSink;

const std::string kSeparator(92, '-');

struct SessionFixture : ::testing::Test {
  FakePlatform platform;
  TapiState state;
  RecordingSink sink;
  TapiSession session{platform, state, sink};

  void SetUp() override {
    state.tapiVersion = 0x00020002;
    platform.lines = {FakeLine{"Sample Modem"}};
  }
};

TEST_F(SessionFixture, SuccessfulLogonWritesHeaderResultsLogonLineAndSeparator) {
  state.selectedDevice = 0;
  session.Logon();
  const std::vector<std::string> expected = {
      "<header>",         "* | Initialise: OK",
      "* | LineOpen: OK", "* | TAPI - Logon (Version: 2.2) - Sample Modem (TAPI-Line: 0)",
      kSeparator,
  };
  EXPECT_EQ(sink.lines, expected);
  EXPECT_TRUE(state.loggedOn);
  EXPECT_EQ(state.appHandle, platform.appHandle);
  EXPECT_EQ(state.lineApiVersion, 0x00020002u);
  const std::vector<std::string> calls = {
      "lineInitializeExA(20002)",        "lineNegotiateAPIVersion(1234,0,10003,20002)",
      "lineGetDevCapsA(1234,0,20002,0)",  // 292 bytes leave no room for the name
      "lineGetDevCapsA(1234,0,20002,0)", "lineOpenA(1234,0,20002,0,0,2,4,0)",
  };
  EXPECT_EQ(platform.calls_made, calls);
  EXPECT_EQ(platform.lastAppName, "Ordalyn");
  EXPECT_NE(platform.callback, nullptr);
}

TEST_F(SessionFixture, InitialisationParametersUseTheRealStructureSize) {
  state.initParams.dwCompletionKey = 77;  // left over from an earlier call
  session.Logon();
  EXPECT_EQ(platform.lastInitParams.dwTotalSize, sizeof(LINEINITIALIZEEXPARAMS));
  EXPECT_EQ(platform.lastInitParams.dwOptions, LINEINITIALIZEEXOPTION_USEHIDDENWINDOW);
  EXPECT_EQ(platform.lastInitParams.dwCompletionKey, 0u);
  EXPECT_EQ(platform.lastInitParams.dwNeededSize, 0u);
}

TEST_F(SessionFixture, TheVersionTapiReportsIsHandedInNextTime) {
  platform.reportedVersion = 0x00030001;
  session.Logon();
  session.Logoff();
  session.Logon();
  EXPECT_EQ(platform.lastInitVersionIn, 0x00030001u);
}

TEST_F(SessionFixture, LogoffWritesSeparatorShutdownAndLogoffLine) {
  session.Logon();
  sink.lines.clear();
  session.Logoff();
  const std::vector<std::string> expected = {kSeparator, "* | LineShutDown: OK", "* | TAPI - Logoff"};
  EXPECT_EQ(sink.lines, expected);
  EXPECT_FALSE(state.loggedOn);
  EXPECT_EQ(platform.calls_made.back(), "lineShutdown(1234)");
}

TEST_F(SessionFixture, LogoffWhileNotLoggedOnWritesNothing) {
  session.Logoff();
  EXPECT_TRUE(sink.lines.empty());
  EXPECT_TRUE(platform.calls_made.empty());
  EXPECT_FALSE(state.loggedOn);
}

TEST_F(SessionFixture, FailedInitialisationRunsEveryStepAllTheSame) {
  platform.initResult = LINEERR_OPERATIONFAILED;
  platform.initWritesOutputs = false;
  platform.openResult = LINEERR_INVALAPPHANDLE;
  platform.shutdownResult = LINEERR_INVALAPPHANDLE;
  session.Logon();
  session.Logoff();
  const std::vector<std::string> expected = {
      "<header>",
      "* | Initialise: Error: 2147483720(The operation failed for unspecified reasons)",
      "* | LineOpen: Error: 2147483668(Invalid TAPI line application handle)",
      "* | TAPI - Logon (Version: 2.2) - Sample Modem (TAPI-Line: 0)",
      kSeparator,
      kSeparator,
      "* | LineShutDown: Error: 2147483668(Invalid TAPI line application handle)",
      "* | TAPI - Logoff",
  };
  EXPECT_EQ(sink.lines, expected);
}

TEST_F(SessionFixture, ResultLinesPrintTheUnsignedNumberAndTheText) {
  struct Case {
    LONG result;
    const char* expected;
  };
  const Case cases[] = {
      {0, "Step: OK"},
      {1, "Step: OK"},
      {0x7FFFFFFF, "Step: OK"},
      {static_cast<LONG>(0x80000001), "Step: Error: 2147483649(The line device is already in use)"},
      {static_cast<LONG>(0x80000048),
       "Step: Error: 2147483720(The operation failed for unspecified reasons)"},
      {static_cast<LONG>(0x8000005D), "Step: Error: 2147483741(Unknown TAPI error $8000005D)"},
      {-18, "Step: Error: 4294967278(Invalid pointer)"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(session.ResultText("Step", c.result), c.expected) << c.result;
  }
}

TEST_F(SessionFixture, ResultLinesPreferTheMessageTableText) {
  platform.messageTable[0xE001] = "Line in use.\r\n";
  EXPECT_EQ(session.ResultText("LineOpen", static_cast<LONG>(0x80000001)),
            "LineOpen: Error: 2147483649(Line in use.\r\n)");
}

TEST_F(SessionFixture, FailedNegotiationGivesAnEmptyNameAndTheVersionItLeft) {
  platform.lines.assign(6, FakeLine{"Line"});
  platform.lines[5].negotiateResult = LINEERR_INCOMPATIBLEAPIVERSION;
  platform.lines[5].version = 0;
  platform.openResult = LINEERR_INCOMPATIBLEAPIVERSION;
  state.selectedDevice = 5;
  session.Logon();
  EXPECT_EQ(sink.lines[3], "* | TAPI - Logon (Version: 0.0) -  (TAPI-Line: 5)");
  EXPECT_EQ(platform.calls_made[2], "lineOpenA(1234,5,0,0,0,2,4,0)");
  EXPECT_TRUE(state.loggedOn);
}

TEST_F(SessionFixture, FailedCapabilitiesKeepTheNegotiatedVersionButNoName) {
  platform.lines[0].capsResult = LINEERR_OPERATIONFAILED;
  session.Logon();
  EXPECT_EQ(sink.lines[3], "* | TAPI - Logon (Version: 2.2) -  (TAPI-Line: 0)");
}

TEST_F(SessionFixture, DeviceMinusOneIsHandedToTapiUnchanged) {
  state.selectedDevice = -1;
  platform.openResult = LINEERR_BADDEVICEID;
  session.Logon();
  EXPECT_EQ(platform.calls_made[1], "lineNegotiateAPIVersion(1234,FFFFFFFF,10003,20002)");
  EXPECT_EQ(sink.lines[2], "* | LineOpen: Error: 2147483650(Invalid line device ID)");
  EXPECT_EQ(sink.lines[3], "* | TAPI - Logon (Version: 0.0) -  (TAPI-Line: -1)");
}

TEST_F(SessionFixture, AFailingHeaderWriteStopsLogonBeforeAnyTapiCall) {
  sink.failAtWrite = 0;
  EXPECT_THROW(session.Logon(), std::runtime_error);
  EXPECT_TRUE(platform.calls_made.empty());
  EXPECT_FALSE(state.loggedOn);
}

TEST_F(SessionFixture, AFailingResultLineStopsLogonAtThatLine) {
  sink.failAtWrite = 1;  // "Initialise: OK"
  EXPECT_THROW(session.Logon(), std::runtime_error);
  EXPECT_EQ(platform.calls_made.size(), 1u);
  EXPECT_FALSE(state.loggedOn);
}

TEST_F(SessionFixture, AFailingSeparatorStopsLogoffWithTapiRunning) {
  session.Logon();
  sink.failAtWrite = sink.writes;
  EXPECT_THROW(session.Logoff(), std::runtime_error);
  EXPECT_TRUE(state.loggedOn);
  EXPECT_NE(platform.calls_made.back(), "lineShutdown(1234)");
}

TEST(VersionText, ReadsEachHexGroupAsDecimal) {
  struct Case {
    DWORD version;
    const char* expected;
  };
  const Case cases[] = {
      {0x00020002, "2.2"},  {0x00010003, "1.3"}, {0, "0.0"},
      {0x00010004, "1.4"},  {0x00030001, "3.1"}, {0x0001000A, "1.0"},
      {0x00020010, "2.10"}, {0xFFFFFFFF, "0.0"}, {0x12345678, "1234.5678"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(VersionText(c.version), c.expected) << std::hex << c.version;
  }
}

struct LineQueryFixture : ::testing::Test {
  FakePlatform platform;
  std::string name = "before";
  DWORD version = 0;
  DWORD media = 0xABC;
  bool suited = true;

  LONG Query(const FakeLine& line) {
    platform.lines = {line};
    return LineQuery(platform, 1, 0, name, version, media, suited);
  }
};

TEST_F(LineQueryFixture, SuitedForVoiceNeedsVoiceMediaVoiceBearerNoUnknownAndMoreThan13) {
  struct Case {
    DWORD media;
    DWORD bearer;
    DWORD version;
    bool suited;
  };
  const Case cases[] = {
      {LINEMEDIAMODE_INTERACTIVEVOICE, LINEBEARERMODE_VOICE, 0x00020002, true},
      {LINEMEDIAMODE_INTERACTIVEVOICE | 0x10, LINEBEARERMODE_VOICE | 0x10, 0x00010004, true},
      {LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_UNKNOWN, LINEBEARERMODE_VOICE, 0x00020002, false},
      {LINEMEDIAMODE_INTERACTIVEVOICE, LINEBEARERMODE_VOICE, 0x00010003, false},
      {LINEMEDIAMODE_INTERACTIVEVOICE, LINEBEARERMODE_DATA, 0x00020002, false},
      {LINEMEDIAMODE_DATAMODEM, LINEBEARERMODE_VOICE, 0x00020002, false},
  };
  for (const auto& c : cases) {
    FakeLine line{"L", c.media, c.bearer, c.version};
    EXPECT_EQ(Query(line), 0);
    EXPECT_EQ(suited, c.suited) << std::hex << c.media << " " << c.bearer << " " << c.version;
    EXPECT_EQ(media, c.media);
  }
}

TEST_F(LineQueryFixture, LargeCapabilitiesAreQueriedTwiceWithExactlyTheNeededSize) {
  FakeLine line{std::string(300, 'N')};
  line.extraCapsBytes = 100;
  EXPECT_EQ(Query(line), 0);
  ASSERT_EQ(platform.capsBlockSizes.size(), 2u);
  EXPECT_EQ(platform.capsBlockSizes[0], 292u);
  EXPECT_EQ(platform.capsBlockSizes[1], 292u + 301u + 100u);
  EXPECT_EQ(name, std::string(300, 'N'));
}

TEST_F(LineQueryFixture, ANameSizeOfZeroGivesAnEmptyName) {
  FakeLine line{"Hidden"};
  line.zeroNameSize = true;
  EXPECT_EQ(Query(line), 0);
  EXPECT_EQ(name, "");
}

TEST_F(LineQueryFixture, NamesAreTakenUntrimmed) {
  EXPECT_EQ(Query(FakeLine{" Voice Modem "}), 0);
  EXPECT_EQ(name, " Voice Modem ");
}

TEST_F(LineQueryFixture, AFailedQueryLeavesTheOutputsButTheNegotiatedVersion) {
  FakeLine line{"Fax"};
  line.capsResult = LINEERR_OPERATIONFAILED;
  EXPECT_EQ(Query(line), LINEERR_OPERATIONFAILED);
  EXPECT_EQ(name, "before");
  EXPECT_EQ(media, 0xABCu);
  EXPECT_TRUE(suited);
  EXPECT_EQ(version, 0x00020002u);
  line.negotiateResult = LINEERR_INCOMPATIBLEAPIVERSION;
  line.version = 0x00010001;
  EXPECT_EQ(Query(line), LINEERR_INCOMPATIBLEAPIVERSION);
  EXPECT_EQ(version, 0x00010001u);
  EXPECT_EQ(platform.capsBlockSizes.size(), 2u);  // no capabilities asked after a failed negotiation
}

// A provider asking for an absurd block size must not make us allocate it.
class HugeCapsPlatform : public FakePlatform {
 public:
  LONG lineGetDevCapsA(HLINEAPP, DWORD, DWORD, DWORD, LINEDEVCAPS* caps) override {
    capsBlockSizes.push_back(caps->dwTotalSize);
    caps->dwNeededSize = 0xFFFFFFF0;
    return 0;
  }
};

TEST(LineQuery, AnImplausibleNeededSizeCountsAsAFailedQuery) {
  HugeCapsPlatform platform;
  platform.lines = {FakeLine{"x"}};
  std::string name = "keep";
  DWORD version = 0, media = 7;
  bool suited = false;
  EXPECT_EQ(LineQuery(platform, 1, 0, name, version, media, suited), LINEERR_NOMEM);
  EXPECT_EQ(platform.capsBlockSizes.size(), 1u);
  EXPECT_EQ(name, "keep");
  EXPECT_EQ(media, 7u);
}

}  // namespace
}  // namespace ordalyn
