// ordalyn-calls over a trace of a million lines against grep -c over the same
// file, both as processes on a file in the page cache, and the memory the
// report takes for many calls and for few calls in the same number of lines.
//
// The trace is the default traffic of the simulated platform as the program
// writes it into a background file (code page 1252, CR LF), from logon on:
// about 23 days of virtual time, so the stamps also cross midnight 22 times.
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "simtrace.h"
#include "tapi/sim/simtapiplatform.h"

extern char** environ;

namespace {

constexpr std::size_t kLines = 1000000;
constexpr int kRuns = 7;

struct Usage {
  double cpuSeconds = 0;
  double wallSeconds = 0;
  long maxRssKiB = 0;
};

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

double Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

std::string TempDir() { return std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp"; }
std::string OutputFile() { return TempDir() + "/ordalyn-bench-calls-output.txt"; }

// Runs the command with its output into a file; its processor time (user and
// system), wall-clock time and peak memory.
Usage RunOnce(std::vector<std::string> command) {
  std::vector<char*> argv;
  for (std::string& part : command) argv.push_back(part.data());
  argv.push_back(nullptr);
  // The last run's output is removed here, so that no command measured pays
  // for throwing away what another one wrote (the JSON report is 107 MB).
  std::remove(OutputFile().c_str());
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  // A real file, not /dev/null: grep stops at its first match when it sees
  // that its output goes nowhere.
  posix_spawn_file_actions_addopen(&actions, 1, OutputFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const double start = Now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", argv[0]);
    std::exit(1);
  }
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Usage result;
  result.wallSeconds = Now() - start;
  result.cpuSeconds = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  result.maxRssKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || (WEXITSTATUS(status) != 0 && WEXITSTATUS(status) != 1)) {
    std::fprintf(stderr, "%s failed\n", argv[0]);
    std::exit(1);
  }
  return result;
}

// The medians of kRuns runs of each command, after one run of each that
// warms the page cache. The commands take turns, round after round, so that
// a machine that grows busier or quieter meanwhile weighs on all of them
// alike and not on the one measured last.
std::vector<Usage> Medians(const std::vector<std::vector<std::string>>& commands) {
  std::vector<std::vector<Usage>> runs(commands.size());
  for (const std::vector<std::string>& command : commands) {
    RunOnce(command);
  }
  for (int round = 0; round < kRuns; ++round) {
    for (std::size_t i = 0; i < commands.size(); ++i) {
      runs[i].push_back(RunOnce(commands[i]));
    }
  }
  std::vector<Usage> results;
  for (const std::vector<Usage>& of : runs) {
    const auto median = [&of](auto field) {
      std::vector<double> values;
      for (const Usage& u : of) values.push_back(static_cast<double>(field(u)));
      std::sort(values.begin(), values.end());
      return values[values.size() / 2];
    };
    Usage result;
    result.cpuSeconds = median([](const Usage& u) { return u.cpuSeconds; });
    result.wallSeconds = median([](const Usage& u) { return u.wallSeconds; });
    result.maxRssKiB = static_cast<long>(median([](const Usage& u) { return u.maxRssKiB; }));
    results.push_back(result);
  }
  return results;
}

void Write(const std::string& name, const std::vector<std::string>& lines) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (file == nullptr) {
    std::perror(name.c_str());
    std::exit(1);
  }
  for (const std::string& line : lines) {
    std::fwrite(line.data(), 1, line.size(), file);
    std::fwrite("\r\n", 1, 2, file);
  }
  std::fclose(file);
}

// Writes the two traces; in a child process, so that the memory it takes
// never counts for the processes measured later (a child's peak starts at its
// parent's size).
void WriteTraces(const std::string& busy, const std::string& quiet, std::size_t& calls,
                 std::size_t& quietCalls, std::size_t& bytes) {
  std::vector<std::string> lines;
  {
    ordalyn::ManualMessagePump pump;
    ordalyn::SimTapiPlatform platform(pump, ordalyn::DefaultSimScenario());
    lines = ordalyn::RunSimTrace(platform, pump, 3, 2000000);
  }
  if (lines.size() < kLines) {
    std::fprintf(stderr, "only %zu lines\n", lines.size());
    std::exit(1);
  }
  lines.resize(kLines);
  for (const std::string& line : lines) {
    bytes += line.size() + 2;
    calls += line.find("| LINE_APPNEWCALL") != std::string::npos ? 1 : 0;
  }
  Write(busy, lines);
  // The same number of lines with few calls: the first 2 % of the traffic,
  // then line-state messages only.
  const std::size_t keep = kLines / 50;
  for (std::size_t i = 0; i < keep; ++i) {
    quietCalls += lines[i].find("| LINE_APPNEWCALL") != std::string::npos ? 1 : 0;
  }
  for (std::size_t i = keep; i < kLines; ++i) {
    lines[i] = lines[i].substr(0, 15) + "LINE_LINEDEVSTATE - 2|0|1";
  }
  Write(quiet, lines);
}

// 320,000 calls of three lines each, every one left open (APPNEWCALL,
// OFFERING, CONNECTED) or every one ended (APPNEWCALL, OFFERING, IDLE): finding
// a call's handle must cost the same either way.
void WriteCallTraces(const std::string& open, const std::string& ended) {
  constexpr std::size_t kCalls = 320000;
  std::vector<std::string> openLines;
  std::vector<std::string> endedLines;
  char handle[16];
  for (std::size_t i = 0; i < kCalls; ++i) {
    std::snprintf(handle, sizeof handle, "%08zX", i + 1);
    const std::string h = handle;
    const std::string p2 = h.substr(h.find_first_not_of('0'));
    const std::string newCall = "10:00:00:000 | LINE_APPNEWCALL - hCall: " + h + " - 0|" + p2 + "|2";
    const std::string ids = " - hCall: " + h + " - CallerID: 5550100 - CalledID: 200 - ";
    const std::string offering =
        "10:00:00:001 | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE" + ids + "2|1|0";
    openLines.push_back(newCall);
    openLines.push_back(offering);
    openLines.push_back("10:00:00:002 | LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE" + ids + "100|1|0");
    endedLines.push_back(newCall);
    endedLines.push_back(offering);
    endedLines.push_back("10:00:00:002 | LINE_CALLSTATE: LINECALLSTATE_IDLE" + ids + "1|0|0");
  }
  Write(open, openLines);
  Write(ended, endedLines);
}

}  // namespace

int main() {
  const std::string busy = TempDir() + "/ordalyn-bench-calls-busy.log";
  const std::string quiet = TempDir() + "/ordalyn-bench-calls-quiet.log";
  std::size_t counts[3] = {};  // calls, quiet calls, bytes
  int pipeEnds[2];
  if (pipe(pipeEnds) != 0) return 1;
  const pid_t child = fork();
  if (child == 0) {
    close(pipeEnds[0]);
    WriteTraces(busy, quiet, counts[0], counts[1], counts[2]);
    WriteCallTraces(TempDir() + "/ordalyn-bench-calls-open.log",
                    TempDir() + "/ordalyn-bench-calls-ended.log");
    const bool written = write(pipeEnds[1], counts, sizeof counts) == static_cast<ssize_t>(sizeof counts);
    _exit(written ? 0 : 1);
  }
  close(pipeEnds[1]);
  int status = 0;
  const bool read = ::read(pipeEnds[0], counts, sizeof counts) == static_cast<ssize_t>(sizeof counts);
  waitpid(child, &status, 0);
  close(pipeEnds[0]);
  if (!read || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    std::fprintf(stderr, "the traces could not be written\n");
    return 1;
  }
  const std::size_t calls = counts[0];
  const std::size_t quietCalls = counts[1];
  const std::size_t bytes = counts[2];

  std::printf("trace: %zu lines, %.1f MB, %zu calls; quiet trace: %zu lines, %zu calls\n", kLines,
              static_cast<double>(bytes) / 1e6, calls, kLines, quietCalls);
  const std::string open = TempDir() + "/ordalyn-bench-calls-open.log";
  const std::string ended = TempDir() + "/ordalyn-bench-calls-ended.log";
  const std::vector<Usage> usages = Medians({
      {"grep", "-c", "LINE_CALLSTATE", busy},
      {ORDALYN_CALLS_EXECUTABLE, busy},
      {ORDALYN_CALLS_EXECUTABLE, quiet},
      {ORDALYN_CALLS_EXECUTABLE, "--json", busy},
      {ORDALYN_CALLS_EXECUTABLE, "--json", open},
      {ORDALYN_CALLS_EXECUTABLE, "--json", ended},
  });
  const Usage& grep = usages[0];
  const Usage& report = usages[1];
  const Usage& reportQuiet = usages[2];
  const Usage& json = usages[3];
  const Usage& openCalls = usages[4];
  const Usage& endedCalls = usages[5];
  std::printf("grep -c LINE_CALLSTATE: %.3f s processor, %.3f s wall\n", grep.cpuSeconds, grep.wallSeconds);
  std::printf("ordalyn-calls (table):  %.3f s processor, %.3f s wall, %ld KiB peak\n", report.cpuSeconds,
              report.wallSeconds, report.maxRssKiB);
  std::printf("ordalyn-calls --json:   %.3f s processor, %.3f s wall, %ld KiB peak\n", json.cpuSeconds,
              json.wallSeconds, json.maxRssKiB);
  std::printf("ordalyn-calls (quiet):  %.3f s processor, %.3f s wall, %ld KiB peak\n", reportQuiet.cpuSeconds,
              reportQuiet.wallSeconds, reportQuiet.maxRssKiB);
  std::printf("320,000 calls left open: %.3f s processor; 320,000 calls ended: %.3f s processor (--json)\n",
              openCalls.cpuSeconds, endedCalls.cpuSeconds);
  double load[3] = {};
  if (getloadavg(load, 3) == 3) {
    std::printf("load average: %.2f %.2f %.2f\n", load[0], load[1], load[2]);
  }
  std::printf(
      "\nRATIO | ordalyn-calls dearer than grep -c LINE_CALLSTATE, 1,000,000 lines, processor time | %.2f | "
      "target <= 4\n",
      report.cpuSeconds / grep.cpuSeconds);
  std::printf(
      "RATIO | ordalyn-calls --json dearer than grep -c LINE_CALLSTATE, processor time | %.2f | target <= "
      "4\n",
      json.cpuSeconds / grep.cpuSeconds);
  std::printf("RATIO | the same, wall-clock time | %.2f | target <= 5\n",
              report.wallSeconds / grep.wallSeconds);
  std::printf(
      "RATIO | 320,000 open calls dearer than 320,000 ended ones, processor time | %.2f | target about 1\n",
      openCalls.cpuSeconds / endedCalls.cpuSeconds);
  std::printf(
      "FIGURE | ordalyn-calls peak memory, %zu calls in 1,000,000 lines | %.1f MiB | grows with calls\n",
      calls, static_cast<double>(report.maxRssKiB) / 1024);
  std::printf(
      "FIGURE | ordalyn-calls peak memory, %zu calls in 1,000,000 lines | %.1f MiB | not with lines\n",
      quietCalls, static_cast<double>(reportQuiet.maxRssKiB) / 1024);
  std::remove(busy.c_str());
  std::remove(quiet.c_str());
  std::remove(open.c_str());
  std::remove(ended.c_str());
  std::remove(OutputFile().c_str());
  return 0;
}
