#include "e2erig.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace ordalyn::e2e {

namespace {

constexpr std::uint64_t kStartOfDayMs = ((10 * 60 + 15) * 60 + 2) * 1000ull + 117;

}  // namespace

LocalDateTime Rig::AddMs(std::uint64_t ms) {
  const std::uint64_t total = (kStartOfDayMs + ms) % (24ull * 3600 * 1000);
  LocalDateTime time = kStart;
  time.hour = static_cast<int>(total / 3600000);
  time.minute = static_cast<int>(total / 60000 % 60);
  time.second = static_cast<int>(total / 1000 % 60);
  time.millisecond = static_cast<int>(total % 1000);
  return time;
}

std::string StampAt(std::uint64_t ms) {
  const LocalDateTime time = Rig::AddMs(ms);
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d:%03d", time.hour, time.minute, time.second,
                time.millisecond);
  return buffer;
}

std::string At(std::uint64_t ms, const std::string& text) { return StampAt(ms) + " | " + text; }

std::uint64_t MsTo(int hour, int minute, int second, int millisecond) {
  const auto ms = ((static_cast<std::uint64_t>(hour) * 60 + static_cast<std::uint64_t>(minute)) * 60 +
                   static_cast<std::uint64_t>(second)) *
                      1000 +
                  static_cast<std::uint64_t>(millisecond);
  return ms - kStartOfDayMs;
}

void RecordingPlatform::Note(const std::string& call) {
  if (beforeCall) {
    beforeCall(call);
  }
  calls.push_back(call);
}

LONG RecordingPlatform::lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance,
                                          LINECALLBACK lpfnCallback, LPCSTR lpszFriendlyAppName,
                                          DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                                          LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
  Note("lineInitializeExA");
  return inner_.lineInitializeExA(lphLineApp, hInstance, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs,
                                  lpdwAPIVersion, lpLineInitializeExParams);
}

LONG RecordingPlatform::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                                DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                                                LINEEXTENSIONID* lpExtensionID) {
  Note("lineNegotiateAPIVersion");
  return inner_.lineNegotiateAPIVersion(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion,
                                        lpdwAPIVersion, lpExtensionID);
}

LONG RecordingPlatform::lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                        DWORD dwExtVersion, LINEDEVCAPS* lpLineDevCaps) {
  Note("lineGetDevCapsA");
  const DWORD total = lpLineDevCaps->dwTotalSize;
  const LONG result = inner_.lineGetDevCapsA(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
  blockQueries.push_back({"lineGetDevCapsA", total, lpLineDevCaps->dwNeededSize, result});
  return result;
}

LONG RecordingPlatform::lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion,
                                  DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                                  DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams) {
  Note("lineOpenA");
  return inner_.lineOpenA(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                          dwPrivileges, dwMediaModes, lpCallParams);
}

LONG RecordingPlatform::lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) {
  Note("lineGetCallInfoA");
  const DWORD total = lpCallInfo->dwTotalSize;
  const LONG result = inner_.lineGetCallInfoA(hCall, lpCallInfo);
  blockQueries.push_back({"lineGetCallInfoA", total, lpCallInfo->dwNeededSize, result});
  return result;
}

LONG RecordingPlatform::lineShutdown(HLINEAPP hLineApp) {
  Note("lineShutdown");
  return inner_.lineShutdown(hLineApp);
}

std::optional<std::string> RecordingPlatform::MessageTableText(DWORD messageId) {
  return inner_.MessageTableText(messageId);
}

HINSTANCE RecordingPlatform::ModuleHandle() { return inner_.ModuleHandle(); }

Rig::Rig(const PlatformMaker& make)
    : sim(make(pump)),
      recorder(*sim),
      log(
          screen, clock, ":", [] { return std::string(kBuildText); },
          [] { return std::string(kCopyrightText); }),
      session(recorder, state, log),
      trace(recorder, state, log) {
  if (sim->ScenarioError()) {
    ADD_FAILURE() << "scenario refused: " << sim->ScenarioError()->Text();
  }
  // What the main window does when it is created.
  state.tapiVersion = kTapiHighVersion;
  SetLineCallbackTarget(&trace);
}

Rig::Rig(std::string_view scenarioJson)
    : Rig([scenarioJson](MessagePump& messages) {
        return SimTapiPlatform::FromJson(messages, scenarioJson, "test");
      }) {}

Rig::Rig(SimScenario scenario)
    : Rig([&scenario](MessagePump& messages) {
        return std::make_unique<SimTapiPlatform>(messages, std::move(scenario));
      }) {}

std::unique_ptr<Rig> Rig::FromExample(const std::string& name) {
  const std::string path = std::string(ORDALYN_EXAMPLES_DIR) + "/" + name;
  return std::unique_ptr<Rig>(
      new Rig([&path](MessagePump& messages) { return SimTapiPlatform::FromFile(messages, path); }));
}

Rig::~Rig() {
  if (LineCallbackTarget() == &trace) {
    SetLineCallbackTarget(nullptr);
  }
}

void Rig::Logon(std::int32_t device) {
  state.selectedDevice = device;
  session.Logon();
}

void Rig::Run(std::uint64_t ms) { RunUntil(pump.Now() + ms); }

void Rig::RunUntil(std::uint64_t end) {
  while (pump.Pending() > 0 && pump.NextDue() <= end) {
    const std::uint64_t due = pump.NextDue();
    SetClock(due);
    pump.RunFor(due - pump.Now());
  }
  if (pump.Now() < end) {
    pump.RunFor(end - pump.Now());
  }
  SetClock(pump.Now());
}

void Rig::Logoff() { session.Logoff(); }

std::vector<std::string> Rig::Trace(std::int32_t device, std::uint64_t ms) {
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
  EnumerateLong(longList);
  EnumerateShort(shortList);
  state.selectedDevice = -1;
  state.loggedOn = false;
  Logon(device);
  Run(ms);
  Logoff();
  return Lines();
}

std::vector<std::string> EventLines(const std::vector<std::string>& trace) {
  std::size_t begin = 0;
  while (begin < trace.size() && TextOf(trace[begin]).rfind("TAPI - Logon (", 0) != 0) {
    ++begin;
  }
  begin += 2;  // the logon line and its separator
  std::size_t end = begin;
  while (end < trace.size() && trace[end] != kSeparator) {
    ++end;
  }
  if (begin > trace.size()) {
    return {};
  }
  return std::vector<std::string>(trace.begin() + static_cast<std::ptrdiff_t>(begin),
                                  trace.begin() + static_cast<std::ptrdiff_t>(end));
}

std::string TextOf(const std::string& line) {
  const auto bar = line.find(" | ");
  return bar == 12 ? line.substr(15) : line;
}

std::string Json(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
    }
    out += c;
  }
  return out + "\"";
}

}  // namespace ordalyn::e2e
