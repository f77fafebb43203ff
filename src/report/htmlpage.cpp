// The call report's web page: the summary and the sessions as HTML, the
// calls as data for the page's script (page/page.js), which draws the
// overview, the window's timeline and the table from it.
#include <ostream>

#include "report/pagedata.h"
#include "report/reporttext.h"
#include "report/reportwriters.h"

namespace ordalyn::report {

// page/page.css and page/page.js, embedded at build time.
extern const char kPageStyle[];
extern const char kPageScript[];

void WriteHtml(std::ostream& out, const Report& report, const Selection& selection) {
  const InputTexts texts(selection.utf8);
  const Summary summary = Summarise(selection);
  out << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width\"><title>Ordalyn calls</title><style>\n"
      << kPageStyle << "</style></head><body>\n<h1>Calls at a glance</h1>\n<div class=\"summary\">";
  out << "<span><b data-count=\"calls\">" << summary.calls << "</b> calls</span>";
  for (std::size_t i = 0; i < std::size(kOutcomes); ++i) {
    const char* name = OutcomeText(kOutcomes[i]);
    out << "<span class=\"o" << i << "\"><i></i>" << name << " <b data-count=\"" << name << "\">"
        << summary.byOutcome[static_cast<int>(kOutcomes[i])] << "</b></span>";
  }
  if (summary.longest != nullptr) {
    out << "<span>longest <a class=\"call-link\" href=\"#call=" << HandleText(summary.longest->handle)
        << "&amp;at=" << summary.longest->start << "\">" << HandleText(summary.longest->handle) << "</a> at "
        << TimeText(summary.longest->start) << ", " << DurationText(*Duration(*summary.longest)) << "</span>";
  }
  out << "<span><b data-count=\"lines\">" << report.lines << "</b> lines, <b data-count=\"skipped\">"
      << report.skipped << "</b> skipped" << (report.lastLineCut ? ", the last cut short" : "")
      << "</span></div>\n";

  // A week of daily traces has many sessions: beyond a few they fold away.
  constexpr std::size_t kOpenSessions = 5;
  const bool fold = selection.sessions.size() > kOpenSessions;
  out << "<h2>Sessions</h2>";
  if (fold) {
    out << "<details><summary>" << selection.sessions.size() << " sessions, from "
        << TimeText(report.sessions[selection.sessions.front()].start) << " to "
        << TimeText(report.sessions[selection.sessions.back()].end) << "</summary>";
  }
  out << "<ol class=\"sessions\">";
  for (const std::size_t index : selection.sessions) {
    const Session& session = report.sessions[index];
    out << "<li value=\"" << (index + 1) << "\">" << HtmlText(SessionText(session));
    for (const ResultLine& result : session.results) {
      if (result.error) {
        out << "<br><span class=\"error\">" << TimeText(result.time) << ' ' << result.step
            << ": Error: " << HtmlText(Utf8(result.result)) << "</span>";
      }
    }
    out << "</li>";
  }
  out << (fold ? "</ol></details>\n" : "</ol>\n");

  out << "<noscript><p>The overview, the timeline and the table of calls need JavaScript.</p></noscript>\n"
         "<h2 id=\"overview-title\">Overview <small>calls per <span id=\"bucket\"></span> by outcome: "
         "drag or click to choose the window</small></h2>\n"
         "<div class=\"plot\"><canvas id=\"overview\" tabindex=\"0\" role=\"img\" "
         "aria-label=\"Calls over the whole trace; arrows move the window, + and - zoom, 0 shows all\">"
         "</canvas></div>\n"
         "<h2>Window <small id=\"window-text\"></small></h2>\n"
         "<div class=\"bar\"><button id=\"earlier\" title=\"Earlier (Left arrow)\">&#9664;</button>"
         "<button id=\"later\" title=\"Later (Right arrow)\">&#9654;</button>"
         "<button id=\"zoom-in\" title=\"Zoom in (+)\">+</button><button id=\"zoom-out\" "
         "title=\"Zoom out (-)\">&minus;</button><button id=\"whole\" title=\"The whole trace (0)\">whole "
         "trace</button> <span id=\"legend\" class=\"legend\"></span></div>\n"
         "<div id=\"timeline\" tabindex=\"0\" aria-label=\"Calls in the window; Up and Down choose a call, "
         "Enter zooms to it\"><canvas id=\"timeline-canvas\"></canvas><div "
         "id=\"timeline-space\"></div></div>\n"
         "<h2>Calls <small id=\"table-text\"></small></h2>\n"
         "<div class=\"bar\"><input id=\"search\" type=\"search\" placeholder=\"Number, name or handle\" "
         "aria-label=\"Search for a number, name or handle\"> <select id=\"outcome\" aria-label=\"Outcome\">"
         "<option value=\"\">every outcome</option></select> <label><input id=\"in-window\" "
         "type=\"checkbox\"> only in the window</label></div>\n"
         "<div id=\"table-wrap\" tabindex=\"0\" aria-label=\"Calls; Up and Down choose a call, Enter zooms "
         "to it\"><table id=\"calls\"><thead><tr></tr></thead><tbody></tbody></table></div>\n"
         "<div id=\"tip\" role=\"tooltip\" hidden></div>\n";

  out << "<script type=\"application/json\" id=\"data\">";
  WritePageData(out, report, selection);
  out << "</script>\n<script>\n" << kPageScript << "</script>\n</body></html>\n";
}

}  // namespace ordalyn::report
