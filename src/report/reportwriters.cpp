#include "report/reportwriters.h"

#include "report/reporttext.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

#include "tapi/tapiutil.h"
#include "util/cp1252map.h"
#include "util/utools.h"

namespace ordalyn::report {

namespace {

// Whether the texts being written are UTF-8 already: set by each writer for
// the time it writes.
thread_local bool g_utf8Input = false;

}  // namespace

InputTexts::InputTexts(bool utf8) : before_(g_utf8Input) { g_utf8Input = utf8; }
InputTexts::~InputTexts() { g_utf8Input = before_; }

std::string HandleText(DWORD handle) {
  std::string text;
  AppendHexUpper(text, handle, 8);
  return text;
}

std::string ShortStateName(DWORD state) {
  std::string name = CallStateName(state);
  constexpr std::string_view kPrefix = "LINECALLSTATE_";
  if (name.compare(0, kPrefix.size(), kPrefix) == 0) {
    name.erase(0, kPrefix.size());
  }
  return name;
}

std::string FinalStateText(const Call& call, bool full) {
  const auto state = FinalState(call);
  if (!state) {
    return "";
  }
  return full ? CallStateName(*state) : ShortStateName(*state);
}

std::string OriginText(const Call& call) { return call.origin != 0 ? CallOriginName(call.origin) : ""; }
std::string ReasonText(const Call& call) { return call.reason != 0 ? CallReasonName(call.reason) : ""; }
std::string OriginOrReasonText(const Call& call) {
  return call.originOrReason != 0 ? CallOriginName(call.originOrReason) : "";
}

std::string Utf8(std::string_view text) { return g_utf8Input ? std::string(text) : Cp1252ToUtf8(text); }

namespace {

// UTF-8 text for a terminal: control characters (C0, DEL and C1) become
// "\x1b" and the like, so that none of them reaches the terminal raw.
std::string Visible(std::string utf8) {
  std::size_t at = 0;
  while (at < utf8.size()) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    unsigned code = 0;
    std::size_t length = 0;
    if (byte < 0x20 || byte == 0x7F) {
      code = byte;
      length = 1;
    } else if (byte == 0xC2 && at + 1 < utf8.size() && static_cast<unsigned char>(utf8[at + 1]) < 0xA0) {
      code = static_cast<unsigned char>(utf8[at + 1]);
      length = 2;
    } else {
      ++at;
      continue;
    }
    char escaped[8];
    std::snprintf(escaped, sizeof escaped, "\\x%02x", code);
    utf8.replace(at, length, escaped);
    at += 4;
  }
  return utf8;
}

}  // namespace

std::string Earlier(const IdentifierHistory& history) {
  std::string text;
  for (const std::string_view value : history.Earlier()) {
    if (!text.empty()) {
      text += " | ";
    }
    text += value;
  }
  return text;
}

namespace {

std::string OptionalMs(const std::optional<TraceTime>& value) {
  return value ? std::to_string(*value) : std::string();
}

// Characters, not bytes, of UTF-8 text: for the table's columns.
std::size_t Width(std::string_view utf8) {
  std::size_t width = 0;
  for (const char c : utf8) {
    width += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  }
  return width;
}

// A telephone number after a leading "+" or "-": digits, blanks and "()-./",
// at least one digit.
bool IsTelephoneNumber(std::string_view text) {
  bool digit = false;
  for (const char c : text) {
    if (c >= '0' && c <= '9') {
      digit = true;
    } else if (std::string_view(" ()-./").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return digit;
}

}  // namespace

namespace {

// The bytes a JSON string escapes: control characters, '"', '\\' and '<'.
constexpr auto kJsonEscaped = [] {
  std::array<bool, 256> escaped{};
  for (std::size_t byte = 0; byte < 0x20; ++byte) escaped[byte] = true;
  escaped['"'] = escaped['\\'] = escaped['<'] = true;
  return escaped;
}();

}  // namespace

void AppendJsonString(std::string& out, std::string_view utf8) {
  out += '"';
  std::size_t plain = 0;  // the bytes from here on need no escape so far
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const char c = utf8[i];
    const auto byte = static_cast<unsigned char>(c);
    if (!kJsonEscaped[byte]) {
      continue;
    }
    out.append(utf8.data() + plain, i - plain);
    plain = i + 1;
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    }
  }
  out.append(utf8.data() + plain, utf8.size() - plain);
  out += '"';
}

std::string JsonString(std::string_view utf8) {
  std::string out;
  AppendJsonString(out, utf8);
  return out;
}

std::string HtmlText(std::string_view utf8) {
  std::string out;
  for (const char c : utf8) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string SessionText(const Session& session) {
  std::string text = TimeText(session.start) + " - " + TimeText(session.end) + "  ";
  if (session.loggedOn) {
    text += "line " + std::to_string(session.line) + " \"" + Utf8(session.lineName) + "\", TAPI " +
            Utf8(session.tapiVersion);
  } else {
    text += "no logon line";
  }
  for (const ResultLine& result : session.results) {
    text += "; " + result.step + " " + (result.error ? "error" : result.result);
  }
  if (!session.loggedOff) {
    text += "; no logoff";
  }
  if (session.linesWithoutCall > 0) {
    text += "; " + std::to_string(session.linesWithoutCall) + " lines without a call";
  }
  return text;
}

namespace {

struct Column {
  const char* title;
  std::string (*value)(const Call&);
  // The identifier a column shows, if any: in code page 1252 without control
  // characters its width is its length, one character a byte.
  const IdentifierHistory Call::*identifier = nullptr;
};

// Code page 1252 bytes that the table shows as they are, one character each:
// no control character, none of the five the code page leaves undefined.
bool PlainCp1252(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || byte == 0x81 || byte == 0x8D || byte == 0x8F || byte == 0x90 ||
        byte == 0x9D) {
      return false;
    }
  }
  return true;
}

const Column kColumns[] = {
    {"Handle", [](const Call& c) { return HandleText(c.handle); }},
    {"Start", [](const Call& c) { return TimeText(c.start); }},
    {"Duration",
     [](const Call& c) {
       const auto d = Duration(c);
       return d ? DurationText(*d) : std::string("-");
     }},
    {"Outcome", [](const Call& c) { return std::string(OutcomeText(CallOutcome(c))); }},
    {"Caller", [](const Call& c) { return Utf8(c.caller.Last()); }, &Call::caller},
    {"Called", [](const Call& c) { return Utf8(c.called.Last()); }, &Call::called},
    {"Connected", [](const Call& c) { return Utf8(c.connected.Last()); }, &Call::connected},
    {"Final state", [](const Call& c) { return FinalStateText(c, false); }},
};

}  // namespace

std::string CsvField(std::string_view text) {
  std::string cell;
  if (!text.empty()) {
    const char first = text.front();
    if (first == '=' || first == '@' || first == '\t' || first == '\r' ||
        ((first == '+' || first == '-') && !IsTelephoneNumber(text.substr(1)))) {
      cell += '\'';
    }
  }
  cell += text;
  if (cell.find_first_of(",\"\r\n") == std::string::npos) {
    return cell;
  }
  std::string quoted = "\"";
  for (const char c : cell) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  quoted += '"';
  return quoted;
}

Selection Select(const Report& report, const Filter& filter) {
  Selection selection;
  selection.utf8 = report.utf8;
  std::vector<bool> sessionUsed(report.sessions.size(), false);
  for (const Call& call : report.calls) {
    if (!Admits(filter, call)) {
      continue;
    }
    selection.calls.push_back(&call);
    if (call.session < sessionUsed.size()) {
      sessionUsed[call.session] = true;
    }
  }
  const bool all = !filter.handle && !filter.from && !filter.to;
  for (std::size_t i = 0; i < report.sessions.size(); ++i) {
    if (all || sessionUsed[i]) {
      selection.sessions.push_back(i);
    }
  }
  return selection;
}

bool Admits(const Filter& filter, const Call& call) {
  if (filter.handle && call.handle != *filter.handle) {
    return false;
  }
  const std::int64_t timeOfDay = call.start % kMsPerDay;
  if (filter.from && filter.to && *filter.to < *filter.from) {
    return timeOfDay >= *filter.from || timeOfDay <= *filter.to;
  }
  return !((filter.from && timeOfDay < *filter.from) || (filter.to && timeOfDay > *filter.to));
}

Summary Summarise(const Selection& selection) {
  Summary summary;
  summary.calls = selection.calls.size();
  for (const Call* call : selection.calls) {
    ++summary.byOutcome[static_cast<int>(CallOutcome(*call))];
    const auto duration = Duration(*call);
    if (duration && (summary.longest == nullptr || *duration > *Duration(*summary.longest))) {
      summary.longest = call;
    }
  }
  return summary;
}

namespace {

// One row of the table: each cell padded to its column's width and two
// blanks, the last one not.
template <typename Cell>
void WriteRow(std::ostream& out, std::string& row, const Cell& cell, const std::size_t* widths) {
  row.clear();
  for (std::size_t i = 0; i < std::size(kColumns); ++i) {
    const std::string text = cell(i);
    row += text;
    const std::size_t width = Width(text);
    if (i + 1 < std::size(kColumns) && width < widths[i] + 2) {
      row.append(widths[i] + 2 - width, ' ');
    }
  }
  row += '\n';
  out.write(row.data(), static_cast<std::streamsize>(row.size()));
}

std::string TitleCell(std::size_t i) { return kColumns[i].title; }

struct CallCells {
  const Call* call;
  std::string operator()(std::size_t i) const {
    return kColumns[i].identifier != nullptr ? Visible(kColumns[i].value(*call)) : kColumns[i].value(*call);
  }
};

// The widths of the table's columns when the calls come one at a time:
// handle, start (with "+12d " in front), duration, outcome, caller, called,
// connected. A wider cell pushes the rest of its row on.
constexpr std::size_t kFixedWidths[] = {8, 16, 9, 10, 18, 18, 18, 11};
static_assert(std::size(kFixedWidths) == std::size(kColumns));

}  // namespace

void WriteTableHeading(std::ostream& out) {
  std::string row;
  WriteRow(out, row, TitleCell, kFixedWidths);
}

void WriteTableRow(std::ostream& out, const Call& call, bool utf8) {
  const InputTexts texts(utf8);
  std::string row;
  WriteRow(out, row, CallCells{&call}, kFixedWidths);
}

void WriteTable(std::ostream& out, const Report& report, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  // Two passes: the widths first, then the rows, so that no row is kept.
  constexpr std::size_t kColumnCount = std::size(kColumns);
  std::size_t widths[kColumnCount];
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    widths[i] = Width(kColumns[i].title);
  }
  for (const Call* call : selection.calls) {
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      const Column& column = kColumns[i];
      const std::string_view raw =
          column.identifier != nullptr ? ((*call).*(column.identifier)).Last() : std::string_view();
      std::size_t width = 0;
      if (column.identifier == nullptr) {
        width = Width(column.value(*call));  // the report's own words and numbers
      } else {
        width = !selection.utf8 && PlainCp1252(raw) ? raw.size() : Width(Visible(column.value(*call)));
      }
      widths[i] = std::max(widths[i], width);
    }
  }
  // Each row is composed in one buffer and written at once.
  std::string row;
  WriteRow(out, row, TitleCell, widths);
  for (const Call* call : selection.calls) {
    WriteRow(out, row, CallCells{call}, widths);
  }

  const Summary summary = Summarise(selection);
  out << '\n' << "Calls: " << summary.calls;
  for (const Outcome outcome : kOutcomes) {
    out << (outcome == Outcome::kAnswered ? " (" : ", ") << OutcomeText(outcome) << ' '
        << summary.byOutcome[static_cast<int>(outcome)];
  }
  out << ")\n";
  if (summary.longest != nullptr) {
    out << "Longest call: " << HandleText(summary.longest->handle) << " at "
        << TimeText(summary.longest->start) << ", " << DurationText(*Duration(*summary.longest)) << '\n';
  }
  out << "Sessions: " << selection.sessions.size() << '\n';
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << "  " << (index + 1) << ". " << Visible(SessionText(session)) << '\n';
    for (const ResultLine& result : session.results) {
      if (result.error) {
        out << "     " << TimeText(result.time) << ' ' << result.step
            << ": Error: " << Visible(Utf8(result.result)) << '\n';
      }
    }
  }
  out << "Lines: " << report.lines << " read, " << report.skipped << " skipped (not trace lines)";
  if (report.tooLong > 0) {
    out << ", " << report.tooLong << " too long (over 64 KiB)";
  }
  if (report.ambiguous > 0) {
    out << ", " << report.ambiguous << " with identifiers that read more than one way";
  }
  if (report.linesWithoutCall > 0) {
    out << ", " << report.linesWithoutCall << " without a call (handle 00000000)";
  }
  if (report.lastLineCut) {
    out << ", the last line cut short";
  }
  out << '\n';
  if (report.clockSteps > 0) {
    out << "Clock steps back (an hour or less): " << report.clockSteps << '\n';
  }
  out << "Texts read as " << (report.utf8 ? "UTF-8" : "code page 1252") << '\n';
}

void WriteCsv(std::ostream& out, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  WriteCsvHeading(out);
  for (const Call* call : selection.calls) {
    WriteCsvRow(out, *call, selection.utf8);
  }
}

void WriteCsvHeading(std::ostream& out) {
  out << "handle,session,start,end,duration_ms,outcome,caller,caller_earlier,called,called_earlier,connected,"
         "connected_earlier,origin,reason,origin_or_reason,offering_to_connected_ms,connected_ms,final_state,"
         "states\r\n";
}

void WriteCsvRow(std::ostream& out, const Call& callRef, bool utf8) {
  const InputTexts texts(utf8);
  const Call* const call = &callRef;
  std::string states;
  for (const StateChange& change : call->states) {
    states += (states.empty() ? "" : " ") + ShortStateName(change.state);
  }
  const std::string fields[] = {
      HandleText(call->handle),
      std::to_string(call->session + 1),
      TimeText(call->start),
      call->ended ? TimeText(call->lastSeen) : "",
      OptionalMs(Duration(*call)),
      OutcomeText(CallOutcome(*call)),
      Utf8(call->caller.Last()),
      Utf8(Earlier(call->caller)),
      Utf8(call->called.Last()),
      Utf8(Earlier(call->called)),
      Utf8(call->connected.Last()),
      Utf8(Earlier(call->connected)),
      OriginText(*call),
      ReasonText(*call),
      OriginOrReasonText(*call),
      OptionalMs(OfferingToConnected(*call)),
      std::to_string(TimeConnected(*call)),
      FinalStateText(*call, true),
      states,
  };
  bool first = true;
  for (const std::string& field : fields) {
    out << (first ? "" : ",") << CsvField(field);
    first = false;
  }
  out << "\r\n";
}

namespace {

// A whole number in decimal, as JSON writes it: the digits from the back
// into a small buffer, appended at once.
void AppendNumber(std::string& text, std::int64_t value) {
  char digits[24];
  char* const end = digits + sizeof digits;
  char* first = end;
  std::uint64_t magnitude =
      value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
  do {
    *--first = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) {
    *--first = '-';
  }
  text.append(first, end);
}

void AppendOptionalNumber(std::string& text, const std::optional<TraceTime>& value) {
  if (value) {
    AppendNumber(text, *value);
  } else {
    text += "null";
  }
}

// A text of the trace as a JSON string: ASCII and UTF-8 input need no
// conversion.
void AppendJsonText(std::string& text, std::string_view raw) {
  const bool ascii = std::all_of(raw.begin(), raw.end(), [](char c) { return (c & 0x80) == 0; });
  if (ascii || g_utf8Input) {
    AppendJsonString(text, raw);
  } else {
    AppendJsonString(text, Cp1252ToUtf8(raw));
  }
}

void AppendJsonHistory(std::string& text, const char* name, const IdentifierHistory& history) {
  text += '"';
  text += name;
  text += "\":";
  AppendJsonText(text, history.Last());
  text += ",\"";
  text += name;
  text += "_earlier\":[";
  bool first = true;
  for (const std::string_view value : history.Earlier()) {
    text += first ? "" : ",";
    AppendJsonText(text, value);
    first = false;
  }
  text += ']';
}

// The JSON of a state and its mode, ",\"state\":...,\"mode\":...", made once
// for each pair the calls hold.
class StateJson {
 public:
  const std::string& Of(DWORD state, DWORD mode) {
    const std::uint64_t key = (std::uint64_t{state} << 32) | mode;
    auto found = texts_.find(key);
    if (found == texts_.end()) {
      const std::string modeText = CallStateModeText(state, mode);
      std::string text = ",\"state\":";
      AppendJsonString(text, CallStateName(state));
      text += ",\"mode\":";
      AppendJsonString(text, modeText.empty() ? std::string_view() : std::string_view(modeText).substr(2));
      found = texts_.emplace(key, std::move(text)).first;
    }
    return found->second;
  }

 private:
  std::unordered_map<std::uint64_t, std::string> texts_;
};

// One call as a JSON object, composed in one string and written at once.
void WriteJsonCall(std::ostream& out, const Call& call, StateJson& stateJson, std::string& text) {
  text.clear();
  text += "{\"handle\":\"";
  AppendHexUpper(text, call.handle, 8);
  text += "\",\"session\":";
  AppendNumber(text, static_cast<std::int64_t>(call.session + 1));
  text += ",\"start\":\"";
  AppendTimeText(text, call.start);
  text += "\",\"start_ms\":";
  AppendNumber(text, call.start);
  text += ",\"end\":";
  if (call.ended) {
    text += '"';
    AppendTimeText(text, call.lastSeen);
    text += '"';
  } else {
    text += "null";
  }
  text += ",\"duration_ms\":";
  AppendOptionalNumber(text, Duration(call));
  text += ",\"outcome\":\"";
  text += OutcomeText(CallOutcome(call));
  text += "\",";
  AppendJsonHistory(text, "caller", call.caller);
  text += ',';
  AppendJsonHistory(text, "called", call.called);
  text += ',';
  AppendJsonHistory(text, "connected", call.connected);
  text += ",\"origin\":";
  AppendJsonString(text, OriginText(call));
  text += ",\"reason\":";
  AppendJsonString(text, ReasonText(call));
  text += ",\"origin_or_reason\":";
  AppendJsonString(text, OriginOrReasonText(call));
  text += ",\"ended_without_idle\":";
  text += call.endedWithoutIdle ? "true" : "false";
  text += ",\"offering_to_connected_ms\":";
  AppendOptionalNumber(text, OfferingToConnected(call));
  text += ",\"connected_ms\":";
  AppendNumber(text, TimeConnected(call));
  text += ",\"final_state\":";
  AppendJsonString(text, FinalStateText(call, true));
  text += ",\"states\":[";
  for (std::size_t i = 0; i < call.states.size(); ++i) {
    const StateChange& change = call.states[i];
    text += i > 0 ? ",{\"time\":\"" : "{\"time\":\"";
    AppendTimeText(text, change.time);
    text += "\",\"time_ms\":";
    AppendNumber(text, change.time);
    text += stateJson.Of(change.state, change.mode);
    text += ",\"line\":";
    AppendNumber(text, change.lineNumber);
    text += '}';
  }
  text += "]}";
  out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

}  // namespace

void WriteJson(std::ostream& out, const Report& report, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  const Summary summary = Summarise(selection);
  out << "{\"sessions\":[";
  bool first = true;
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << (first ? "" : ",") << "\n{\"session\":" << (index + 1) << ",\"start\":\""
        << TimeText(session.start) << "\",\"end\":\"" << TimeText(session.end)
        << "\",\"logged_on\":" << (session.loggedOn ? "true" : "false")
        << ",\"logged_off\":" << (session.loggedOff ? "true" : "false")
        << ",\"lines_without_call\":" << session.linesWithoutCall;
    if (session.loggedOn) {
      out << ",\"line\":" << session.line << ",\"line_name\":" << JsonString(Utf8(session.lineName))
          << ",\"tapi_version\":" << JsonString(Utf8(session.tapiVersion));
    }
    out << ",\"results\":[";
    for (std::size_t i = 0; i < session.results.size(); ++i) {
      const ResultLine& result = session.results[i];
      out << (i > 0 ? "," : "") << "{\"time\":\"" << TimeText(result.time) << "\",\"step\":\"" << result.step
          << "\",\"error\":" << (result.error ? "true" : "false")
          << ",\"result\":" << JsonString(Utf8(result.result)) << "}";
    }
    out << "]}";
    first = false;
  }
  out << "],\n\"calls\":[";
  first = true;
  StateJson stateJson;
  std::string text;  // one call's JSON, the buffer used again for the next
  for (const Call* call : selection.calls) {
    out << (first ? "\n" : ",\n");
    WriteJsonCall(out, *call, stateJson, text);
    first = false;
  }
  out << "],\n\"summary\":{\"calls\":" << summary.calls;
  for (const Outcome outcome : kOutcomes) {
    std::string key = OutcomeText(outcome);
    std::replace(key.begin(), key.end(), ' ', '_');
    out << ",\"" << key << "\":" << summary.byOutcome[static_cast<int>(outcome)];
  }
  out << ",\"longest\":";
  if (summary.longest != nullptr) {
    out << "\"" << HandleText(summary.longest->handle) << "\"";
  } else {
    out << "null";
  }
  out << ",\"lines\":" << report.lines << ",\"skipped\":" << report.skipped
      << ",\"too_long\":" << report.tooLong << ",\"ambiguous\":" << report.ambiguous
      << ",\"lines_without_call\":" << report.linesWithoutCall << ",\"clock_steps\":" << report.clockSteps
      << ",\"last_line_cut\":" << (report.lastLineCut ? "true" : "false") << ",\"encoding\":\""
      << (report.utf8 ? "UTF-8" : "cp1252") << "\"}}\n";
}

struct JsonLineWriter::Parts {
  StateJson stateJson;
  std::string text;
};

JsonLineWriter::JsonLineWriter() : parts_(std::make_unique<Parts>()) {}
JsonLineWriter::~JsonLineWriter() = default;

void JsonLineWriter::Write(std::ostream& out, const Call& call, bool utf8) {
  const InputTexts texts(utf8);
  WriteJsonCall(out, call, parts_->stateJson, parts_->text);
  out.put('\n');
}

}  // namespace ordalyn::report
