// The calls and sessions that a trace tells of, as ordalyn-calls reports
// them. Plain C++: no Qt.
//
// Times are milliseconds from midnight of the trace's first day: stamps carry
// no date, so a stamp that goes back by more than an hour counts as the next
// day. A stamp that goes back by an hour or less is a clock change (daylight
// saving, a clock set by hand): the times shown keep what the stamps say, and
// beside them an elapsed time that never goes back measures the durations.
// Texts are the trace's bytes (code page 1252, or UTF-8 when the input is).
#pragma once

#include <cstdint>
#include <cstring>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tapi/tapidefs.h"
#include "util/samebytes.h"

namespace ordalyn::report {

using TraceTime = std::int64_t;

inline constexpr TraceTime kMsPerDay = 24LL * 60 * 60 * 1000;

// The states of the dialling side: DIALTONE, DIALING, RINGBACK, PROCEEDING.
bool IsDialingState(DWORD state);

// One state a call went through: the LINE_CALLSTATE line that reported it.
struct StateChange {
  TraceTime time = 0;
  TraceTime elapsed = 0;  // on the clock that never goes back
  DWORD state = 0;
  DWORD mode = 0;
  std::uint32_t lineNumber = 0;  // in its input, counted from 1 (the last of 2^32 - 1 beyond)
  std::uint32_t lineText = 0;    // 1 + its index in Report::stateLines; 0 when not kept
};

// The values a caller, called or connected identifier took: every non-empty
// value that differed from the one before, oldest first. They are kept in one
// string, each after a NUL, so that the usual one or two short values need
// no memory of their own.
class IdentifierHistory {
 public:
  // Most lines repeat the last value: that is told here, without a call.
  void Note(std::string_view value) {
    if (!value.empty() && (joined_.size() - lastStart_ != value.size() ||
                           !SameBytes(joined_.data() + lastStart_, value.data(), value.size()))) {
      Add(value);
    }
  }
  // The last non-empty value; empty when there never was one.
  std::string_view Last() const { return std::string_view(joined_).substr(lastStart_); }
  std::vector<std::string_view> Values() const;
  // The values before the last one, oldest first.
  std::vector<std::string_view> Earlier() const;
  bool HasEarlier() const { return lastStart_ > 1; }

 private:
  void Add(std::string_view value);

  std::string joined_;
  std::uint32_t lastStart_ = 0;  // where the last value begins in joined_
};

// kUnknown: a call whose beginning the trace did not see (neither OFFERING
// nor a dialling state nor an outbound origin), which never connected.
enum class Outcome { kAnswered, kMissed, kOutgoing, kBusy, kFailed, kUnknown, kStillOpen };
inline constexpr std::size_t kOutcomeCount = 7;

// "answered", "missed", "outgoing", "busy", "failed", "unknown", "still open".
const char* OutcomeText(Outcome outcome);

struct Call {
  DWORD handle = 0;
  std::size_t session = 0;  // index into Report::sessions
  TraceTime start = 0;      // its LINE_APPNEWCALL, or the first line with its handle
  TraceTime lastSeen = 0;   // its last line
  TraceTime startElapsed = 0;
  TraceTime lastElapsed = 0;
  bool ended = false;             // reached IDLE, or ended without it; end is then lastSeen
  bool endedWithoutIdle = false;  // a new LINE_APPNEWCALL for its handle came first
  bool announced = false;         // began with its LINE_APPNEWCALL
  std::vector<StateChange> states;
  IdentifierHistory caller, called, connected;
  DWORD origin = 0;  // the last origin and reason the trace named; 0 for none
  DWORD reason = 0;
  // The last lone "Unknown (...)" that may be the origin or the reason; 0 for none.
  DWORD originOrReason = 0;
};

Outcome CallOutcome(const Call& call);
// From the end of the call back to its start; none while it is still open.
std::optional<TraceTime> Duration(const Call& call);
// From the first OFFERING to the first CONNECTED after it; none without both.
std::optional<TraceTime> OfferingToConnected(const Call& call);
// The time spent in CONNECTED, up to the next state (or the call's last line).
TraceTime TimeConnected(const Call& call);
// The last state the call reached; none before its first state line.
std::optional<DWORD> FinalState(const Call& call);

// One result line of a logon or logoff: "Initialise", "LineOpen" or
// "LineShutDown" with "OK" or its error.
struct ResultLine {
  TraceTime time = 0;
  std::string step;
  std::string result;  // "OK", or the text after "Error: "
  bool error = false;
};

// One logon-to-logoff stretch of the trace.
struct Session {
  TraceTime start = 0;
  TraceTime end = 0;
  bool loggedOn = false;  // a "TAPI - Logon" line was read
  bool loggedOff = false;
  std::int32_t line = 0;    // with loggedOn
  std::string lineName;     // with loggedOn
  std::string tapiVersion;  // with loggedOn: "2.2"
  std::vector<ResultLine> results;
  std::uint64_t linesWithoutCall = 0;  // call lines with handle 00000000
};

struct Report {
  std::vector<Session> sessions;
  std::deque<Call> calls;              // in the order they began
  std::deque<std::string> stateLines;  // the state changes' trace lines, when kept
  std::uint64_t lines = 0;             // all lines read, headers and separators included
  std::uint64_t traceLines = 0;        // stamped lines that were read as trace lines
  std::uint64_t skipped = 0;           // lines that are no trace lines
  std::uint64_t tooLong = 0;           // lines longer than the reader holds, skipped unread
  std::uint64_t ambiguous = 0;         // call lines whose identifiers can be read more than one way
  std::uint64_t linesWithoutCall = 0;  // call lines with handle 00000000
  std::uint64_t clockSteps = 0;        // stamps that went back by an hour or less
  std::uint64_t linesAfterEnd = 0;     // streaming: lines for a handle whose call was handed on
  bool lastLineCut = false;            // an input ended in the middle of a line that could not be read
  bool utf8 = false;                   // the texts are UTF-8, not code page 1252

  // The trace line of a state change; empty when it was not kept.
  std::string_view StateLine(const StateChange& change) const {
    return change.lineText == 0 ? std::string_view() : std::string_view(stateLines[change.lineText - 1]);
  }
};

// "hh:mm:ss.zzz", with "+Nd " in front from the second day on.
std::string TimeText(TraceTime time);
void AppendTimeText(std::string& text, TraceTime time);
// "1:02:03.004", "2:03.004" or "3.004".
std::string DurationText(TraceTime duration);
void AppendDurationText(std::string& text, TraceTime duration);
// The same texts written at `at`, which has room for kClockTextBytes; they
// return the text's end.
inline constexpr std::size_t kClockTextBytes = 32;
char* WriteTimeText(char* at, TraceTime time);
char* WriteDurationText(char* at, TraceTime duration);

}  // namespace ordalyn::report
