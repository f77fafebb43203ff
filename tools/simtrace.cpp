#include "simtrace.h"

#include <CLI/CLI.hpp>
#include <array>
#include <chrono>
#include <limits>
#include <memory>
#include <ostream>

#include "log/tracelog.h"
#include "tapi/lineinventory.h"
#include "tapi/linetrace.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/cp1252map.h"
#include "widgets/versionlabeltext.h"
#include "widgets/versionproduct.h"

namespace ordalyn {

namespace {

constexpr std::uint64_t kMsPerDay = 24ull * 60 * 60 * 1000;

// Every trace line becomes one entry, as on the main window's on-screen log.
class LineCollector : public ScreenLog {
 public:
  explicit LineCollector(std::vector<std::string>& lines) : lines_(lines) {}
  void AppendLine(const std::string& line) override { lines_.push_back(line); }

 private:
  std::vector<std::string>& lines_;
};

// The line callback reaches this trace while the scope lives; the one before
// it is back afterwards, also when an exception passes.
class CallbackTargetScope {
 public:
  explicit CallbackTargetScope(LineEventTrace& trace) : previous_(LineCallbackTarget()) {
    SetLineCallbackTarget(&trace);
  }
  ~CallbackTargetScope() { SetLineCallbackTarget(previous_); }
  CallbackTargetScope(const CallbackTargetScope&) = delete;
  CallbackTargetScope& operator=(const CallbackTargetScope&) = delete;

 private:
  LineEventTrace* previous_;
};

// Decimal digits with an optional leading "-" when negative is allowed; the
// value must lie within [low, high].
std::optional<std::int64_t> ReadDecimal(std::string_view text, std::int64_t low, std::int64_t high) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 12) {
    return std::nullopt;
  }
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') {
      return std::nullopt;
    }
    value = value * 10 + (c - '0');
  }
  if (negative) {
    value = -value;
  }
  if (value < low || value > high) {
    return std::nullopt;
  }
  return value;
}

// The texts of the main window's footer labels: the file version behind
// "Build:" and the copyright without its prefix.
std::string BuildLabelText() {
  VersionLabelText label(ProgramVersionStore());
  label.SetFileVersionPart(fvAll);
  label.SetVersionResource(vrFileVersion);
  label.SetInfoPrefix("Build:");
  label.SetShowInfoPrefix(true);
  label.SetLangCharset("-1");
  return label.Caption();
}

std::string CopyrightLabelText() {
  VersionLabelText label(ProgramVersionStore());
  label.SetFileVersionPart(fvAll);
  label.SetVersionResource(vrLegalCopyright);
  label.SetInfoPrefix("Legal Copyright:");
  label.SetShowInfoPrefix(false);
  label.SetLangCharset("-1");
  return label.Caption();
}

}  // namespace

LocalDateTime AddMilliseconds(const LocalDateTime& start, std::uint64_t elapsedMs) {
  using namespace std::chrono;
  const std::uint64_t startOfDayMs =
      ((static_cast<std::uint64_t>(start.hour) * 60 + static_cast<std::uint64_t>(start.minute)) * 60 +
       static_cast<std::uint64_t>(start.second)) *
          1000 +
      static_cast<std::uint64_t>(start.millisecond);
  const std::uint64_t total = startOfDayMs + elapsedMs;
  const std::uint64_t dayMs = total % kMsPerDay;
  const auto days = static_cast<int>(total / kMsPerDay);

  LocalDateTime result;
  const year_month_day date{sys_days{year{start.year} / month{static_cast<unsigned>(start.month)} /
                                     day{static_cast<unsigned>(start.day)}} +
                            std::chrono::days{days}};
  result.year = static_cast<int>(date.year());
  result.month = static_cast<int>(static_cast<unsigned>(date.month()));
  result.day = static_cast<int>(static_cast<unsigned>(date.day()));
  result.hour = static_cast<int>(dayMs / 3600000);
  result.minute = static_cast<int>(dayMs / 60000 % 60);
  result.second = static_cast<int>(dayMs / 1000 % 60);
  result.millisecond = static_cast<int>(dayMs % 1000);
  return result;
}

SimTraceCommand ParseSimTraceArguments(const std::vector<std::string>& args) {
  SimTraceCommand command;
  const auto fail = [&command](std::string error) {
    command.kind = SimTraceCommand::Kind::kError;
    command.error = std::move(error);
    return command;
  };
  // The usage text is the tool's own (SimTraceUsage); CLI11 only reads.
  CLI::App app{"", "ordalyn-simtrace"};
  app.allow_extras();
  std::string lineText;
  std::string secondsText;
  std::string scenarioText;
  const std::array<CLI::Option*, 3> valued = {app.add_option("--line", lineText),
                                              app.add_option("--seconds", secondsText),
                                              app.add_option("--scenario", scenarioText)};
  for (CLI::Option* option : valued) {
    // A repeated option is counted here and refused below.
    option->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
  }
  app.add_flag("--cp1252", command.options.fileFormat);
  app.set_version_flag("--version", "");
  try {
    app.parse(std::vector<std::string>(args.rbegin(), args.rend()));
  } catch (const CLI::CallForHelp&) {
    command.kind = SimTraceCommand::Kind::kHelp;
    return command;
  } catch (const CLI::CallForVersion&) {
    command.kind = SimTraceCommand::Kind::kVersion;
    return command;
  } catch (const CLI::ArgumentMismatch& error) {
    // The only mismatch: an option at the end without its value. CLI11's
    // message begins with the option's name.
    const std::string message = error.what();
    for (const CLI::Option* option : valued) {
      const std::string name = option->get_name();
      if (message.rfind(name + ":", 0) == 0) {
        return fail(name + " needs a value");
      }
    }
    return fail(message);
  } catch (const CLI::ParseError& error) {
    return fail(error.what());
  }

  if (const auto extra = app.remaining(); !extra.empty()) {
    const std::string& arg = extra.front();
    if (arg.rfind("-", 0) == 0 && arg.size() > 1) {
      return fail("unknown option \"" + arg + "\"");
    }
    return fail("unexpected argument \"" + arg + "\"");
  }
  for (const CLI::Option* option : valued) {
    if (option->count() > 1) {
      return fail(option->get_name() + " is given more than once");
    }
  }
  if (valued[0]->count() > 0) {
    const auto number = ReadDecimal(lineText, std::numeric_limits<std::int32_t>::min(),
                                    std::numeric_limits<std::int32_t>::max());
    if (!number) {
      return fail("--line needs a whole number, not \"" + lineText + "\"");
    }
    command.options.line = static_cast<std::int32_t>(*number);
  }
  if (valued[1]->count() > 0) {
    const auto number = ReadDecimal(secondsText, 0, kSimTraceMaxSeconds);
    if (!number) {
      return fail("--seconds needs a whole number from 0 to " + std::to_string(kSimTraceMaxSeconds) +
                  ", not \"" + secondsText + "\"");
    }
    command.options.seconds = static_cast<std::uint32_t>(*number);
  }
  if (valued[2]->count() > 0) {
    if (scenarioText.empty()) {
      return fail("--scenario needs a file name");
    }
    command.options.scenarioFile = scenarioText;
  }
  return command;
}

std::string SimTraceUsage() {
  return "Usage: ordalyn-simtrace [--line N] [--seconds S] [--scenario FILE] [--cp1252]\n"
         "\n"
         "Traces one line of the simulated telephony platform on virtual time: logon,\n"
         "S seconds of line and call messages, logoff. The trace goes to standard\n"
         "output in UTF-8, one line per LF; its stamps start at 10:15:02:117.\n"
         "\n"
         "  --line N         the line device to trace\n"
         "                   (default: the suggested voice line, else line 0)\n"
         "  --seconds S      virtual seconds between logon and logoff, 0 to 86400\n"
         "                   (default: 60)\n"
         "  --scenario FILE  a scenario file, as described in\n"
         "                   " ORDALYN_SCENARIO_DOC
         "\n"
         "                   (default: the built-in default environment)\n"
         "  --cp1252         write code page 1252 with CR LF, as the program's\n"
         "                   background file holds the trace\n"
         "  --help, -h       show this text\n"
         "  --version        show the version\n";
}

std::optional<std::int32_t> SuggestedLine(const std::vector<std::string>& longList) {
  for (std::size_t i = 0; i < longList.size(); ++i) {
    const std::string& entry = longList[i];
    if (entry.size() >= 2 && entry.compare(entry.size() - 2, 2, " *") == 0) {
      return static_cast<std::int32_t>(i);
    }
  }
  return std::nullopt;
}

std::vector<std::string> RunSimTrace(TapiPlatform& platform, ManualMessagePump& pump,
                                     std::optional<std::int32_t> line, std::uint32_t seconds,
                                     const LocalDateTime& start) {
  std::vector<std::string> lines;
  LineCollector screen(lines);
  const VirtualClock clock(pump, start);
  TraceLog log(screen, clock, ":", BuildLabelText, CopyrightLabelText);

  TapiState state;
  state.tapiVersion = kTapiHighVersion;
  TapiSession session(platform, state, log);
  LineEventTrace trace(platform, state, log);
  const CallbackTargetScope target(trace);

  // At start-up: the TAPI lines dialog lists the lines in long form, the
  // first activation fills the drop-down list in short form.
  std::vector<std::string> longList;
  std::vector<std::string> shortList;
  EnumerateLines(platform, state, longList, true);
  EnumerateLines(platform, state, shortList, false);
  state.selectedDevice = -1;
  state.loggedOn = false;

  state.selectedDevice = line ? *line : SuggestedLine(longList).value_or(0);
  session.Logon();
  pump.RunFor(static_cast<std::uint64_t>(seconds) * 1000);
  session.Logoff();
  return lines;
}

int SimTraceMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const SimTraceCommand command = ParseSimTraceArguments(args);
  if (command.kind == SimTraceCommand::Kind::kHelp) {
    out << SimTraceUsage();
    return 0;
  }
  if (command.kind == SimTraceCommand::Kind::kVersion) {
    out << ToolVersionText("ordalyn-simtrace");
    return 0;
  }
  if (command.kind == SimTraceCommand::Kind::kError) {
    err << "ordalyn-simtrace: " << command.error << "\n\n" << SimTraceUsage();
    return 2;
  }

  ManualMessagePump pump;
  std::unique_ptr<SimTapiPlatform> platform;
  if (command.options.scenarioFile.empty()) {
    platform = std::make_unique<SimTapiPlatform>(pump, DefaultSimScenario());
  } else {
    SimScenarioResult loaded = LoadSimScenarioFile(command.options.scenarioFile);
    if (!loaded.Ok()) {
      err << "ordalyn-simtrace: scenario rejected: " << loaded.error->Text() << "\n";
      return 1;
    }
    platform = std::make_unique<SimTapiPlatform>(pump, std::move(*loaded.scenario));
  }

  const auto lines = RunSimTrace(*platform, pump, command.options.line, command.options.seconds);
  for (const auto& line : lines) {
    if (command.options.fileFormat) {
      out << line << "\r\n";
    } else {
      out << Cp1252ToUtf8(line) << '\n';
    }
  }
  out.flush();
  if (!out) {
    err << "ordalyn-simtrace: the trace could not be written to standard output\n";
    return 1;
  }
  return 0;
}

}  // namespace ordalyn
