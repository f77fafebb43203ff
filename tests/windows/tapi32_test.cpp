// The telephony code against tapi32 itself: the structures of mingw-w64's
// <tapi.h>, and logon, logoff, the line inventory and the error texts on the
// tapi32 that the test runs on. Under wine, tapi32 is a set of stubs whose
// answers are pinned first; the traces expected afterwards follow from those
// answers by the session and inventory rules.
#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

#include "fakeplatform.h"
#include "tapi/lineinventory.h"
#include "tapi/linetrace.h"
#include "tapi/tapisession.h"
#include "tapi/tapiutil.h"
#include "tapi/win32/tapi32platform.h"
#include "winehost.h"

namespace ordalyn {
namespace {

using test::RecordingSink;
using wintest::UnderWine;
using wintest::WineExpected;

const std::string kSeparator(92, '-');

// The wine tests skip themselves on Windows itself; under the cross build's
// ctest they must find wine.
TEST(WineHost, IsFoundWhereTheTestRunSaysSo) {
  if (!WineExpected()) {
    GTEST_SKIP() << "ORDALYN_EXPECT_WINE is not set: started outside the cross build's ctest";
  }
  EXPECT_TRUE(UnderWine());
}

// --- The structures as the Windows headers lay them out ---------------------

TEST(TapiStructures, SizesOfTheSixtyFourBitHeaders) {
  EXPECT_EQ(sizeof(void*), 8u) << "the cross build targets x86_64";
  EXPECT_EQ(sizeof(LINEDEVCAPS), 292u);
  EXPECT_EQ(sizeof(LINECALLINFO), 344u);
  // Packed: four DWORDs, an 8-byte handle, one DWORD (24 bytes on 32-bit Windows).
  EXPECT_EQ(sizeof(LINEINITIALIZEEXPARAMS), 28u);
  EXPECT_EQ(sizeof(LINEEXTENSIONID), 16u);
  EXPECT_EQ(sizeof(HCALL), 4u);
  EXPECT_EQ(sizeof(HLINEAPP), 4u);
}

TEST(TapiStructures, FieldsTheTraceReadsSitWhereTapiPutsThem) {
  struct Field {
    const char* name;
    std::size_t offset;
    std::size_t expected;
  };
  const Field fields[] = {
      {"LINEDEVCAPS.dwNeededSize", offsetof(LINEDEVCAPS, dwNeededSize), 4},
      {"LINEDEVCAPS.dwLineNameSize", offsetof(LINEDEVCAPS, dwLineNameSize), 32},
      {"LINEDEVCAPS.dwLineNameOffset", offsetof(LINEDEVCAPS, dwLineNameOffset), 36},
      {"LINEDEVCAPS.dwBearerModes", offsetof(LINEDEVCAPS, dwBearerModes), 52},
      {"LINEDEVCAPS.dwMediaModes", offsetof(LINEDEVCAPS, dwMediaModes), 60},
      {"LINECALLINFO.dwNeededSize", offsetof(LINECALLINFO, dwNeededSize), 4},
      {"LINECALLINFO.dwOrigin", offsetof(LINECALLINFO, dwOrigin), 80},
      {"LINECALLINFO.dwReason", offsetof(LINECALLINFO, dwReason), 84},
      {"LINECALLINFO.dwCallerIDSize", offsetof(LINECALLINFO, dwCallerIDSize), 112},
      {"LINECALLINFO.dwCallerIDOffset", offsetof(LINECALLINFO, dwCallerIDOffset), 116},
      {"LINECALLINFO.dwCallerIDNameSize", offsetof(LINECALLINFO, dwCallerIDNameSize), 120},
      {"LINECALLINFO.dwCallerIDNameOffset", offsetof(LINECALLINFO, dwCallerIDNameOffset), 124},
      {"LINECALLINFO.dwCalledIDSize", offsetof(LINECALLINFO, dwCalledIDSize), 132},
      {"LINECALLINFO.dwCalledIDOffset", offsetof(LINECALLINFO, dwCalledIDOffset), 136},
      {"LINECALLINFO.dwConnectedIDSize", offsetof(LINECALLINFO, dwConnectedIDSize), 152},
      {"LINECALLINFO.dwConnectedIDOffset", offsetof(LINECALLINFO, dwConnectedIDOffset), 156},
      {"LINEINITIALIZEEXPARAMS.dwOptions", offsetof(LINEINITIALIZEEXPARAMS, dwOptions), 12},
      {"LINEINITIALIZEEXPARAMS.Handles", offsetof(LINEINITIALIZEEXPARAMS, Handles), 16},
      {"LINEINITIALIZEEXPARAMS.dwCompletionKey", offsetof(LINEINITIALIZEEXPARAMS, dwCompletionKey), 24},
  };
  for (const Field& field : fields) {
    EXPECT_EQ(field.offset, field.expected) << field.name;
  }
}

// tapi32 itself, with the initialisation parameters kept as they were handed over.
class ParamsRecordingTapi32 : public Tapi32Platform {
 public:
  std::vector<LINEINITIALIZEEXPARAMS> passed;

  LONG lineInitializeExA(HLINEAPP* app, HINSTANCE instance, LINECALLBACK callback, LPCSTR name, DWORD* count,
                         DWORD* version, LINEINITIALIZEEXPARAMS* params) override {
    passed.push_back(*params);
    return Tapi32Platform::lineInitializeExA(app, instance, callback, name, count, version, params);
  }
};

TEST(TapiStructures, InitialisationParametersCarryTheirRealSize) {
  ParamsRecordingTapi32 platform;
  TapiState state;
  state.tapiVersion = kTapiHighVersion;
  state.initParams.dwCompletionKey = 0xABCD;  // left over: the session fills the block afresh
  RecordingSink sink;
  TapiSession session(platform, state, sink);
  session.Logon();
  session.Logoff();
  std::vector<std::string> inventory;
  EnumerateLines(platform, state, inventory, true);

  ASSERT_EQ(platform.passed.size(), 2u);  // logon and inventory
  for (const LINEINITIALIZEEXPARAMS& params : platform.passed) {
    EXPECT_EQ(params.dwTotalSize, 28u);
    EXPECT_EQ(params.dwNeededSize, 0u);
    EXPECT_EQ(params.dwUsedSize, 0u);
    EXPECT_EQ(params.dwOptions, static_cast<DWORD>(LINEINITIALIZEEXOPTION_USEHIDDENWINDOW));
    EXPECT_EQ(params.Handles.hEvent, nullptr);
    EXPECT_EQ(params.dwCompletionKey, 0u);
  }
}

// --- wine's tapi32 -----------------------------------------------------------

class WineTapi32 : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!UnderWine()) {
      ASSERT_FALSE(WineExpected()) << "the test run says wine, but wine's ntdll is not there";
      GTEST_SKIP() << "pins the answers of wine's tapi32; this is not wine";
    }
    state.tapiVersion = kTapiHighVersion;  // as the main window sets it when it is created
  }

  Tapi32Platform platform;
  TapiState state;
  RecordingSink sink;
};

// What the rest of this suite builds on: the answers of wine's stubs.
TEST_F(WineTapi32, AnswersAsItsStubsDo) {
  HLINEAPP app = 0x5A5A;
  DWORD count = 77;
  DWORD version = kTapiHighVersion;
  LINEINITIALIZEEXPARAMS params{};
  FillInitParams(params);
  EXPECT_EQ(platform.lineInitializeExA(&app, platform.ModuleHandle(), &LineCallback, kTapiAppName, &count,
                                       &version, &params),
            0);
  EXPECT_EQ(app, 0x5A5Au) << "the application handle is not written";
  EXPECT_EQ(count, 77u) << "the device count is not written";
  EXPECT_EQ(version, kTapiHighVersion) << "the TAPI version is not written";

  // The negotiation succeeds for any device and answers the highest version offered.
  for (const DWORD device : {0u, 5u, 0xFFFFFFFFu}) {
    DWORD apiVersion = 0x1111;
    LINEEXTENSIONID extension{};
    EXPECT_EQ(platform.lineNegotiateAPIVersion(app, device, kTapiLowVersion, kTapiHighVersion, &apiVersion,
                                               &extension),
              0);
    EXPECT_EQ(apiVersion, kTapiHighVersion) << device;
  }

  LINEDEVCAPS caps{};
  caps.dwTotalSize = sizeof caps;
  EXPECT_EQ(platform.lineGetDevCapsA(app, 0, kTapiHighVersion, 0, &caps), LINEERR_OPERATIONFAILED);
  EXPECT_EQ(caps.dwNeededSize, 0u);

  HLINE line = 0x4444;
  EXPECT_EQ(platform.lineOpenA(app, 0, &line, kTapiHighVersion, 0, 0, LINECALLPRIVILEGE_MONITOR,
                               LINEMEDIAMODE_INTERACTIVEVOICE, nullptr),
            0);
  EXPECT_EQ(line, 0x4444u) << "the line handle is not written";
  EXPECT_EQ(platform.lineShutdown(app), 0);
}

// The messages waiting for this thread, dispatched as the program's loop would.
int PumpWaitingMessages() {
  int count = 0;
  MSG message;
  while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
    ++count;
  }
  return count;
}

TEST_F(WineTapi32, LogonAndLogoffWriteWhatTheAnswersImply) {
  // Initialisation and open answer 0: "OK". The negotiation answers 0 and the
  // version 2.2; the capabilities query fails, so the line query keeps the
  // empty name and the version the negotiation left: "2.2", then two blanks.
  struct Case {
    std::int32_t device;
    const char* logonLine;
  };
  const Case cases[] = {
      {0, "* | TAPI - Logon (Version: 2.2) -  (TAPI-Line: 0)"},
      {5, "* | TAPI - Logon (Version: 2.2) -  (TAPI-Line: 5)"},
      {-1, "* | TAPI - Logon (Version: 2.2) -  (TAPI-Line: -1)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    TapiState fresh;
    fresh.tapiVersion = kTapiHighVersion;
    fresh.selectedDevice = c.device;
    RecordingSink trace;
    TapiSession session(platform, fresh, trace);
    LineEventTrace events(platform, fresh, trace);
    SetLineCallbackTarget(&events);

    session.Logon();
    const std::vector<std::string> logon = {"<header>", "* | Initialise: OK", "* | LineOpen: OK", c.logonLine,
                                            kSeparator};
    EXPECT_EQ(trace.lines, logon);
    EXPECT_TRUE(fresh.loggedOn);
    EXPECT_EQ(fresh.lineApiVersion, kTapiHighVersion);
    EXPECT_EQ(fresh.appHandle, 0u) << "no initialisation wrote a handle";
    EXPECT_EQ(fresh.deviceCount, 0u);
    EXPECT_EQ(fresh.tapiVersion, kTapiHighVersion);
    EXPECT_EQ(fresh.initParams.dwTotalSize, sizeof(LINEINITIALIZEEXPARAMS));

    // Nothing is waiting for the line callback: the trace stays as it is.
    PumpWaitingMessages();
    EXPECT_EQ(trace.lines.size(), logon.size());

    trace.lines.clear();
    session.Logoff();
    const std::vector<std::string> logoff = {kSeparator, "* | LineShutDown: OK", "* | TAPI - Logoff"};
    EXPECT_EQ(trace.lines, logoff);
    EXPECT_FALSE(fresh.loggedOn);

    trace.lines.clear();
    session.Logoff();  // not logged on any more: nothing
    EXPECT_TRUE(trace.lines.empty());
    SetLineCallbackTarget(nullptr);
  }
}

TEST_F(WineTapi32, InventoryFindsNoLines) {
  // The initialisation succeeds but reports no devices: the count stays 0,
  // so there are no entries, no legend, and TAPI is shut down again.
  for (const bool longForm : {true, false}) {
    TapiState fresh;
    fresh.tapiVersion = kTapiHighVersion;
    std::vector<std::string> list = {"left over"};
    EXPECT_EQ(EnumerateLines(platform, fresh, list, longForm), 0u);
    EXPECT_TRUE(list.empty()) << longForm;
    EXPECT_FALSE(fresh.loggedOn);
  }
}

TEST_F(WineTapi32, InventoryWithACountLeftFromAnEarlierInitialisation) {
  // wine writes no count, so a count that an earlier initialisation left
  // stands. Each of those lines then negotiates but has no capabilities: its
  // entry keeps its number and says why, in the unit's own error text.
  state.deviceCount = 2;
  std::vector<std::string> longList;
  EXPECT_EQ(EnumerateLines(platform, state, longList, true), 2u);
  const std::vector<std::string> expectedLong = {
      "Line: 0 - (not available: The operation failed for unspecified reasons)",
      "Line: 1 - (not available: The operation failed for unspecified reasons)",
  };
  EXPECT_EQ(longList, expectedLong);

  std::vector<std::string> shortList;
  EXPECT_EQ(EnumerateLines(platform, state, shortList, false), 2u);
  ASSERT_EQ(shortList.size(), 2u);
  EXPECT_EQ(shortList[1], "1 - (not available: The operation failed for unspecified reasons)");
  EXPECT_EQ(LineNumberOfEntry(shortList[1]), 1);
}

TEST_F(WineTapi32, HasNoMessageTableSoTheUnitsOwnTextsAnswer) {
  const HMODULE tapi32 = GetModuleHandleA("tapi32.dll");
  ASSERT_NE(tapi32, nullptr) << "the program imports tapi32, so it is loaded";
  char buffer[513] = {};
  SetLastError(0);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, tapi32, 0xE048, 0, buffer, sizeof buffer, nullptr),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_DATA_NOT_FOUND));

  for (const DWORD id : {0xE001u, 0xE048u, 0xE05Cu, 0xF001u, 0xF023u, 0xFFEEu, 0xFFFFu}) {
    EXPECT_FALSE(platform.MessageTableText(id).has_value()) << std::hex << id;
  }

  const MessageTableLookup lookup = [this](DWORD id) { return platform.MessageTableText(id); };
  struct Case {
    DWORD code;
    const char* text;
  };
  const Case cases[] = {
      {0x80000048, "The operation failed for unspecified reasons"},
      {0x80000004, "Unknown TAPI error $80000004"},
      {0x8000005D, "Unknown TAPI error $8000005D"},
      {0x90000023, "The operation cannot be completed until all TAPI applications call phoneShutdown"},
      {0x9000001E, "Unknown TAPI error $9000001E"},
      {0xFFFFFFEE, "Invalid pointer"},
      {0xFFFFFFED, "Unknown TAPI error $FFFFFFED"},
      {0xA0000001, "Unknown TAPI error $A0000001"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TapiErrorText(static_cast<LONG>(c.code), lookup), c.text) << std::hex << c.code;
  }

  TapiSession session(platform, state, sink);
  EXPECT_EQ(session.ResultText("LineOpen", LINEERR_OPERATIONFAILED),
            "LineOpen: Error: 2147483720(The operation failed for unspecified reasons)");
  EXPECT_EQ(session.ResultText("Initialise", static_cast<LONG>(0x80000001)),
            "Initialise: Error: 2147483649(The line device is already in use)");
}

}  // namespace
}  // namespace ordalyn
