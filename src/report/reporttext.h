// The texts the report's forms share: handles, state names, the call's
// origin and reason, JSON and HTML escaping. Plain C++: no Qt.
#pragma once

#include <iterator>
#include <string>
#include <string_view>

#include "report/callmodel.h"

namespace ordalyn::report {

// Every outcome, in the order the summaries list them.
inline constexpr Outcome kOutcomes[] = {Outcome::kAnswered, Outcome::kMissed, Outcome::kOutgoing,
                                        Outcome::kBusy,     Outcome::kFailed, Outcome::kUnknown,
                                        Outcome::kStillOpen};
static_assert(std::size(kOutcomes) == kOutcomeCount);

// While one lives, Utf8() takes the report's texts as UTF-8 already (the
// input was UTF-8) rather than code page 1252: each writer holds one for the
// time it writes.
class InputTexts {
 public:
  explicit InputTexts(bool utf8);
  ~InputTexts();
  InputTexts(const InputTexts&) = delete;
  InputTexts& operator=(const InputTexts&) = delete;

 private:
  bool before_;
};

// "%.8X", as the trace prints a call handle.
std::string HandleText(DWORD handle);
// "CONNECTED" for LINECALLSTATE_CONNECTED; the table and the page are narrow.
std::string ShortStateName(DWORD state);
// The name of the last state the call reached, whole or short; empty before its first state.
std::string FinalStateText(const Call& call, bool full);
// The call's origin and reason names; empty when the trace named none.
std::string OriginText(const Call& call);
std::string ReasonText(const Call& call);
// A lone "Unknown (...)" the trace gave for origin or reason, as it stood there.
std::string OriginOrReasonText(const Call& call);
// The report's text as UTF-8: converted from code page 1252 unless an
// InputTexts says the input was UTF-8.
std::string Utf8(std::string_view text);
// The earlier values of an identifier, oldest first, joined by " | ".
std::string Earlier(const IdentifierHistory& history);
// A JSON string of UTF-8 text; "<" is escaped too, so that the text may
// stand inside a script element.
std::string JsonString(std::string_view utf8);
void AppendJsonString(std::string& out, std::string_view utf8);
// UTF-8 text with &, <, > and " escaped for HTML.
std::string HtmlText(std::string_view utf8);
// "10:15:02.117 - 10:25:02.117  line 3 "Name", TAPI 2.2; Initialise OK; ...".
std::string SessionText(const Session& session);

}  // namespace ordalyn::report
