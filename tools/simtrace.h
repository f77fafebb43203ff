// ordalyn-simtrace: one trace on the simulated telephony platform, run on
// virtual time and printed. The program's own pieces do the work (line
// inventory, logon, line callback, trace log, logoff); this unit only wires
// them to a virtual clock and to an output stream.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tapi/sim/manualmessagepump.h"
#include "tapi/tapiplatform.h"
#include "util/clock.h"
#include "util/cp1252map.h"

namespace ordalyn {

// The moment the simulated trace starts; only the time of day shows in stamps.
inline constexpr LocalDateTime kSimTraceStart{2024, 3, 4, 10, 15, 2, 117};

// The longest run the tool accepts: one day of virtual time.
inline constexpr std::uint32_t kSimTraceMaxSeconds = 86400;

// start plus elapsedMs milliseconds, across midnight and month ends by the
// Gregorian calendar.
LocalDateTime AddMilliseconds(const LocalDateTime& start, std::uint64_t elapsedMs);

// A clock that shows the pump's virtual time, counted from start.
class VirtualClock : public Clock {
 public:
  VirtualClock(const ManualMessagePump& pump, const LocalDateTime& start) : pump_(pump), start_(start) {}
  LocalDateTime Now() const override { return AddMilliseconds(start_, pump_.Now()); }

 private:
  const ManualMessagePump& pump_;
  LocalDateTime start_;
};

struct SimTraceOptions {
  std::optional<std::int32_t> line;  // none: the suggested voice line, else line 0
  std::uint32_t seconds = 60;        // virtual time between logon and logoff
  std::string scenarioFile;          // empty: the built-in default environment
  bool fileFormat = false;           // code page 1252 and CR LF, as in the program's files

  bool operator==(const SimTraceOptions&) const = default;
};

struct SimTraceCommand {
  enum class Kind { kRun, kHelp, kVersion, kError };
  Kind kind = Kind::kRun;
  SimTraceOptions options;
  std::string error;  // with kError: what is wrong, in one sentence
};

// Reads the arguments (without the program name): --line N, --seconds S,
// --scenario FILE, each also as --name=value, --cp1252, --help / -h and
// --version.
SimTraceCommand ParseSimTraceArguments(const std::vector<std::string>& args);

std::string SimTraceUsage();

// The line the program's TAPI lines dialog suggests: the first long-form
// entry marked " *"; none when no line is suited.
std::optional<std::int32_t> SuggestedLine(const std::vector<std::string>& longList);

// Runs one trace as the program does: the long and the short line list at
// start-up, logon on the line (the suggested one when none is given, else
// 0), seconds of virtual time on the pump, logoff. The trace log stamps from
// the pump's virtual time counted from start and uses ":" between the parts
// of a stamp. Returns the trace's lines in code page 1252, without line ends.
std::vector<std::string> RunSimTrace(TapiPlatform& platform, ManualMessagePump& pump,
                                     std::optional<std::int32_t> line, std::uint32_t seconds,
                                     const LocalDateTime& start = kSimTraceStart);

// The whole tool: prints the trace to out in UTF-8, one line per LF (with
// --cp1252 as the program's background file holds it: code page 1252, CR LF), and
// returns 0 (also after --help and --version); a usage error goes to err with
// exit code 2, a scenario that cannot be used to err with exit code 1.
int SimTraceMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ordalyn
