#include "report/callsmain.h"

#include <CLI/CLI.hpp>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <ostream>
#include <tuple>

#include "report/binarymode.h"
#include "report/callfollow.h"
#include "report/followfile.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"
#include "util/utools.h"
#include "widgets/versionproduct.h"

namespace ordalyn::report {

namespace {

constexpr const char* kProgram = "ordalyn-calls";

// A call handle in hexadecimal, "0x" allowed: "03010A44", "0x3010a44".
std::optional<DWORD> ReadHandle(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    text.remove_prefix(2);
  }
  return ReadHex(text, kHexLeadingZeros | kHexAnyCase);
}

// Feeds one input to the reader; an error message when it cannot be read or
// when all inputs together grow beyond limit bytes (0: no limit).
std::optional<std::string> ReadInput(const std::string& name, TraceReader& reader, std::uint64_t limit,
                                     std::uint64_t& total, const std::ostream& out) {
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
  // Reads of 128 KiB stay in the processor's cache while they are read.
  std::vector<char> buffer(128 * 1024);
  for (;;) {
    const std::size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
    total += count;
    if (limit != 0 && total > limit) {
      return "the input is larger than --max-input " + std::to_string(limit) + " bytes";
    }
    if (count > 0) {
      reader.Feed(std::string_view(buffer.data(), count));
    }
    if (!out) {
      return std::nullopt;  // calls written as they end could not be written: no use reading on
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

// The page shows each state's whole trace line on hover while the inputs
// are small (about 30,000 lines); beyond that their lines would outweigh everything else in the
// page and in memory, and the hover text names the state's line instead.
// Standard input has no size to ask: its lines are not kept.
bool KeepTraceLines(const std::vector<std::string>& files) {
  constexpr std::uintmax_t kMaxBytes = 4u << 20;
  std::uintmax_t total = 0;
  for (const std::string& file : files) {
    std::error_code error;
    const std::uintmax_t size = file == "-" ? kMaxBytes + 1 : std::filesystem::file_size(file, error);
    total += error ? kMaxBytes + 1 : size;
    if (total > kMaxBytes) {
      return false;
    }
  }
  return true;
}

// The report of a process that ends right after it: kept here, reachable
// (so that a leak checker sees it is not lost), and never freed. Volatile,
// because nothing reads it and the compiler would drop the store.
const Report* volatile g_reportLeftToProcessEnd = nullptr;

}  // namespace

int CallsMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, bool processEnds) {
  CLI::App app{
      "Reads Ordalyn traces (background files or saved logs) and reports their calls: one row per call with\n"
      "its start, duration, outcome and parties, then a summary. FILE - reads standard input.",
      kProgram};
  std::vector<std::string> files;
  bool csv = false;
  bool json = false;
  bool jsonl = false;
  std::string html;
  std::string handleText;
  std::string fromText;
  std::string toText;
  std::string encodingText = "auto";
  std::uint64_t maxInput = 0;
  std::string follow;
  auto* filesOption = app.add_option("FILE", files, "trace files, read one after another as one trace");
  auto* csvFlag = app.add_flag("--csv", csv, "write CSV (RFC 4180), one row per call, instead of the table");
  auto* jsonFlag =
      app.add_flag("--json", json, "write JSON: the sessions, the calls with their states, the summary")
          ->excludes(csvFlag);
  auto* htmlOption =
      app.add_option("--html", html, "also write a self-contained web page of the calls to FILE")
          ->type_name("FILE");
  app.add_flag("--jsonl", jsonl,
               "write JSON Lines: each call as one line, the object --json writes into \"calls\", as it\n"
               "ends (the calls still open at the end of the input last); no summary")
      ->excludes(csvFlag, jsonFlag, htmlOption);
  app.add_option("--call", handleText, "only the calls with this handle (hexadecimal)")->type_name("HANDLE");
  app.add_option("--from", fromText, "only calls that begin at or after this time of day (hh:mm[:ss[.zzz]])")
      ->type_name("TIME");
  app.add_option("--to", toText, "only calls that begin at or before this time of day")->type_name("TIME");
  app.add_option("--encoding", encodingText,
                 "how the trace's texts are read: auto (UTF-8 when the input is valid UTF-8 with\n"
                 "multi-byte characters, else code page 1252), cp1252 or utf-8")
      ->type_name("NAME")
      ->check(CLI::IsMember({"auto", "cp1252", "utf-8"}));
  auto* maxInputOption = app.add_option("--max-input", maxInput,
                                        "stop with an error after this many bytes of input (0: no limit)")
                             ->type_name("BYTES");
  app.add_option("--follow", follow,
                 "read FILE while Ordalyn still writes it and write each call as it ends (table rows\n"
                 "of fixed widths, --csv or --jsonl) until interrupted; a new trace in FILE is followed too")
      ->type_name("FILE")
      ->excludes(filesOption, jsonFlag, htmlOption, maxInputOption);
  app.set_version_flag("--version", ToolVersionText(kProgram), "print the version and exit");
  app.footer(
      "Outcomes: answered, missed (offered, never connected), outgoing, busy, failed, unknown (its "
      "beginning\n"
      "was not in the trace), still open.\n"
      "A window whose --to lies before its --from runs across midnight.\n"
      "Exit status: 0 on success, 1 when the input holds no trace line at all, 2 for bad options, a file\n"
      "that cannot be read or written, or a report that cannot be written.");

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
        *target = ReadTimeOfDay(*text, TimeOfDayForm::kClock);
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

  const InputEncoding encoding = encodingText == "cp1252"  ? InputEncoding::kCp1252
                                 : encodingText == "utf-8" ? InputEncoding::kUtf8
                                                           : InputEncoding::kAuto;
  if (app.count("--follow") > 0) {
    FollowSettings settings;
    settings.file = follow;
    settings.form = csv ? CallForm::kCsv : jsonl ? CallForm::kJsonLines : CallForm::kTable;
    settings.filter = filter;
    settings.encoding = encoding;
    StopOnInterrupt();
    return FollowCalls(settings, out, err);
  }
  if (files.empty()) {
    err << kProgram << ": a trace file, or - for standard input, is needed (see " << kProgram << " --help)\n";
    return 2;
  }
  TraceReader reader(!html.empty() && KeepTraceLines(files), encoding);
  JsonLineWriter lineWriter;
  int streamError = 0;  // the cause of the first failed write of a call
  if (jsonl) {
    reader.StreamCalls([&](const Call& call, bool utf8) {
      if (out && Admits(filter, call)) {
        errno = 0;
        lineWriter.Write(out, call, utf8);
        streamError = out ? 0 : errno;
      }
    });
  }
  std::uint64_t total = 0;
  for (const std::string& file : files) {
    if (const auto problem = ReadInput(file, reader, maxInput, total, out)) {
      err << kProgram << ": " << *problem << "\n";
      return 2;
    }
  }
  auto owned = std::make_unique<const Report>(reader.Finish());
  const Report& report = *owned;
  if (processEnds) {
    g_reportLeftToProcessEnd = owned.release();
  }
  const Selection selection = jsonl ? Selection() : Select(report, filter);

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
  errno = jsonl ? streamError : 0;  // what a failed write leaves here names its cause
  if (jsonl) {
    // Written already, call by call.
  } else if (csv) {
    WriteCsv(out, selection);
  } else if (json) {
    WriteJson(out, report, selection);
  } else {
    WriteTable(out, report, selection);
  }
  out.flush();
  if (!out) {
    const int error = errno;
    err << kProgram << ": cannot write the report" << (error != 0 ? ": " : "")
        << (error != 0 ? std::strerror(error) : "") << "\n";
    return 2;
  }
  if (report.traceLines == 0) {
    err << kProgram << ": no trace line in the input\n";
    return 1;
  }
  return 0;
}

}  // namespace ordalyn::report
