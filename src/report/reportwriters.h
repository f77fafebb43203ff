// The call report in its four forms: a readable table with a summary, CSV,
// JSON and a self-contained web page with a timeline. All of them write
// UTF-8; the trace's code page 1252 texts are converted on the way out.
// Plain C++: no Qt.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
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
  bool utf8 = false;  // the report's texts are UTF-8 already, not code page 1252
};

Selection Select(const Report& report, const Filter& filter);
// Whether the call passes the filter.
bool Admits(const Filter& filter, const Call& call);

struct Summary {
  std::size_t calls = 0;
  std::size_t byOutcome[kOutcomeCount] = {};  // indexed by Outcome
  const Call* longest = nullptr;
};

Summary Summarise(const Selection& selection);
// Counts one more call, whose outcome was worked out already, into summary.
void CountCall(Summary& summary, const Call& call, Outcome outcome);

// One row per call, then the summary, the sessions and the lines read. Control
// characters from the trace are shown as "\x1b", never sent to the terminal.
void WriteTable(std::ostream& out, const Report& report, const Selection& selection);
// RFC 4180: a header row, one row per call, CR LF after every row. A cell that
// begins with "=", "@", a tab or CR, or with "+" or "-" not followed by a
// telephone number (digits, blanks and "()-./"), gets a "'" in front, so that
// a spreadsheet takes it as text, not as a formula.
void WriteCsv(std::ostream& out, const Selection& selection);
// The same for calls that come one at a time: the header row, then a row per
// call (utf8: its texts are UTF-8 already).
void WriteCsvHeading(std::ostream& out);
void WriteCsvRow(std::ostream& out, const Call& call, bool utf8);
// The table's heading and rows for calls that come one at a time: the
// columns have fixed widths (a start time of 16 characters, 18 for each
// party), and a wider cell pushes the rest of its row on.
void WriteTableHeading(std::ostream& out);
void WriteTableRow(std::ostream& out, const Call& call, bool utf8);
// The cell as WriteCsv writes it, quotes included.
std::string CsvField(std::string_view text);
void WriteJson(std::ostream& out, const Report& report, const Selection& selection);

// Writes calls one at a time, each on a line of its own as the very object
// WriteJson writes into "calls" (JSON Lines).
class JsonLineWriter {
 public:
  JsonLineWriter();
  ~JsonLineWriter();
  JsonLineWriter(const JsonLineWriter&) = delete;
  JsonLineWriter& operator=(const JsonLineWriter&) = delete;
  void Write(std::ostream& out, const Call& call, bool utf8);

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};
// The page shows the summary, the sessions, a timeline and the table; the
// timeline's hover texts are the trace lines of the states when the report
// kept them. A link may choose the timeline's window: "page.html#w=600000&p=0"
// shows ten minutes from the start (p counts thousandths of the way).
void WriteHtml(std::ostream& out, const Report& report, const Selection& selection);

}  // namespace ordalyn::report
