// The grammar of the trace: every label, separator, width and field order of
// the lines the tracer writes, and the one composer and the one reader of its
// event lines. The tracer (line trace, session, log header) writes with it and
// the call report reads with it, so the two cannot drift apart. Plain C++: no Qt.
//
// An event line, after the stamp "hh:nn:ss:zzz | ":
//   NAME - p1|p2|p3
//   LINE_APPNEWCALL - hCall: HHHHHHHH - p1|p2|p3
//   LINE_CALLSTATE: STATE[; MODE] - hCall: HHHHHHHH - CallerID: A - CalledID: B
//     [ - ConnectedID: C][ - (ORIGIN[, REASON])] - p1|p2|p3
//   LINE_CALLINFO: FLAG FLAG ... - hCall: ... (the same call information)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "log/tracelayout.h"
#include "tapi/tapidefs.h"

namespace ordalyn {

namespace traceformat {

// The stamp, the separator line and the log header: log/tracelayout.h.

// "TAPI - Logon (Version: 2.2) - Office Extension 214 (TAPI-Line: 3)"
inline constexpr std::string_view kLogonStart = "TAPI - Logon (Version: ";
inline constexpr std::string_view kLogonName = ") - ";
inline constexpr std::string_view kLogonDevice = " (TAPI-Line: ";
inline constexpr std::string_view kLogonEnd = ")";
inline constexpr std::string_view kLogoff = "TAPI - Logoff";

// Result lines: "Initialise: OK", "LineOpen: Error: 2147483720(Operation failed)".
inline constexpr std::string_view kStepInitialise = "Initialise";
inline constexpr std::string_view kStepLineOpen = "LineOpen";
inline constexpr std::string_view kStepLineShutDown = "LineShutDown";
inline constexpr std::string_view kResultSeparator = ": ";
inline constexpr std::string_view kResultOk = "OK";
inline constexpr std::string_view kResultError = "Error: ";
inline constexpr char kErrorTextOpen = '(';
inline constexpr char kErrorTextClose = ')';

// Event lines.
inline constexpr std::string_view kDetailStart = ": ";
inline constexpr std::string_view kHandleLabel = " - hCall: ";
inline constexpr int kHandleDigits = 8;
inline constexpr std::string_view kCallerLabel = " - CallerID: ";
inline constexpr std::string_view kCalledLabel = " - CalledID: ";
inline constexpr std::string_view kConnectedLabel = " - ConnectedID: ";
inline constexpr std::string_view kOriginReasonStart = " - (";
inline constexpr std::string_view kOriginReasonJoin = ", ";
inline constexpr std::string_view kOriginReasonEnd = ")";
inline constexpr std::string_view kParamsStart = " - ";
inline constexpr char kParamSeparator = '|';
// The mode after a call state's name: "; ACTIVE".
inline constexpr std::string_view kModeStart = "; ";

}  // namespace traceformat

// What one call information query yields.
struct CallInfo {
  std::string callerId;
  std::string calledId;
  std::string connectedId;
  DWORD origin = 0;
  DWORD reason = 0;
};

// LINE_APPNEWCALL, LINE_CALLSTATE and LINE_CALLINFO name a call handle.
inline bool NamesCallHandle(DWORD message) {
  return message == LINE_APPNEWCALL || message == LINE_CALLSTATE || message == LINE_CALLINFO;
}
// LINE_CALLSTATE and LINE_CALLINFO carry the call's information.
inline bool CarriesCallInfo(DWORD message) { return message == LINE_CALLSTATE || message == LINE_CALLINFO; }

// Appends the event line of a message (without its stamp). The handle is
// written for the messages that name one; info is read for those that carry
// call information (it may be null for the others).
void AppendEventLine(std::string& text, DWORD message, std::uint32_t handle, const CallInfo* info,
                     std::uint32_t param1, std::uint32_t param2, std::uint32_t param3);

// One event line read back. The texts are views into the line read.
struct EventLineView {
  DWORD message = 0;
  std::uint32_t param1 = 0;  // for LINE_CALLSTATE the state, for LINE_CALLINFO the flags
  std::uint32_t param2 = 0;  // for LINE_CALLSTATE the mode
  std::uint32_t param3 = 0;
  std::uint32_t handle = 0;  // with NamesCallHandle(message)
  std::string_view callerId;
  std::string_view calledId;
  std::string_view connectedId;
  DWORD origin = 0;  // 0: not named
  DWORD reason = 0;
  // A lone "Unknown (...)" in the parentheses: the origin and the reason
  // share that text, so it may be either.
  DWORD originOrReason = 0;
  // An identifier holds a label of this grammar, so that the text can be
  // read in more than one way: the identifiers are left empty.
  bool identifiersAmbiguous = false;
};

// Reads the text after the stamp as an event line into line, which holds no
// values yet. False (or no value) when it is none,
// or when its pieces disagree (the names of state, mode or flags against the
// raw parameters, the handle of LINE_APPNEWCALL against its second one).
//
// Where the text could be read more than one way, the fixed order of the
// fields decides: the handle is the first " - hCall: ", the raw parameters
// follow the last " - ", the call information begins right after the
// handle, and " - ConnectedID: " counts only after " - CalledID: ". A trailing
// " - (...)" that holds an origin or reason name is read as them.
bool ReadEventLine(std::string_view text, EventLineView& line);
inline std::optional<EventLineView> ReadEventLine(std::string_view text) {
  EventLineView line;
  return ReadEventLine(text, line) ? std::optional(line) : std::nullopt;
}

}  // namespace ordalyn
