#include "report/reportwriters.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <ostream>
#include <string>
#include <string_view>

#include "tapi/tapiutil.h"
#include "util/cp1252map.h"
#include "util/utools.h"

namespace ordalyn::report {

namespace {

constexpr Outcome kOutcomes[] = {Outcome::kAnswered, Outcome::kMissed, Outcome::kOutgoing,
                                 Outcome::kBusy,     Outcome::kFailed, Outcome::kStillOpen};

// "%.8X", as the trace prints a call handle.
std::string HandleText(DWORD handle) {
  std::string text;
  AppendHexUpper(text, handle, 8);
  return text;
}

// "CONNECTED" for LINECALLSTATE_CONNECTED; the table and the page are narrow.
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

// The earlier values of an identifier, oldest first, joined by " | ".
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

// A JSON string of UTF-8 text; "<" is escaped too, so that the text may
// stand inside a script element.
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

namespace {

// The page's timeline draws itself from the calls embedded as data: only the
// rows of the calls inside the chosen window exist in the page at a time, so
// a day of thousands of calls stays quick. Each state is a coloured segment
// whose title is its trace line.
constexpr const char* kPageStyle = R"(
body{font:13px/1.4 system-ui,sans-serif;margin:16px;color:#222}
h1{font-size:20px;margin:0 0 8px}h2{font-size:16px;margin:18px 0 6px}
table{border-collapse:collapse}td,th{padding:2px 8px;text-align:left;white-space:nowrap}
th{background:#eee;position:sticky;top:0}tr:nth-child(even) td{background:#f7f7f7}
.summary span{display:inline-block;margin-right:14px}
.o-answered{color:#1a7f37}.o-missed{color:#b35900}.o-busy{color:#8250df}.o-failed{color:#cf222e}.o-still{color:#0969da}
#controls{margin:6px 0}#axis,#rows{position:relative;margin-left:230px}
#axis{height:18px;border-bottom:1px solid #999;font-size:11px}
#axis span{position:absolute;transform:translateX(-50%);white-space:nowrap}
.row{position:relative;height:16px;border-bottom:1px solid #f0f0f0}
.row .label{position:absolute;left:-230px;width:225px;overflow:hidden;white-space:nowrap;font-size:11px}
.seg{position:absolute;top:2px;height:12px;min-width:2px}
.legend span{display:inline-block;margin-right:10px}.legend i{display:inline-block;width:12px;height:10px;margin-right:3px}
)";

constexpr const char* kPageScript = R"(
const colours={OFFERING:'#f0a030',ACCEPTED:'#e8d040',DIALTONE:'#9ec5fe',DIALING:'#6ea8fe',RINGBACK:'#3d8bfd',
PROCEEDING:'#5c9ded',CONNECTED:'#2da44e',ONHOLD:'#a371f7',CONFERENCED:'#8250df',ONHOLDPENDCONF:'#c297ff',
ONHOLDPENDTRANSFER:'#c297ff',BUSY:'#bf3989',SPECIALINFO:'#cf222e',DISCONNECTED:'#8c959f'};
const colour=s=>colours[s]||'#57606a';
const t0=data.start,t1=Math.max(data.end,data.start+1000);
const width=document.getElementById('width'),pos=document.getElementById('pos');
const axis=document.getElementById('axis'),rows=document.getElementById('rows');
const fmt=ms=>{const d=Math.floor(ms/86400000),r=ms%86400000,p=n=>String(n).padStart(2,'0');
return (d?'+'+d+'d ':'')+p(Math.floor(r/3600000))+':'+p(Math.floor(r/60000)%60)+':'+p(Math.floor(r/1000)%60);};
function draw(){
 const span=width.value==='0'?t1-t0:Math.min(+width.value,t1-t0);
 const from=t0+(t1-t0-span)*pos.value/1000,to=from+span;
 pos.disabled=span>=t1-t0;
 axis.textContent='';
 for(let i=0;i<=8;i++){const s=document.createElement('span');s.style.left=(i*12.5)+'%';s.textContent=fmt(Math.round(from+span*i/8));axis.appendChild(s);}
 const frag=document.createDocumentFragment();let shown=0;
 for(const c of data.calls){
  if(c.end<from||c.start>to)continue;shown++;
  const row=document.createElement('div');row.className='row';
  const label=document.createElement('div');label.className='label';
  label.textContent=fmt(c.start)+' '+c.handle+' '+c.outcome+' '+c.caller;row.appendChild(label);
  c.segs.forEach((g,i)=>{if(g[1]==='IDLE')return;const a=Math.max(g[0],from),b=Math.min(i+1<c.segs.length?c.segs[i+1][0]:c.end,to);
   if(b<a)return;const e=document.createElement('div');e.className='seg';
   e.style.left=((a-from)/span*100)+'%';e.style.width=((b-a)/span*100)+'%';e.style.background=colour(g[1]);
   e.title=g[2];row.appendChild(e);});
  frag.appendChild(row);
 }
 rows.textContent='';rows.appendChild(frag);
 document.getElementById('shown').textContent=shown+' of '+data.calls.length+' calls in '+fmt(from)+' - '+fmt(to);
}
const wanted=new URLSearchParams(location.hash.slice(1));
if(wanted.has('w'))width.value=wanted.get('w');if(wanted.has('p'))pos.value=wanted.get('p');
width.onchange=draw;pos.oninput=draw;
document.querySelectorAll('a.call').forEach(a=>a.onclick=e=>{e.preventDefault();
 const c=data.calls[+a.dataset.i];const span=Math.max((c.end-c.start)*3,60000);
 const w=[...width.options].map(o=>+o.value).filter(v=>v>=span).sort((x,y)=>x-y)[0]||0;width.value=String(w);
 const s=w?Math.min(w,t1-t0):t1-t0;pos.value=t1-t0>s?Math.round(Math.max(0,c.start-t0-s/3)/(t1-t0-s)*1000):0;
 draw();document.getElementById('timeline').scrollIntoView();});
const legend=document.getElementById('legend');
Object.keys(colours).forEach(k=>{const s=document.createElement('span');s.innerHTML='<i style="background:'+colours[k]+'"></i>'+k;legend.appendChild(s);});
draw();
)";

const char* OutcomeClass(Outcome outcome) {
  switch (outcome) {
    case Outcome::kAnswered:
      return "o-answered";
    case Outcome::kMissed:
      return "o-missed";
    case Outcome::kBusy:
      return "o-busy";
    case Outcome::kFailed:
      return "o-failed";
    case Outcome::kStillOpen:
      return "o-still";
    case Outcome::kOutgoing:
      break;
  }
  return "o-outgoing";
}

}  // namespace

void WriteHtml(std::ostream& out, const Report& report, const Selection& selection) {
  const Summary summary = Summarise(selection);
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width\"><title>Ordalyn calls</title><style>"
      << kPageStyle << "</style></head><body>\n<h1>Calls at a glance</h1>\n<div class=\"summary\">";
  out << "<span><b>" << summary.calls << "</b> calls</span>";
  for (const Outcome outcome : kOutcomes) {
    out << "<span class=\"" << OutcomeClass(outcome) << "\">" << OutcomeText(outcome) << " <b>"
        << summary.byOutcome[static_cast<int>(outcome)] << "</b></span>";
  }
  if (summary.longest != nullptr) {
    out << "<span>longest " << HandleText(summary.longest->handle) << " at "
        << TimeText(summary.longest->start) << ", " << DurationText(*Duration(*summary.longest)) << "</span>";
  }
  out << "<span>" << report.lines << " lines, " << report.skipped << " skipped"
      << (report.lastLineCut ? ", the last cut short" : "") << "</span></div>\n";

  out << "<h2>Sessions</h2><ol>";
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << "<li value=\"" << (index + 1) << "\">" << HtmlText(SessionText(session));
    for (const ResultLine& result : session.results) {
      if (result.error) {
        out << "<br><span class=\"o-failed\">" << TimeText(result.time) << ' ' << result.step
            << ": Error: " << HtmlText(Utf8(result.result)) << "</span>";
      }
    }
    out << "</li>";
  }
  out << "</ol>\n";

  out << "<h2 id=\"timeline\">Timeline</h2><div id=\"controls\">Window <select id=\"width\">"
         "<option value=\"0\">whole trace</option><option value=\"86400000\">1 day</option>"
         "<option value=\"3600000\">1 hour</option><option value=\"600000\">10 minutes</option>"
         "<option value=\"60000\">1 minute</option></select> "
         "<input id=\"pos\" type=\"range\" min=\"0\" max=\"1000\" value=\"0\" style=\"width:40%\"> "
         "<span id=\"shown\"></span><div class=\"legend\" id=\"legend\"></div></div>"
         "<div id=\"axis\"></div><div id=\"rows\"></div>\n";

  out << "<h2>Calls</h2><table><thead><tr>";
  for (const Column& column : kColumns) {
    out << "<th>" << column.title << "</th>";
  }
  out << "<th>Origin</th><th>Reason</th><th>Earlier identifiers</th></tr></thead><tbody>\n";
  for (std::size_t i = 0; i < selection.calls.size(); ++i) {
    const Call& call = *selection.calls[i];
    out << "<tr>";
    for (std::size_t c = 0; c < std::size(kColumns); ++c) {
      const std::string value = HtmlText(kColumns[c].value(call));
      if (c == 0) {
        out << "<td><a class=\"call\" href=\"#timeline\" data-i=\"" << i << "\">" << value << "</a></td>";
      } else if (c == 3) {
        out << "<td class=\"" << OutcomeClass(CallOutcome(call)) << "\">" << value << "</td>";
      } else {
        out << "<td>" << value << "</td>";
      }
    }
    std::string earlier;
    const std::pair<const char*, const IdentifierHistory*> histories[] = {
        {"caller", &call.caller}, {"called", &call.called}, {"connected", &call.connected}};
    for (const auto& [name, history] : histories) {
      if (!history->Earlier().empty()) {
        earlier += std::string(earlier.empty() ? "" : "; ") + name + " was " + Earlier(*history);
      }
    }
    out << "<td>" << HtmlText(OriginText(call)) << "</td><td>" << HtmlText(ReasonText(call)) << "</td><td>"
        << HtmlText(Utf8(earlier)) << "</td></tr>\n";
  }
  out << "</tbody></table>\n";

  // The timeline's data: per call its start, its end (or last line), the
  // label texts and one [time, state, hover text] per state.
  TraceTime first = 0;
  TraceTime last = 0;
  for (std::size_t i = 0; i < selection.calls.size(); ++i) {
    first = i == 0 ? selection.calls[i]->start : std::min(first, selection.calls[i]->start);
    last = std::max(last, selection.calls[i]->lastSeen);
  }
  out << "<script>\nconst data={\"start\":" << first << ",\"end\":" << last << ",\"calls\":[";
  for (std::size_t i = 0; i < selection.calls.size(); ++i) {
    const Call& call = *selection.calls[i];
    out << (i > 0 ? ",\n" : "\n") << "{\"start\":" << call.start << ",\"end\":" << call.lastSeen
        << ",\"handle\":\"" << HandleText(call.handle) << "\",\"outcome\":\""
        << OutcomeText(CallOutcome(call)) << "\",\"caller\":" << JsonString(Utf8(call.caller.Last()))
        << ",\"segs\":[";
    for (std::size_t s = 0; s < call.states.size(); ++s) {
      const StateChange& change = call.states[s];
      const std::string_view line = report.StateLine(change);
      const std::string hover =
          line.empty() ? TimeText(change.time) + " " + CallStateName(change.state) : Utf8(line);
      out << (s > 0 ? "," : "") << "[" << change.time << ",\"" << ShortStateName(change.state) << "\","
          << JsonString(hover) << "]";
    }
    out << "]}";
  }
  out << "]};\n" << kPageScript << "</script>\n</body></html>\n";
}

}  // namespace ordalyn::report
