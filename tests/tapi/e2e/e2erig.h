// The program's telephony pieces wired together as the main window wires
// them, on the simulated platform and virtual time: inventory, logon, line
// callback, trace log (with a fake clock that follows the pump), logoff.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "log/tracelog.h"
#include "tapi/lineinventory.h"
#include "tapi/linetrace.h"
#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

namespace ordalyn::e2e {

inline const std::string kSeparator(92, '-');
inline const std::string kHeaderRule(48, '=');
inline constexpr const char* kBuildText = "Build: 1.0.0.1";
inline constexpr const char* kCopyrightText = "(c) Ordalyn developers";

// The four unstamped header lines with the rig's label texts.
inline std::vector<std::string> Header() {
  return {std::string("Ordalyn - ") + kBuildText, kCopyrightText, kHeaderRule, ""};
}

// The start of every rig's virtual time: 10:15:02.117.
inline constexpr LocalDateTime kStart{2024, 3, 4, 10, 15, 2, 117};

// "hh:nn:ss:zzz" for the virtual time ms after kStart (within the day).
std::string StampAt(std::uint64_t ms);
// The stamped trace line for text at virtual time ms.
std::string At(std::uint64_t ms, const std::string& text);
// Virtual milliseconds from 10:15:02.117 to the given time of day.
std::uint64_t MsTo(int hour, int minute, int second, int millisecond);

// The on-screen log: one entry per line.
class RecordingScreen : public ScreenLog {
 public:
  void AppendLine(const std::string& line) override { lines.push_back(line); }
  std::vector<std::string> lines;
};

// One call of a variable-size block query: the block's size handed in, the
// size the platform asked for, and the result.
struct BlockQuery {
  std::string call;  // "lineGetDevCapsA" or "lineGetCallInfoA"
  DWORD totalSize = 0;
  DWORD neededSize = 0;
  LONG result = 0;
};

// Passes every call on to the simulated platform, notes the block queries
// and the names of all calls, and runs an optional hook before each call.
class RecordingPlatform : public TapiPlatform {
 public:
  explicit RecordingPlatform(TapiPlatform& inner) : inner_(inner) {}

  LONG lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                         LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                         LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override;
  LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                               DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                               LINEEXTENSIONID* lpExtensionID) override;
  LONG lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps) override;
  LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                 DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                 const LINECALLPARAMS* lpCallParams) override;
  LONG lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) override;
  LONG lineShutdown(HLINEAPP hLineApp) override;
  std::optional<std::string> MessageTableText(DWORD messageId) override;
  HINSTANCE ModuleHandle() override;

  std::vector<std::string> calls;
  std::vector<BlockQuery> blockQueries;
  std::function<void(const std::string& call)> beforeCall;

 private:
  void Note(const std::string& call);
  TapiPlatform& inner_;
};

class Rig {
 public:
  // A scenario in JSON; a scenario the platform refuses fails the test.
  explicit Rig(std::string_view scenarioJson);
  explicit Rig(SimScenario scenario);
  // A scenario file of examples/.
  static std::unique_ptr<Rig> FromExample(const std::string& name);
  ~Rig();
  Rig(const Rig&) = delete;
  Rig& operator=(const Rig&) = delete;

  // The two lists the program makes at start-up; each returns the count.
  DWORD EnumerateLong(std::vector<std::string>& list) { return EnumerateLines(recorder, state, list, true); }
  DWORD EnumerateShort(std::vector<std::string>& list) {
    return EnumerateLines(recorder, state, list, false);
  }

  void Logon(std::int32_t device);
  // Delivers the messages due within ms of virtual time, setting the clock to
  // each message's time before it is delivered.
  void Run(std::uint64_t ms);
  // Runs until the virtual time stands at ms after the start.
  void RunUntil(std::uint64_t ms);
  void Logoff();

  // Start-up lists, logon on device, ms of messages, logoff: the whole trace.
  std::vector<std::string> Trace(std::int32_t device, std::uint64_t ms);

  const std::vector<std::string>& Lines() const { return screen.lines; }
  void SetClock(std::uint64_t ms) { clock.Set(AddMs(ms)); }
  static LocalDateTime AddMs(std::uint64_t ms);

  ManualMessagePump pump;
  std::unique_ptr<SimTapiPlatform> sim;
  RecordingPlatform recorder;
  FakeClock clock{kStart};
  RecordingScreen screen;
  TraceLog log;
  TapiState state;
  TapiSession session;
  LineEventTrace trace;

 private:
  using PlatformMaker = std::function<std::unique_ptr<SimTapiPlatform>(MessagePump&)>;
  explicit Rig(const PlatformMaker& make);
};

// The trace lines after the first "TAPI - Logon" line's separator and before
// the separator of the logoff: the event lines.
std::vector<std::string> EventLines(const std::vector<std::string>& trace);

// The text of a stamped line (everything after "hh:nn:ss:zzz | ").
std::string TextOf(const std::string& line);

// The JSON text of a string, with quotes.
std::string Json(std::string_view text);

}  // namespace ordalyn::e2e
