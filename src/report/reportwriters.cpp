#include "report/reportwriters.h"

#include "report/reporttext.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "tapi/tapiutil.h"
#include "util/utools.h"
#include "widgets/cp1252map.h"

namespace ordalyn::report {

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

std::string Utf8(std::string_view text) { return Cp1252ToUtf8(text); }

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

// Blanks from a text's width up to the column's.
void Pad(std::ostream& out, std::size_t width, std::size_t column) {
  static const std::string kBlanks(256, ' ');
  while (width < column) {
    const std::size_t count = std::min(column - width, kBlanks.size());
    out.write(kBlanks.data(), static_cast<std::streamsize>(count));
    width += count;
  }
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    return text;
  }
  std::string quoted = "\"";
  for (const char c : text) {
    quoted += c;
    if (c == '"') {
      quoted += '"';
    }
  }
  quoted += '"';
  return quoted;
}

}  // namespace

std::string JsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || c == '<') {
      char buffer[8];
      std::snprintf(buffer, sizeof buffer, "\\u%04x", byte);
      out += buffer;
    } else {
      out += c;
    }
  }
  out += '"';
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
  return text;
}

namespace {

struct Column {
  const char* title;
  std::string (*value)(const Call&);
  // The identifier a column shows, if any: its width is its length in code
  // page 1252, one character a byte, with no need to convert it.
  const IdentifierHistory Call::*identifier = nullptr;
};

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

Selection Select(const Report& report, const Filter& filter) {
  Selection selection;
  std::vector<bool> sessionUsed(report.sessions.size(), false);
  for (const Call& call : report.calls) {
    if (filter.handle && call.handle != *filter.handle) {
      continue;
    }
    const std::int64_t timeOfDay = call.start % kMsPerDay;
    if (filter.from && filter.to && *filter.to < *filter.from) {
      if (timeOfDay < *filter.from && timeOfDay > *filter.to) {
        continue;
      }
    } else if ((filter.from && timeOfDay < *filter.from) || (filter.to && timeOfDay > *filter.to)) {
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

void WriteTable(std::ostream& out, const Report& report, const Selection& selection) {
  // Two passes: the widths first, then the rows, so that no row is kept.
  constexpr std::size_t kColumnCount = std::size(kColumns);
  std::size_t widths[kColumnCount];
  for (std::size_t i = 0; i < kColumnCount; ++i) {
    widths[i] = Width(kColumns[i].title);
  }
  for (const Call* call : selection.calls) {
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      const std::size_t width = kColumns[i].identifier != nullptr
                                    ? ((*call).*(kColumns[i].identifier)).Last().size()
                                    : Width(kColumns[i].value(*call));
      widths[i] = std::max(widths[i], width);
    }
  }
  const auto writeRow = [&](const auto& cell) {
    for (std::size_t i = 0; i < kColumnCount; ++i) {
      const std::string text = cell(i);
      out << text;
      if (i + 1 < kColumnCount) {
        Pad(out, Width(text), widths[i] + 2);
      }
    }
    out << '\n';
  };
  writeRow([](std::size_t i) { return std::string(kColumns[i].title); });
  for (const Call* call : selection.calls) {
    writeRow([call](std::size_t i) { return kColumns[i].value(*call); });
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
    out << "  " << (index + 1) << ". " << SessionText(session) << '\n';
    for (const ResultLine& result : session.results) {
      if (result.error) {
        out << "     " << TimeText(result.time) << ' ' << result.step << ": Error: " << Utf8(result.result)
            << '\n';
      }
    }
  }
  out << "Lines: " << report.lines << " read, " << report.skipped << " skipped (not trace lines)";
  if (report.lastLineCut) {
    out << ", the last line cut short";
  }
  out << '\n';
}

void WriteCsv(std::ostream& out, const Selection& selection) {
  out << "handle,session,start,end,duration_ms,outcome,caller,caller_earlier,called,called_earlier,connected,"
         "connected_earlier,origin,reason,offering_to_connected_ms,connected_ms,final_state,states\r\n";
  for (const Call* call : selection.calls) {
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
}

namespace {

void WriteJsonHistory(std::ostream& out, const char* name, const IdentifierHistory& history) {
  out << "\"" << name << "\":" << JsonString(Utf8(history.Last())) << ",\"" << name << "_earlier\":[";
  bool first = true;
  for (const std::string_view value : history.Earlier()) {
    out << (first ? "" : ",") << JsonString(Utf8(value));
    first = false;
  }
  out << "]";
}

void WriteJsonCall(std::ostream& out, const Call& call) {
  const auto duration = Duration(call);
  const auto offering = OfferingToConnected(call);
  out << "{\"handle\":\"" << HandleText(call.handle) << "\",\"session\":" << (call.session + 1)
      << ",\"start\":\"" << TimeText(call.start) << "\",\"start_ms\":" << call.start << ",\"end\":";
  if (call.ended) {
    out << "\"" << TimeText(call.lastSeen) << "\"";
  } else {
    out << "null";
  }
  out << ",\"duration_ms\":" << (duration ? std::to_string(*duration) : "null") << ",\"outcome\":\""
      << OutcomeText(CallOutcome(call)) << "\",";
  WriteJsonHistory(out, "caller", call.caller);
  out << ",";
  WriteJsonHistory(out, "called", call.called);
  out << ",";
  WriteJsonHistory(out, "connected", call.connected);
  out << ",\"origin\":" << JsonString(OriginText(call)) << ",\"reason\":" << JsonString(ReasonText(call))
      << ",\"offering_to_connected_ms\":" << (offering ? std::to_string(*offering) : "null")
      << ",\"connected_ms\":" << TimeConnected(call)
      << ",\"final_state\":" << JsonString(FinalStateText(call, true)) << ",\"states\":[";
  for (std::size_t i = 0; i < call.states.size(); ++i) {
    const StateChange& change = call.states[i];
    const std::string mode = CallStateModeText(change.state, change.mode);
    out << (i > 0 ? "," : "") << "{\"time\":\"" << TimeText(change.time) << "\",\"time_ms\":" << change.time
        << ",\"state\":" << JsonString(CallStateName(change.state))
        << ",\"mode\":" << JsonString(mode.empty() ? mode : mode.substr(2))
        << ",\"line\":" << change.lineNumber;
    out << "}";
  }
  out << "]}";
}

}  // namespace

void WriteJson(std::ostream& out, const Report& report, const Selection& selection) {
  const Summary summary = Summarise(selection);
  out << "{\"sessions\":[";
  bool first = true;
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << (first ? "" : ",") << "\n{\"session\":" << (index + 1) << ",\"start\":\""
        << TimeText(session.start) << "\",\"end\":\"" << TimeText(session.end)
        << "\",\"logged_on\":" << (session.loggedOn ? "true" : "false")
        << ",\"logged_off\":" << (session.loggedOff ? "true" : "false");
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
  for (const Call* call : selection.calls) {
    out << (first ? "\n" : ",\n");
    WriteJsonCall(out, *call);
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
      << ",\"last_line_cut\":" << (report.lastLineCut ? "true" : "false") << "}}\n";
}

}  // namespace ordalyn::report
