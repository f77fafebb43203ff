#include "report/callsmain.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <tuple>

#include "report/binarymode.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"
#include "widgets/versionproduct.h"

namespace ordalyn::report {

namespace {

constexpr const char* kProgram = "ordalyn-calls";

// "hh:mm", "hh:mm:ss" or "hh:mm:ss.zzz": milliseconds after midnight.
std::optional<std::int64_t> ReadTimeOfDay(const std::string& text) {
  const auto digits = [&text](std::size_t at, std::size_t count) -> int {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
      if (i >= text.size() || text[i] < '0' || text[i] > '9') {
        return -1;
      }
      value = value * 10 + (text[i] - '0');
    }
    return value;
  };
  const std::size_t size = text.size();
  if ((size != 5 && size != 8 && size != 12) || text[2] != ':' || (size >= 8 && text[5] != ':') ||
      (size == 12 && text[8] != '.')) {
    return std::nullopt;
  }
  const int hour = digits(0, 2);
  const int minute = digits(3, 2);
  const int second = size >= 8 ? digits(6, 2) : 0;
  const int milli = size == 12 ? digits(9, 3) : 0;
  if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || milli < 0) {
    return std::nullopt;
  }
  return ((hour * 60 + minute) * 60 + second) * std::int64_t{1000} + milli;
}

// A call handle in hexadecimal, "0x" allowed: "03010A44", "0x3010a44".
std::optional<DWORD> ReadHandle(std::string text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.erase(0, 2);
  }
  if (text.empty() || text.size() > 8 ||
      text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return std::nullopt;
  }
  return static_cast<DWORD>(std::stoul(text, nullptr, 16));
}

// Feeds one input to the reader; an error message when it cannot be read.
std::optional<std::string> ReadInput(const std::string& name, TraceReader& reader) {
  std::FILE* file = nullptr;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> owned(nullptr, std::fclose);
  if (name == "-") {
    SetBinaryMode(stdin);
    file = stdin;
  } else {
    owned.reset(std::fopen(name.c_str(), "rb"));
    if (!owned) {
      return "cannot read \"" + name + "\": " + std::strerror(errno);
    }
    file = owned.get();
  }
  std::vector<char> buffer(1 << 20);
  for (;;) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
    if (count > 0) {
      reader.Feed(std::string_view(buffer.data(), count));
    }
    if (count < buffer.size()) {
      if (std::ferror(file)) {
        return "cannot read \"" + (name == "-" ? std::string("standard input") : name) +
               "\": " + std::strerror(errno);
      }
      break;
    }
  }
  reader.EndInput();
  return std::nullopt;
}

}  // namespace

int CallsMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App app{
      "Reads Ordalyn traces (background files or saved logs) and reports their calls: one row per call with\n"
      "its start, duration, outcome and parties, then a summary. FILE - reads standard input.",
      kProgram};
  std::vector<std::string> files;
  bool csv = false;
  bool json = false;
  std::string html;
  std::string handleText;
  std::string fromText;
  std::string toText;
  app.add_option("FILE", files, "trace files, read one after another as one trace");
  auto* csvFlag = app.add_flag("--csv", csv, "write CSV (RFC 4180), one row per call, instead of the table");
  app.add_flag("--json", json, "write JSON: the sessions, the calls with their states, the summary")
      ->excludes(csvFlag);
  app.add_option("--html", html, "also write a self-contained web page with a timeline to FILE")
      ->type_name("FILE");
  app.add_option("--call", handleText, "only the calls with this handle (hexadecimal)")->type_name("HANDLE");
  app.add_option("--from", fromText, "only calls that begin at or after this time of day (hh:mm[:ss[.zzz]])")
      ->type_name("TIME");
  app.add_option("--to", toText, "only calls that begin at or before this time of day")->type_name("TIME");
  app.set_version_flag("--version", ToolVersionText(kProgram), "print the version and exit");
  app.footer(
      "Outcomes: answered, missed (offered, never connected), outgoing, busy, failed, still open.\n"
      "A window whose --to lies before its --from runs across midnight.\n"
      "Exit status: 0 on success, 2 for bad options or a file that cannot be read or written.");

  Filter filter;
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app.parse(reversed);
    if (!handleText.empty() || app.count("--call") > 0) {
      filter.handle = ReadHandle(handleText);
      if (!filter.handle) {
        throw CLI::ValidationError("--call",
                                   "needs a call handle in hexadecimal, not \"" + handleText + "\"");
      }
    }
    for (const auto& [name, text, target] :
         {std::tuple{"--from", &fromText, &filter.from}, std::tuple{"--to", &toText, &filter.to}}) {
      if (app.count(name) > 0) {
        *target = ReadTimeOfDay(*text);
        if (!*target) {
          throw CLI::ValidationError(name, "needs a time of day hh:mm[:ss[.zzz]], not \"" + *text + "\"");
        }
      }
    }
  } catch (const CLI::CallForHelp&) {
    out << app.help();
    return 0;
  } catch (const CLI::CallForVersion& version) {
    out << version.what();
    return 0;
  } catch (const CLI::ParseError& error) {
    std::string message = error.what();
    for (char& c : message) {
      c = c == '\n' ? ' ' : c;
    }
    err << kProgram << ": " << message << " (see " << kProgram << " --help)\n";
    return 2;
  }

  if (files.empty()) {
    err << kProgram << ": a trace file, or - for standard input, is needed (see " << kProgram << " --help)\n";
    return 2;
  }
  TraceReader reader(!html.empty());
  for (const std::string& file : files) {
    if (const auto problem = ReadInput(file, reader)) {
      err << kProgram << ": " << *problem << "\n";
      return 2;
    }
  }
  const Report report = reader.Finish();
  const Selection selection = Select(report, filter);

  if (!html.empty()) {
    std::ofstream page(html, std::ios::binary | std::ios::trunc);
    if (page) {
      WriteHtml(page, report, selection);
      page.close();
    }
    if (!page) {
      err << kProgram << ": cannot write \"" << html << "\"\n";
      return 2;
    }
  }
  if (csv) {
    WriteCsv(out, selection);
  } else if (json) {
    WriteJson(out, report, selection);
  } else {
    WriteTable(out, report, selection);
  }
  out.flush();
  return 0;
}

}  // namespace ordalyn::report
