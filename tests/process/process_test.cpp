// The built ordalyn executable as a child process, mostly on the offscreen
// platform: background traces into real files with their macros, the line
// number read from the command line, the end by SIGTERM, SIGINT and SIGHUP
// (also the moment the program starts, and while a write waits for a stalled
// reader), displays that are missing or cannot be reached, and files that
// cannot be created or written. Every child is killed and reaped, whatever
// happens; every test waits for what it expects, never a fixed time.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/polling.h"
#include "support/scratchdir.h"

extern char** environ;

namespace ordalyn {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using test::PollUntil;

constexpr std::size_t kWriteBuffer = 128;  // the file lags behind by less than this
// A signal ends the program within this time, even while a write waits.
constexpr milliseconds kEndWithin{2000};

const std::string kSeparator(92, '-');
const std::string kStampMask = "hh:nn:ss:zzz";
// The end of the closing line when trace text could not be written.
const std::string kLostText = " bytes of trace text could not be written before closing\n";

// The exit statuses the manual page documents.
constexpr int kCannotCreateStatus = 1;
constexpr int kNoDisplayStatus = 2;
constexpr int kTextLostStatus = 3;

// A display name no X server answers to.
constexpr const char* kUnreachableDisplay = ":1937";

std::string ReadFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteFile(const fs::path& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary);
  out << text;
}

std::vector<std::string> FilesIn(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

// The child: ordalyn with the given arguments, in workDir, with standard
// output and error going to outputFile (standard output to stdoutFd instead
// when that is given).
class OrdalynProcess {
 public:
  OrdalynProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::pair<std::string, std::string>>& environment, const fs::path& workDir,
                 const fs::path& outputFile, rlim_t fileSizeLimit = 0, int stdoutFd = -1, int ignored = 0) {
    std::vector<std::string> argv{ORDALYN_EXECUTABLE};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envp;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      const std::string_view text(*entry);
      const std::string name(text.substr(0, text.find('=')));
      bool replaced = name == "DISPLAY" || name == "WAYLAND_DISPLAY" || name == "LANGUAGE";
      for (const auto& [key, value] : environment) {
        replaced = replaced || key == name;
      }
      if (!replaced) {
        envp.emplace_back(text);
      }
    }
    for (const auto& [key, value] : environment) {
      if (!value.empty()) {  // an empty value removes the variable
        envp.push_back(key + "=" + value);
      }
    }
    // Everything the child needs is prepared before fork: it only calls
    // async-signal-safe functions until exec.
    std::vector<char*> argvPointers;
    for (auto& a : argv) {
      argvPointers.push_back(a.data());
    }
    argvPointers.push_back(nullptr);
    std::vector<char*> envPointers;
    for (auto& e : envp) {
      envPointers.push_back(e.data());
    }
    envPointers.push_back(nullptr);
    const std::string dir = workDir.string();
    // The output passes through a pipe, which the size limit of the child
    // does not concern, and reaches the file from a thread of the test.
    int output[2];
    if (::pipe2(output, O_CLOEXEC) != 0) {
      return;
    }
    drain_ = std::thread([from = output[0], to = outputFile] {
      std::ofstream file(to, std::ios::binary);
      char buffer[4096];
      for (ssize_t got; (got = ::read(from, buffer, sizeof buffer)) != 0;) {
        if (got > 0) {
          file.write(buffer, got).flush();
        } else if (errno != EINTR) {
          break;
        }
      }
      ::close(from);
    });

    pid_ = ::fork();
    if (pid_ == 0) {
      if (::dup2(stdoutFd >= 0 ? stdoutFd : output[1], 1) < 0 || ::dup2(output[1], 2) < 0 ||
          ::chdir(dir.c_str()) != 0) {
        ::_exit(126);
      }
      // The signals as a shell leaves them: the program sets its own.
      for (const int number : {SIGXFSZ, SIGPIPE, SIGTERM, SIGINT, SIGHUP}) {
        ::signal(number, number == ignored ? SIG_IGN : SIG_DFL);
      }
      if (fileSizeLimit != 0) {
        // Writes beyond the limit fail (EFBIG, and SIGXFSZ unless the
        // program ignores it), as on a disk that has filled up; the test may
        // raise it again ("space is back").
        const rlimit limit{fileSizeLimit, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
          ::_exit(125);
        }
      }
      ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
      ::_exit(127);
    }
    ::close(output[1]);
  }

  ~OrdalynProcess() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
    }
    if (drain_.joinable()) {
      drain_.join();  // the pipe ends with the child
    }
  }

  OrdalynProcess(const OrdalynProcess&) = delete;
  OrdalynProcess& operator=(const OrdalynProcess&) = delete;

  bool Started() const { return pid_ > 0; }
  pid_t Pid() const { return pid_; }

  // True while the process has not ended (an ended one is reaped).
  bool Running() {
    if (status_) {
      return false;
    }
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
      status_ = status;
      return false;
    }
    return true;
  }

  void Signal(int number) {
    if (Running()) {
      ::kill(pid_, number);
    }
  }

  // The wait status once the process has ended within limit; none while it still runs.
  std::optional<int> WaitForExit(milliseconds limit = test::kPollLimit) {
    PollUntil([this] { return !Running(); }, limit);
    // The output file is whole only once the pipe has ended with the child
    // and the thread has written the rest: a test reads it right after this.
    if (status_ && drain_.joinable()) {
      drain_.join();
    }
    return status_;
  }

 private:
  pid_t pid_ = -1;
  std::thread drain_;
  std::optional<int> status_;
};

std::string DescribeStatus(const std::optional<int>& status) {
  if (!status) {
    return "still running";
  }
  if (WIFEXITED(*status)) {
    return "exit code " + std::to_string(WEXITSTATUS(*status));
  }
  if (WIFSIGNALED(*status)) {
    return std::string("killed by signal ") + strsignal(WTERMSIG(*status));
  }
  return "status " + std::to_string(*status);
}

// "hh:nn:ss:zzz" with a colon as separator and values a clock can show.
bool IsStamp(std::string_view text) {
  if (text.size() < 12) {
    return false;
  }
  for (std::size_t i : {2u, 5u, 8u}) {
    if (text[i] != ':') {
      return false;
    }
  }
  for (std::size_t i : {0u, 1u, 3u, 4u, 6u, 7u, 9u, 10u, 11u}) {
    if (text[i] < '0' || text[i] > '9') {
      return false;
    }
  }
  const auto two = [&](std::size_t at) { return (text[at] - '0') * 10 + (text[at + 1] - '0'); };
  return two(0) < 24 && two(3) < 60 && two(6) < 60;
}

// The text with the stamp of every stamped line replaced by kStampMask; stamps
// that are no clock time stay as they are, so comparing shows them.
std::string MaskStamps(std::string text) {
  for (std::size_t start = 0; start < text.size();) {
    const std::string_view line = std::string_view(text).substr(start);
    if (line.size() >= 15 && line.substr(12, 3) == " | " && IsStamp(line)) {
      text.replace(start, 12, kStampMask);
    }
    const std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      break;
    }
    start = end + 1;
  }
  return text;
}

// Milliseconds of the day of every stamp, in file order.
std::vector<long> StampTimes(const std::string& text) {
  std::vector<long> times;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() >= 15 && line.compare(12, 3, " | ") == 0 && IsStamp(line)) {
      times.push_back(std::stol(line.substr(0, 2)) * 3600000 + std::stol(line.substr(3, 2)) * 60000 +
                      std::stol(line.substr(6, 2)) * 1000 + std::stol(line.substr(9, 3)));
    }
  }
  return times;
}

std::string Header() {
  return std::string("Ordalyn - Build: ") + ORDALYN_FILE_VERSION + "\r\n" + ORDALYN_LEGAL_COPYRIGHT + "\r\n" +
         std::string(48, '=') + "\r\n\r\n";
}

std::string Stamped(const std::string& text) { return kStampMask + " | " + text + "\r\n"; }

std::string Logon(const std::string& lineOpen, const std::string& logonLine) {
  return Header() + Stamped("Initialise: OK") + Stamped(lineOpen) + Stamped(logonLine) + kSeparator + "\r\n";
}

std::string Logoff() { return kSeparator + "\r\n" + Stamped("LineShutDown: OK") + Stamped("TAPI - Logoff"); }

std::string HostName() {
  char buffer[256] = {};
  if (::gethostname(buffer, sizeof buffer - 1) != 0) {
    return {};
  }
  const std::string name(buffer);
  return name.substr(0, name.find('.'));
}

std::string Replaced(std::string text, const std::string& pattern, const std::string& replacement) {
  for (std::size_t at = text.find(pattern); at != std::string::npos;
       at = text.find(pattern, at + replacement.size())) {
    text.replace(at, pattern.size(), replacement);
  }
  return text;
}

std::string LocalText(std::time_t when, const char* format) {
  std::tm parts{};
  ::localtime_r(&when, &parts);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, format, &parts);
  return buffer;
}

// The names that pattern may expand to at any moment from `from` to `to`:
// the date and the time are read one after the other, so a date of one
// moment may meet a time of the next.
std::set<std::string> ExpectedNames(const std::string& pattern, std::time_t from, std::time_t to) {
  std::set<std::string> dates;
  std::set<std::string> times;
  for (std::time_t t = from; t <= to + 1; ++t) {
    dates.insert(LocalText(t, "%Y-%m-%d"));
    times.insert(LocalText(t, "%H-%M"));
  }
  std::set<std::string> names;
  for (const auto& date : dates) {
    for (const auto& time : times) {
      names.insert(
          Replaced(Replaced(Replaced(pattern, "#date#", date), "#time#", time), "#computer#", HostName()));
    }
  }
  return names;
}

// A scenario with one voice line and a short call, all within a tenth of a
// second; its last line is longer than the write buffer, so once part of it
// is in the file all of the script has arrived.
constexpr const char* kOneCallScenario = R"({
  "lines": [{"name": "Process Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "calls": [{"handle": "0x00010A2C", "callerID": "5550100", "calledID": "200",
             "origin": "LINECALLORIGIN_EXTERNAL", "reason": "LINECALLREASON_DIRECT"}],
  "script": [
    {"delayMs": 20, "message": "LINE_APPNEWCALL", "param1": 0, "param2": "0x00010A2C",
     "param3": "LINECALLPRIVILEGE_MONITOR"},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C",
     "param1": "LINECALLSTATE_OFFERING", "param2": "LINEOFFERINGMODE_ACTIVE"},
    {"delayMs": 5, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C",
     "param1": "LINECALLSTATE_CONNECTED", "param2": "LINECONNECTEDMODE_ACTIVE",
     "set": {"connectedID": "5550100"}},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x00010A2C", "param1": "LINECALLSTATE_IDLE",
     "set": {"callerID": null, "calledID": null, "connectedID": null, "origin": 0, "reason": 0}},
    {"delayMs": 5, "message": "LINE_CALLINFO", "call": "0x00010A2C", "param1": "LINECALLINFOSTATE_CALLERID",
     "set": {"callerID": "a caller number long enough to make this line longer than the write buffer"}}
  ]
})";

std::string OneCallTrace() {
  const std::string call = " - hCall: 00010A2C - CallerID: ";
  const std::string known = "(LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT)";
  return Logon("LineOpen: OK", "TAPI - Logon (Version: 2.2) - Process Line (TAPI-Line: 0)") +
         Stamped("LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2") +
         Stamped("LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE" + call + "5550100 - CalledID: 200 - " +
                 known + " - 2|1|0") +
         Stamped("LINE_LINEDEVSTATE - 2|0|1") +
         Stamped("LINE_CALLSTATE: LINECALLSTATE_CONNECTED; ACTIVE" + call +
                 "5550100 - CalledID: 200 - ConnectedID: 5550100 - " + known + " - 100|1|0") +
         Stamped("LINE_CALLSTATE: LINECALLSTATE_IDLE" + call + " - CalledID:  - 1|0|0") +
         Stamped("LINE_CALLINFO: LINECALLINFOSTATE_CALLERID" + call +
                 "a caller number long enough to make this line longer than the write buffer - CalledID:  - "
                 "8000|0|0");
}

// Thirteen voice lines, "Line 0" to "Line 12", and no messages.
std::string ThirteenLinesScenario() {
  std::string lines;
  for (int i = 0; i <= 12; ++i) {
    lines += std::string(i == 0 ? "" : ",") + R"({"name": "Line )" + std::to_string(i) +
             R"(", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"})";
  }
  return R"({"lines": [)" + lines + "]}";
}

// One voice line on which nothing happens.
constexpr const char* kQuietScenario =
    R"({"lines": [{"name": "Quiet Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}]})";

// One line with a line message every 5 ms, for as long as the line is open.
constexpr const char* kEndlessScenario = R"({
  "lines": [{"name": "Busy Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "script": [{"delayMs": 5, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1}],
  "repeat": {"count": "forever"}
})";

class ProcessTest : public ::testing::Test {
 public:
  using Environment = std::vector<std::pair<std::string, std::string>>;

 protected:
  void SetUp() override {
    root_ = scratch_.path();
    work_ = root_ / "work";
    fs::create_directory(work_);
    fs::create_directory(root_ / "runtime");
    fs::permissions(root_ / "runtime", fs::perms::owner_all);
  }

  void TearDown() override {
    process_.reset();
    if (HasFailure()) {
      std::cerr << "Output of ordalyn:\n" << ReadFile(root_ / "output.txt") << '\n';
    }
  }

  // Starts ordalyn in the work folder with the scenario and the arguments;
  // platform "" leaves the Qt platform to the program. environment adds or
  // replaces variables ("" removes one).
  OrdalynProcess& Start(const std::string& scenario, const std::vector<std::string>& arguments,
                        rlim_t fileSizeLimit = 0, const std::string& platform = "offscreen",
                        const Environment& environment = {}, int stdoutFd = -1, int ignored = 0) {
    WriteFile(root_ / "scenario.json", scenario);
    Environment variables{{"QT_QPA_PLATFORM", platform},
                          {"ORDALYN_TAPI_SCENARIO", (root_ / "scenario.json").string()},
                          {"LC_ALL", "C"},
                          {"LANG", "C"},
                          {"XDG_RUNTIME_DIR", (root_ / "runtime").string()}};
    for (const auto& [name, value] : environment) {
      bool known = false;
      for (auto& variable : variables) {
        if (variable.first == name) {
          variable.second = value;
          known = true;
        }
      }
      if (!known) {
        variables.emplace_back(name, value);
      }
    }
    process_ = std::make_unique<OrdalynProcess>(arguments, variables, work_, root_ / "output.txt",
                                                fileSizeLimit, stdoutFd, ignored);
    EXPECT_TRUE(process_->Started());
    return *process_;
  }

  std::string Output() const { return ReadFile(root_ / "output.txt"); }

  // Standard error carries the program's own lines alone.
  ::testing::AssertionResult OnlyOwnLines() const {
    std::istringstream lines(Output());
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind("ordalyn: ", 0) != 0) {
        return ::testing::AssertionFailure() << "a line not of the program: " << line;
      }
    }
    return ::testing::AssertionSuccess();
  }

  // Waits until the file holds every line of expected (stamps masked) but
  // what may still wait in the write buffer.
  ::testing::AssertionResult WaitForTrace(const fs::path& file, const std::string& expected) {
    std::string masked;
    const bool arrived = PollUntil([&] {
      const std::string content = ReadFile(file);
      const std::size_t lineEnd = content.rfind("\r\n");
      masked = MaskStamps(content.substr(0, lineEnd == std::string::npos ? 0 : lineEnd + 2));
      return expected.compare(0, masked.size(), masked) == 0 &&
             content.size() + kWriteBuffer > expected.size();
    });
    if (arrived) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "the trace did not arrive in " << file << "; it holds:\n"
                                         << masked;
  }

  // Sends the signal; the process must end by itself within limit with the exit code.
  ::testing::AssertionResult EndsCleanlyOn(int signal, int code = 0, milliseconds limit = test::kPollLimit) {
    process_->Signal(signal);
    const auto status = process_->WaitForExit(limit);
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == code) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "after " << strsignal(signal) << ": " << DescribeStatus(status);
  }

  test::ScratchDir scratch_;
  fs::path root_;
  fs::path work_;
  std::unique_ptr<OrdalynProcess> process_;
};

// Ended by SIGTERM, SIGINT or SIGHUP; without any display, or with one that
// cannot be reached, the trace runs all the same. Standard error carries
// nothing but the program's own lines: no word of Qt, also where a service
// or cron leaves XDG_RUNTIME_DIR unset.
struct BackgroundCase {
  const char* name;
  int signal;
  const char* platform;
  ProcessTest::Environment environment;
  const char* output;  // all of standard error
};

void PrintTo(const BackgroundCase& c, std::ostream* out) { *out << c.name; }

class BackgroundTraceTest : public ProcessTest, public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(BackgroundTraceTest, WritesTheWholeTraceIntoTheExpandedFileAndEndsWithTheLogoff) {
  const BackgroundCase& c = GetParam();
  const std::string pattern = "trace_#date#_#time#_#computer#.log";
  const std::time_t before = std::time(nullptr);
  auto& process =
      Start(kOneCallScenario, {"-0", pattern, "ignored third argument"}, 0, c.platform, c.environment);

  std::string name;
  ASSERT_TRUE(PollUntil([&] {
    const auto files = FilesIn(work_);
    name = files.size() == 1 ? files[0] : std::string();
    return !name.empty();
  })) << "no file in the working folder";
  const auto allowed = ExpectedNames(pattern, before, std::time(nullptr));
  EXPECT_EQ(allowed.count(name), 1u) << name << " is not one of " << *allowed.begin() << " ... "
                                     << *allowed.rbegin();

  const std::string trace = OneCallTrace();
  ASSERT_TRUE(WaitForTrace(work_ / name, trace));
  EXPECT_TRUE(process.Running());

  ASSERT_TRUE(EndsCleanlyOn(c.signal));
  const std::string content = ReadFile(work_ / name);
  EXPECT_EQ(MaskStamps(content), trace + Logoff());
  const auto times = StampTimes(content);
  EXPECT_EQ(times.size(), 11u);
  for (std::size_t i = 1; i < times.size(); ++i) {
    // Later lines never carry earlier times (a trace across midnight aside).
    EXPECT_TRUE(times[i] >= times[i - 1] || times[i - 1] - times[i] > 86000000) << i;
  }
  EXPECT_EQ(FilesIn(work_).size(), 1u);
  EXPECT_EQ(Output(), c.output);
}

const std::string kUnreachableNote = std::string("ordalyn: The display \"") + kUnreachableDisplay +
                                     "\" cannot be reached; the trace runs without a window\n";

INSTANTIATE_TEST_SUITE_P(
    Signals, BackgroundTraceTest,
    ::testing::Values(
        BackgroundCase{"SIGTERM", SIGTERM, "offscreen", {}, ""},
        BackgroundCase{"SIGINT", SIGINT, "offscreen", {}, ""},
        BackgroundCase{"SIGHUP", SIGHUP, "offscreen", {}, ""},
        BackgroundCase{"SIGTERMWithoutDisplay", SIGTERM, "", {}, ""},
        BackgroundCase{"WithoutRuntimeFolder", SIGTERM, "", {{"XDG_RUNTIME_DIR", ""}}, ""},
        BackgroundCase{
            "UnreachableDisplay", SIGTERM, "", {{"DISPLAY", kUnreachableDisplay}}, kUnreachableNote.c_str()},
        BackgroundCase{"UnreachableDisplayOfTheUsersPlatform",
                       SIGHUP,
                       "xcb",
                       {{"DISPLAY", kUnreachableDisplay}},
                       kUnreachableNote.c_str()}),
    [](const ::testing::TestParamInfo<BackgroundCase>& named) { return std::string(named.param.name); });

// A signal from the moment the program catches it (its first instruction)
// ends it cleanly: before the trace has begun, with nothing written and
// nothing said. The moment is read from the kernel's list of the signals the
// process catches.
class EarlySignalTest : public ProcessTest, public ::testing::WithParamInterface<int> {};

// Whether the process catches (field "SigCgt") or ignores ("SigIgn") the signal.
bool SignalIn(pid_t pid, const std::string& field, int signal) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind(field + ":", 0) == 0) {
      return ((std::stoull(line.substr(field.size() + 1), nullptr, 16) >> (signal - 1)) & 1u) != 0;
    }
  }
  return false;
}

bool Catches(pid_t pid, int signal) { return SignalIn(pid, "SigCgt", signal); }

TEST_P(EarlySignalTest, EndsTheProgramBeforeTheTraceBeginsWithNothingWritten) {
  auto& process = Start(kOneCallScenario, {"-0", "early.log"});
  ASSERT_TRUE(PollUntil([&] { return !process.Running() || Catches(process.Pid(), GetParam()); },
                        test::kPollLimit, [] {}))
      << DescribeStatus(process.WaitForExit(milliseconds(0)));
  ASSERT_TRUE(EndsCleanlyOn(GetParam()));
  EXPECT_TRUE(FilesIn(work_).empty());
  EXPECT_EQ(Output(), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, EarlySignalTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& named) {
                           return std::string(named.param == SIGTERM  ? "SIGTERM"
                                              : named.param == SIGINT ? "SIGINT"
                                                                      : "SIGHUP");
                         });

// The arguments are the user's, also where Qt knows them as its own options.
struct LineArgumentCase {
  const char* argument;
  int line;
  const char* file = "lines.log";
};

void PrintTo(const LineArgumentCase& c, std::ostream* out) { *out << '"' << c.argument << '"'; }

class LineArgumentTest : public ProcessTest, public ::testing::WithParamInterface<LineArgumentCase> {};

TEST_P(LineArgumentTest, OpensTheLineTheFirstArgumentNames) {
  Start(ThirteenLinesScenario(), {GetParam().argument, GetParam().file});
  const int line = GetParam().line;
  const std::string trace =
      line >= 0 ? Logon("LineOpen: OK", "TAPI - Logon (Version: 2.2) - Line " + std::to_string(line) +
                                            " (TAPI-Line: " + std::to_string(line) + ")")
                : Logon("LineOpen: Error: 2147483650(Invalid line device ID)",
                        "TAPI - Logon (Version: 0.0) -  (TAPI-Line: -1)");
  ASSERT_TRUE(WaitForTrace(work_ / GetParam().file, trace));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_EQ(MaskStamps(ReadFile(work_ / GetParam().file)), trace + Logoff());
}

INSTANTIATE_TEST_SUITE_P(Arguments, LineArgumentTest,
                         ::testing::Values(LineArgumentCase{"-3", 3}, LineArgumentCase{"/3", 3},
                                           LineArgumentCase{"3", 3}, LineArgumentCase{"-12", 12},
                                           LineArgumentCase{"12", 2}, LineArgumentCase{"--3", -1},
                                           LineArgumentCase{"-x", -1}, LineArgumentCase{"-0x0B", 11},
                                           LineArgumentCase{"-3", 3, "-reverse"},
                                           LineArgumentCase{"-session", -1, "s.log"},
                                           LineArgumentCase{"-platform", -1, "offscreen"}),
                         [](const ::testing::TestParamInfo<LineArgumentCase>& named) {
                           std::string name = "Argument" + std::to_string(named.index) + "_";
                           for (const char* c = named.param.argument; *c != '\0'; ++c) {
                             name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
                           }
                           return name;
                         });

TEST_F(ProcessTest, MacrosAreCaseSensitiveAndExpandedAtEveryOccurrence) {
  const std::string pattern = "#DATE#_#date#_#time#_#date#_#Computer#.log";
  const std::time_t before = std::time(nullptr);
  Start(ThirteenLinesScenario(), {"-1", pattern});
  std::string name;
  ASSERT_TRUE(PollUntil([&] {
    const auto files = FilesIn(work_);
    name = files.size() == 1 ? files[0] : std::string();
    return !name.empty();
  }));
  EXPECT_EQ(ExpectedNames(pattern, before, std::time(nullptr)).count(name), 1u) << name;
  EXPECT_EQ(name.rfind("#DATE#_", 0), 0u) << name;
  EXPECT_NE(name.find("_#Computer#.log"), std::string::npos) << name;
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
}

// Starts that cannot go on, with nobody to see a box (offscreen, or no
// display at all, or one that cannot be reached): one line on standard error,
// nothing written, and the program ends by itself with a status that says it
// failed. A file that another writer holds is refused like one that cannot
// be created, and left as it is. A file name is shown as it was typed.
struct RefusedStartCase {
  const char* name;
  std::vector<std::string> arguments;
  const char* platform;
  bool lockPlain;  // another writer holds the file "plain"
  int status;
  std::string message;  // the whole line after "ordalyn: ", up to its end or to " (OS"
  ProcessTest::Environment environment = {};
};

void PrintTo(const RefusedStartCase& c, std::ostream* out) { *out << c.name; }

class RefusedStartTest : public ProcessTest, public ::testing::WithParamInterface<RefusedStartCase> {};

TEST_P(RefusedStartTest, SaysSoInOneLineWritesNothingAndEndsWithAFailure) {
  const RefusedStartCase& c = GetParam();
  WriteFile(work_ / "plain", "a regular file\n");
  ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0) << std::strerror(errno);
  const int held = ::open((work_ / "plain").c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(held, 0);
  ASSERT_TRUE(!c.lockPlain || ::flock(held, LOCK_EX | LOCK_NB) == 0) << std::strerror(errno);
  auto& process = Start(kOneCallScenario, c.arguments, 0, c.platform, c.environment);
  const auto status = process.WaitForExit();
  ::close(held);
  EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == c.status) << DescribeStatus(status);
  const std::string output = Output();
  const std::string line = "ordalyn: " + c.message;
  EXPECT_EQ(output.substr(0, line.size()), line) << output;
  const std::string rest = output.substr(std::min(line.size(), output.size()));
  EXPECT_TRUE(rest == "\n" || (rest.rfind(" (OS error ", 0) == 0 && rest.find('\n') == rest.size() - 1))
      << "not one line: " << output;
  EXPECT_EQ(FilesIn(work_), std::vector<std::string>{"plain"});
  EXPECT_EQ(ReadFile(work_ / "plain"), "a regular file\n");
}

const std::string kInUse = "Cannot create file \"plain\": The file is being written by another program";
const std::string kNoDisplay = "No display to show the window on (";
const std::string kNoDisplayEnd = "); a background trace runs without one: ordalyn -# filename";

INSTANTIATE_TEST_SUITE_P(
    Starts, RefusedStartTest,
    ::testing::Values(
        RefusedStartCase{"MissingDirectory",
                         {"-0", "missing/dir/t.log"},
                         "offscreen",
                         false,
                         kCannotCreateStatus,
                         "Cannot create file \"missing/dir/t.log\": No such file or directory"},
        RefusedStartCase{"NotAsciiName",
                         {"-0", "missing/lat\xc3\xa9.log"},
                         "offscreen",
                         false,
                         kCannotCreateStatus,
                         "Cannot create file \"missing/lat\xc3\xa9.log\": No such file or directory",
                         {{"LC_ALL", "C.UTF-8"}}},
        RefusedStartCase{"ThroughARegularFile",
                         {"-0", "plain/t.log"},
                         "offscreen",
                         false,
                         kCannotCreateStatus,
                         "Cannot create file \"plain/t.log\": Not a directory"},
        RefusedStartCase{
            "FileOfAnotherWriter", {"-0", "plain"}, "offscreen", true, kCannotCreateStatus, kInUse},
        RefusedStartCase{
            "FileOfAnotherWriterWithoutDisplay", {"-0", "plain"}, "", true, kCannotCreateStatus, kInUse},
        RefusedStartCase{"PipeWithoutReader",
                         {"-0", "../fifo"},
                         "offscreen",
                         false,
                         kCannotCreateStatus,
                         "Cannot create file \"../fifo\": The pipe has no reader"},
        RefusedStartCase{"InteractiveWithoutDisplay",
                         {"plain"},
                         "",
                         false,
                         kNoDisplayStatus,
                         kNoDisplay + "neither DISPLAY nor WAYLAND_DISPLAY is set" + kNoDisplayEnd},
        RefusedStartCase{"InteractiveForAnEmptyFileName",
                         {"-3", ""},
                         "",
                         false,
                         kNoDisplayStatus,
                         kNoDisplay + "neither DISPLAY nor WAYLAND_DISPLAY is set" + kNoDisplayEnd},
        RefusedStartCase{"InteractiveOffscreen",
                         {"plain"},
                         "offscreen",
                         false,
                         kNoDisplayStatus,
                         kNoDisplay + "the platform \"offscreen\" shows no window" + kNoDisplayEnd},
        RefusedStartCase{"InteractiveOffscreenForAnEmptyFileName",
                         {"-3", ""},
                         "offscreen",
                         false,
                         kNoDisplayStatus,
                         kNoDisplay + "the platform \"offscreen\" shows no window" + kNoDisplayEnd},
        RefusedStartCase{
            "InteractiveOnAnUnreachableDisplay",
            {},
            "",
            false,
            kNoDisplayStatus,
            kNoDisplay + "the display \"" + kUnreachableDisplay + "\" cannot be reached" + kNoDisplayEnd,
            {{"DISPLAY", kUnreachableDisplay}}}),
    [](const ::testing::TestParamInfo<RefusedStartCase>& named) { return std::string(named.param.name); });

// Files that take no byte: /dev/full (every write fails with ENOSPC, as on a
// full disk), whose trace goes on until a signal ends it, and a pipe whose
// reader has gone (EPIPE), which can never take data again: the trace ends
// by itself, as on a signal. The refused write is reported once; the end
// counts what could not be written and gives the status of lost text.
struct RefusedWriteCase {
  const char* name;
  const char* file;
  enum Reader { kNone, kFifo, kStandardOutput } reader;  // a reader that reads a little and goes
  std::string error;
};

void PrintTo(const RefusedWriteCase& c, std::ostream* out) { *out << c.name; }

class RefusedWriteTest : public ProcessTest, public ::testing::WithParamInterface<RefusedWriteCase> {};

TEST_P(RefusedWriteTest, ReportsItOnceAndEndsWithTheLostTextCounted) {
  const RefusedWriteCase& c = GetParam();
  if (c.reader == RefusedWriteCase::kNone && ::access(c.file, W_OK) != 0) {
    GTEST_SKIP() << "no writable " << c.file << " here";
  }
  int reader = -1;
  int writer = -1;
  if (c.reader == RefusedWriteCase::kFifo) {
    ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0) << std::strerror(errno);
    reader = ::open((root_ / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } else if (c.reader == RefusedWriteCase::kStandardOutput) {
    int ends[2];
    ASSERT_EQ(::pipe2(ends, O_CLOEXEC), 0) << std::strerror(errno);
    reader = ends[0];
    writer = ends[1];
    ASSERT_EQ(::fcntl(reader, F_SETFL, O_NONBLOCK), 0);
  }
  ASSERT_TRUE(c.reader == RefusedWriteCase::kNone || reader >= 0) << std::strerror(errno);
  auto& process = Start(kEndlessScenario, {"-0", c.file}, 0, "offscreen", {}, writer);
  if (writer >= 0) {
    ::close(writer);
  }
  if (reader >= 0) {
    // Like "| head -c 200": a little is read, then the reader goes.
    std::string taken;
    EXPECT_TRUE(PollUntil([&] {
      char buffer[256];
      const auto got = ::read(reader, buffer, sizeof buffer);
      taken.append(buffer, got > 0 ? static_cast<std::size_t>(got) : 0);
      return taken.size() >= 200;
    })) << Output();
    EXPECT_EQ(taken.rfind("Ordalyn - Build: ", 0), 0u) << taken;
    ::close(reader);
  }
  const std::string first = "ordalyn: " + c.error + "\n";
  ASSERT_TRUE(PollUntil([&] { return Output().find(first) != std::string::npos; })) << Output();
  if (c.reader == RefusedWriteCase::kNone) {
    ASSERT_TRUE(EndsCleanlyOn(SIGTERM, kTextLostStatus));
  } else {
    const auto status = process.WaitForExit();
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == kTextLostStatus)
        << DescribeStatus(status);
  }
  // The refusal, how often it came again (the logoff's lines at least), the
  // closing line with what was lost; nothing else.
  const std::string output = Output();
  ASSERT_EQ(output.rfind(first, 0), 0u) << output;
  std::istringstream lines(output.substr(first.size()));
  std::string repeats;
  std::string closing;
  std::getline(lines, repeats);
  std::getline(lines, closing);
  EXPECT_EQ(repeats.rfind(first.substr(0, first.size() - 1) + " (", 0), 0u) << output;
  EXPECT_NE(repeats.find(" more time"), std::string::npos) << output;
  EXPECT_EQ(closing.rfind(first.substr(0, first.size() - 1) + "; ", 0), 0u) << output;
  EXPECT_NE((closing + "\n").find(kLostText), std::string::npos) << output;
  EXPECT_TRUE(lines.peek() == std::char_traits<char>::eof()) << output;
  EXPECT_TRUE(FilesIn(work_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedWriteTest,
    ::testing::Values(
        RefusedWriteCase{"FullDisk", "/dev/full", RefusedWriteCase::kNone,
                         "Cannot write to file \"/dev/full\": No space left on device (OS error 28)"},
        RefusedWriteCase{"PipeWithoutReader", "../fifo", RefusedWriteCase::kFifo,
                         "Cannot write to file \"../fifo\": Broken pipe (OS error 32)"},
        RefusedWriteCase{"StandardOutputWithoutReader", "/dev/stdout", RefusedWriteCase::kStandardOutput,
                         "Cannot write to file \"/dev/stdout\": Broken pipe (OS error 32)"}),
    [](const ::testing::TestParamInfo<RefusedWriteCase>& named) { return std::string(named.param.name); });

// Started by nohup (SIGHUP ignored), the program leaves the hang-up ignored
// and still ends by SIGTERM.
TEST_F(ProcessTest, AHangUpIgnoredAtTheStartStaysIgnored) {
  auto& process = Start(kOneCallScenario, {"-0", "nohup.log"}, 0, "offscreen", {}, -1, SIGHUP);
  ASSERT_TRUE(WaitForTrace(work_ / "nohup.log", OneCallTrace()));  // everything is set up by now
  EXPECT_TRUE(Catches(process.Pid(), SIGTERM));
  EXPECT_TRUE(SignalIn(process.Pid(), "SigIgn", SIGHUP));
  EXPECT_FALSE(Catches(process.Pid(), SIGHUP));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_EQ(MaskStamps(ReadFile(work_ / "nohup.log")), OneCallTrace() + Logoff());
}

// A reader that keeps the pipe open but stops reading: once the pipe is full
// the write waits, and a signal still ends the program within kEndWithin,
// counting what could not be written.
class StalledReaderTest : public ProcessTest, public ::testing::WithParamInterface<int> {};

TEST_P(StalledReaderTest, ASignalEndsTheProgramWhileTheWriteWaits) {
  ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0) << std::strerror(errno);
  const int reader = ::open((root_ / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0) << std::strerror(errno);
  // The smallest pipe the system allows fills in a moment.
  const int capacity = ::fcntl(reader, F_SETPIPE_SZ, 4096) > 0 ? ::fcntl(reader, F_GETPIPE_SZ) : 65536;
  Start(kEndlessScenario, {"-0", "../fifo"});
  int waiting = 0;
  EXPECT_TRUE(PollUntil([&] { return ::ioctl(reader, FIONREAD, &waiting) == 0 && waiting >= capacity; }))
      << waiting << " of " << capacity;
  EXPECT_TRUE(EndsCleanlyOn(GetParam(), kTextLostStatus, kEndWithin));
  ::close(reader);
  const std::string output = Output();
  EXPECT_NE(output.find(kLostText), std::string::npos) << output;
  EXPECT_TRUE(OnlyOwnLines());
}

INSTANTIATE_TEST_SUITE_P(Signals, StalledReaderTest, ::testing::Values(SIGTERM, SIGINT, SIGHUP),
                         [](const ::testing::TestParamInfo<int>& named) {
                           return std::string(named.param == SIGTERM  ? "SIGTERM"
                                              : named.param == SIGINT ? "SIGINT"
                                                                      : "SIGHUP");
                         });

// The file reaches the size limit the system sets (prlimit --fsize) during
// the trace: the file takes the header, the logon and some events up to the
// limit, the program neither dies of SIGXFSZ nor stops; a signal ends it with
// the rest counted as lost.
TEST_F(ProcessTest, AFileAtItsSizeLimitKeepsTheTraceGoingAndCountsWhatWasLost) {
  constexpr rlim_t kLimit = 1024;
  Start(kEndlessScenario, {"-0", "limited.log"}, kLimit);
  const fs::path file = work_ / "limited.log";
  ASSERT_TRUE(PollUntil([&] { return fs::exists(file) && fs::file_size(file) == kLimit; }))
      << MaskStamps(ReadFile(file));
  std::string expected = Logon("LineOpen: OK", "TAPI - Logon (Version: 2.2) - Busy Line (TAPI-Line: 0)");
  while (expected.size() < kLimit) {
    expected += Stamped("LINE_LINEDEVSTATE - 2|0|1");
  }
  EXPECT_EQ(MaskStamps(ReadFile(file)), MaskStamps(expected.substr(0, kLimit)));
  const std::string error = "ordalyn: Cannot write to file \"limited.log\": File too large (OS error 27)\n";
  ASSERT_TRUE(PollUntil([&] { return Output().find(error) != std::string::npos; })) << Output();
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM, kTextLostStatus));
  EXPECT_EQ(fs::file_size(file), kLimit);
  EXPECT_NE(Output().find(kLostText), std::string::npos) << Output();
  EXPECT_TRUE(OnlyOwnLines());
}

// The file refuses the very first write and takes data again later, on a
// line where nothing happens: the logon has run all the same, its refusal has
// been reported before the limit is lifted, and only the retry can bring
// the whole trace into the file.
TEST_F(ProcessTest, AFileFullFromTheStartGetsTheWholeTraceOnceItTakesDataAgain) {
  auto& process = Start(kQuietScenario, {"-0", "late.log"}, 1);
  const fs::path file = work_ / "late.log";
  const std::string error = "ordalyn: Cannot write to file \"late.log\": File too large (OS error 27)\n";
  ASSERT_TRUE(PollUntil([&] { return Output().find(error) != std::string::npos; })) << Output();
  ASSERT_TRUE(process.Running());
  EXPECT_EQ(fs::file_size(file), 1u);
  const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
  ASSERT_EQ(::prlimit(process.Pid(), RLIMIT_FSIZE, &unlimited, nullptr), 0) << std::strerror(errno);
  const std::string trace = Logon("LineOpen: OK", "TAPI - Logon (Version: 2.2) - Quiet Line (TAPI-Line: 0)");
  ASSERT_TRUE(WaitForTrace(file, trace));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_EQ(MaskStamps(ReadFile(file)), trace + Logoff());
  EXPECT_EQ(Output(), error);
}

}  // namespace
}  // namespace ordalyn
