// The call report in its four forms: a readable table with a summary, CSV,
// JSON and a self-contained web page with a timeline. All of them write
// UTF-8; the trace's code page 1252 texts are converted on the way out.
// Plain C++: no Qt.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <vector>

#include "report/callmodel.h"

namespace ordalyn::report {

// Which calls to report: one handle, and a window of times of day (a window
// whose end lies before its start runs across midnight).
struct Filter {
  std::optional<DWORD> handle;
  std::optional<std::int64_t> from;  // milliseconds after midnight
  std::optional<std::int64_t> to;
};

// The calls that pass the filter (those that begin inside the window) and
// the sessions they belong to; without any filter, every session.
struct Selection {
  std::vector<const Call*> calls;
  std::vector<std::size_t> sessions;
};

Selection Select(const Report& report, const Filter& filter);

struct Summary {
  std::size_t calls = 0;
  std::size_t byOutcome[6] = {};  // indexed by Outcome
  const Call* longest = nullptr;
};

Summary Summarise(const Selection& selection);

// One row per call, then the summary, the sessions and the skipped lines.
void WriteTable(std::ostream& out, const Report& report, const Selection& selection);
// RFC 4180: a header row, one row per call, CR LF after every row.
void WriteCsv(std::ostream& out, const Selection& selection);
void WriteJson(std::ostream& out, const Report& report, const Selection& selection);
// The page shows the summary, the sessions, a timeline and the table; the
// timeline's hover texts are the trace lines of the states when the report
// kept them. A link may choose the timeline's window: "page.html#w=600000&p=0"
// shows ten minutes from the start (p counts thousandths of the way).
void WriteHtml(std::ostream& out, const Report& report, const Selection& selection);

}  // namespace ordalyn::report
