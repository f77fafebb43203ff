// The built ordalyn executable as a child process on the offscreen platform:
// background traces into real files with their macros, the line number read
// from the command line, the end by SIGTERM and SIGINT, and files that cannot
// be created or written. Every child is killed and reaped, whatever happens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
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

extern char** environ;

namespace ordalyn {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

constexpr milliseconds kDeadline{20000};
// How long a process gets to do what it must not do (write a file, end by
// itself) after it has shown that it runs. There is nothing to poll for in
// these cases; the first activation comes a few milliseconds after start-up.
constexpr milliseconds kSettle{1500};
constexpr std::size_t kWriteBuffer = 128;  // the file lags behind by less than this

const std::string kSeparator(92, '-');
const std::string kStampMask = "hh:nn:ss:zzz";

bool PollUntil(const std::function<bool()>& condition, milliseconds limit = kDeadline) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    std::this_thread::sleep_for(milliseconds(10));
  }
}

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
// output and error going to outputFile.
class OrdalynProcess {
 public:
  OrdalynProcess(const std::vector<std::string>& arguments,
                 const std::vector<std::pair<std::string, std::string>>& environment, const fs::path& workDir,
                 const fs::path& outputFile, rlim_t fileSizeLimit = 0) {
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
    const std::string output = outputFile.string();

    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || ::dup2(fd, 1) < 0 || ::dup2(fd, 2) < 0 || ::chdir(dir.c_str()) != 0) {
        ::_exit(126);
      }
      if (fileSizeLimit != 0) {
        // Writes beyond the limit fail with EFBIG, as on a disk that has
        // filled up; the test may raise it again ("space is back").
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{fileSizeLimit, RLIM_INFINITY};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
          ::_exit(125);
        }
      }
      ::execve(argvPointers[0], argvPointers.data(), envPointers.data());
      ::_exit(127);
    }
  }

  ~OrdalynProcess() {
    if (pid_ > 0 && !status_) {
      ::kill(pid_, SIGKILL);
      int status = 0;
      while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
      }
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
  std::optional<int> WaitForExit(milliseconds limit = kDeadline) {
    PollUntil([this] { return !Running(); }, limit);
    return status_;
  }

 private:
  pid_t pid_ = -1;
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

// A scenario the platform refuses: TAPI then fails, and the program says so
// once on standard error while it creates its windows, which shows that it runs.
constexpr const char* kRefusedScenario = R"({"lines": [{"name": "No media modes"}]})";
constexpr const char* kRefusedMark = "TAPI scenario rejected";

// One line with a line message every 5 ms, for as long as the line is open.
constexpr const char* kEndlessScenario = R"({
  "lines": [{"name": "Busy Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "script": [{"delayMs": 5, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1}],
  "repeat": {"count": "forever"}
})";

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/ordalyn-process-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr) << std::strerror(errno);
    root_ = pattern;
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
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // Starts ordalyn in the work folder with the scenario and the arguments;
  // platform "" leaves the Qt platform to the program.
  OrdalynProcess& Start(const std::string& scenario, const std::vector<std::string>& arguments,
                        rlim_t fileSizeLimit = 0, const std::string& platform = "offscreen") {
    WriteFile(root_ / "scenario.json", scenario);
    process_ =
        std::make_unique<OrdalynProcess>(arguments,
                                         std::vector<std::pair<std::string, std::string>>{
                                             {"QT_QPA_PLATFORM", platform},
                                             {"ORDALYN_TAPI_SCENARIO", (root_ / "scenario.json").string()},
                                             {"LC_ALL", "C"},
                                             {"LANG", "C"},
                                             {"XDG_RUNTIME_DIR", (root_ / "runtime").string()}},
                                         work_, root_ / "output.txt", fileSizeLimit);
    EXPECT_TRUE(process_->Started());
    return *process_;
  }

  std::string Output() const { return ReadFile(root_ / "output.txt"); }

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

  // Waits for the process to show that it runs (see kRefusedScenario), then
  // gives it kSettle to do what it would do.
  void WaitUntilRunningAndSettled() {
    ASSERT_TRUE(PollUntil([this] { return Output().find(kRefusedMark) != std::string::npos; }))
        << "no sign of life: " << Output();
    std::this_thread::sleep_for(kSettle);
  }

  // Sends the signal; the process must end by itself with exit code 0.
  ::testing::AssertionResult EndsCleanlyOn(int signal) {
    process_->Signal(signal);
    const auto status = process_->WaitForExit();
    if (status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "after " << strsignal(signal) << ": " << DescribeStatus(status);
  }

  fs::path root_;
  fs::path work_;
  std::unique_ptr<OrdalynProcess> process_;
};

// Ended by SIGTERM, SIGINT or SIGHUP; without any display the trace runs all the same.
struct BackgroundCase {
  int signal;
  const char* platform;
};

void PrintTo(const BackgroundCase& c, std::ostream* out) {
  *out << strsignal(c.signal) << " '" << c.platform << "'";
}

class BackgroundTraceTest : public ProcessTest, public ::testing::WithParamInterface<BackgroundCase> {};

TEST_P(BackgroundTraceTest, WritesTheWholeTraceIntoTheExpandedFileAndEndsWithTheLogoff) {
  const std::string pattern = "trace_#date#_#time#_#computer#.log";
  const std::time_t before = std::time(nullptr);
  auto& process = Start(kOneCallScenario, {"-0", pattern, "ignored third argument"}, 0, GetParam().platform);

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

  ASSERT_TRUE(EndsCleanlyOn(GetParam().signal));
  const std::string content = ReadFile(work_ / name);
  EXPECT_EQ(MaskStamps(content), trace + Logoff());
  const auto times = StampTimes(content);
  EXPECT_EQ(times.size(), 11u);
  for (std::size_t i = 1; i < times.size(); ++i) {
    // Later lines never carry earlier times (a trace across midnight aside).
    EXPECT_TRUE(times[i] >= times[i - 1] || times[i - 1] - times[i] > 86000000) << i;
  }
  EXPECT_EQ(FilesIn(work_).size(), 1u);
  // Nothing on standard error but what matters: no warnings of the platform.
  EXPECT_EQ(Output().find("This plugin does not support"), std::string::npos) << Output();
}

INSTANTIATE_TEST_SUITE_P(Signals, BackgroundTraceTest,
                         ::testing::Values(BackgroundCase{SIGTERM, "offscreen"},
                                           BackgroundCase{SIGINT, "offscreen"},
                                           BackgroundCase{SIGHUP, "offscreen"}, BackgroundCase{SIGTERM, ""}),
                         [](const ::testing::TestParamInfo<BackgroundCase>& named) {
                           const int signal = named.param.signal;
                           return std::string(signal == SIGTERM  ? "SIGTERM"
                                              : signal == SIGINT ? "SIGINT"
                                                                 : "SIGHUP") +
                                  (*named.param.platform == '\0' ? "WithoutDisplay" : "");
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
                                           LineArgumentCase{"-session", -1, "s.log"}),
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

TEST_F(ProcessTest, OneArgumentAloneStartsInteractiveModeAndWritesNothing) {
  auto& process = Start(kRefusedScenario, {"alone.log"});
  ASSERT_NO_FATAL_FAILURE(WaitUntilRunningAndSettled());
  EXPECT_TRUE(process.Running());
  EXPECT_TRUE(FilesIn(work_).empty());
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_TRUE(FilesIn(work_).empty());
  EXPECT_EQ(Output().find("This plugin does not support"), std::string::npos) << Output();
}

// Starts that cannot go on, with nobody to see a box (offscreen, or no
// display at all): one line on standard error, nothing written, and the
// program ends by itself with a status that says it failed. A file that
// another writer holds is refused like one that cannot be created, and left
// as it is.
struct RefusedStartCase {
  const char* name;
  const char* file;  // the background file; none: interactive ("plain" alone)
  const char* platform;
  bool lockPlain;  // another writer holds the file "plain"
  int status;
  const char* message;
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
  const auto arguments =
      c.file != nullptr ? std::vector<std::string>{"-0", c.file} : std::vector<std::string>{"plain"};
  auto& process = Start(kOneCallScenario, arguments, 0, c.platform);
  const auto status = process.WaitForExit();
  ::close(held);
  EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == c.status) << DescribeStatus(status);
  const std::string output = "\n" + Output();
  EXPECT_NE(output.find(std::string("\nordalyn: ") + c.message), std::string::npos) << output;
  EXPECT_EQ(FilesIn(work_), std::vector<std::string>{"plain"});
  EXPECT_EQ(ReadFile(work_ / "plain"), "a regular file\n");
}

constexpr const char* kInUse =
    "Cannot create file \"plain\": The file is being written by another program (OS";

INSTANTIATE_TEST_SUITE_P(
    Starts, RefusedStartTest,
    ::testing::Values(
        RefusedStartCase{"MissingDirectory", "missing/dir/t.log", "offscreen", false, 1,
                         "Cannot create file \"missing/dir/t.log\": No such file or directory (OS"},
        RefusedStartCase{"ThroughARegularFile", "plain/t.log", "offscreen", false, 1,
                         "Cannot create file \"plain/t.log\": Not a directory (OS error 20)"},
        RefusedStartCase{"FileOfAnotherWriter", "plain", "offscreen", true, 1, kInUse},
        RefusedStartCase{"FileOfAnotherWriterWithoutDisplay", "plain", "", true, 1, kInUse},
        RefusedStartCase{"PipeWithoutReader", "../fifo", "offscreen", false, 1,
                         "Cannot create file \"../fifo\": The pipe has no reader (OS error 6)"},
        RefusedStartCase{"InteractiveWithoutDisplay", nullptr, "", false, 2, "No display"}),
    [](const ::testing::TestParamInfo<RefusedStartCase>& named) { return std::string(named.param.name); });

// Files that take no byte: /dev/full (every write fails with ENOSPC, as on a
// full disk) and a pipe whose reader has gone (EPIPE). The program reports it
// on standard error, keeps going, and ends cleanly by signal.
struct RefusedWriteCase {
  const char* name;
  const char* file;
  bool readerGoes;  // the file is the pipe "../fifo", read for a while
  const char* message;
};

void PrintTo(const RefusedWriteCase& c, std::ostream* out) { *out << c.name; }

class RefusedWriteTest : public ProcessTest, public ::testing::WithParamInterface<RefusedWriteCase> {};

TEST_P(RefusedWriteTest, NeitherCrashesNorStopsTheEndBySignal) {
  const RefusedWriteCase& c = GetParam();
  if (!c.readerGoes && ::access(c.file, W_OK) != 0) {
    GTEST_SKIP() << "no writable " << c.file << " here";
  }
  int reader = -1;
  if (c.readerGoes) {
    ASSERT_EQ(::mkfifo((root_ / "fifo").c_str(), 0600), 0) << std::strerror(errno);
    reader = ::open((root_ / "fifo").c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(reader, 0) << std::strerror(errno);
  }
  auto& process = Start(kEndlessScenario, {"-0", c.file});
  if (reader >= 0) {
    char buffer[256];
    EXPECT_TRUE(PollUntil([&] { return ::read(reader, buffer, sizeof buffer) > 0; })) << Output();
    ::close(reader);
  }
  ASSERT_TRUE(PollUntil([&] { return Output().find(c.message) != std::string::npos; })) << Output();
  EXPECT_FALSE(PollUntil([&] { return !process.Running(); }, kSettle))
      << DescribeStatus(process.WaitForExit(milliseconds(0)));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_TRUE(FilesIn(work_).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Files, RefusedWriteTest,
    ::testing::Values(
        RefusedWriteCase{
            "FullDisk", "/dev/full", false,
            "ordalyn: Cannot write to file \"/dev/full\": No space left on device (OS error 28)\n"},
        RefusedWriteCase{"PipeWithoutReader", "../fifo", true,
                         "ordalyn: Cannot write to file \"../fifo\": Broken pipe (OS error 32)\n"}),
    [](const ::testing::TestParamInfo<RefusedWriteCase>& named) { return std::string(named.param.name); });

// The disk fills up during the trace: the file takes the header, the logon
// and some events, then refuses every further byte.
TEST_F(ProcessTest, AFileThatStopsGrowingDuringTheTraceNeitherCrashesNorStopsTheEndBySignal) {
  constexpr rlim_t kLimit = 1024;
  auto& process = Start(kEndlessScenario, {"-0", "limited.log"}, kLimit);
  const fs::path file = work_ / "limited.log";
  ASSERT_TRUE(PollUntil([&] { return fs::exists(file) && fs::file_size(file) == kLimit; }))
      << MaskStamps(ReadFile(file));
  std::string expected = Logon("LineOpen: OK", "TAPI - Logon (Version: 2.2) - Busy Line (TAPI-Line: 0)");
  while (expected.size() < kLimit) {
    expected += Stamped("LINE_LINEDEVSTATE - 2|0|1");
  }
  EXPECT_EQ(MaskStamps(ReadFile(file)), MaskStamps(expected.substr(0, kLimit)));
  // Events keep arriving and failing.
  EXPECT_FALSE(PollUntil([&] { return !process.Running(); }, kSettle))
      << DescribeStatus(process.WaitForExit(milliseconds(0)));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_EQ(fs::file_size(file), kLimit);
}

// The file refuses the very first write and takes data again later, on a
// quiet line: the logon has run all the same, and the retry brings the whole
// trace into the file without a further line arriving.
TEST_F(ProcessTest, AFileFullFromTheStartGetsTheWholeTraceOnceItTakesDataAgain) {
  auto& process = Start(kOneCallScenario, {"-0", "late.log"}, 1);
  const fs::path file = work_ / "late.log";
  ASSERT_TRUE(PollUntil([&] { return fs::exists(file) && fs::file_size(file) == 1; }));
  std::this_thread::sleep_for(kSettle);  // the call's messages arrive and fail meanwhile
  ASSERT_TRUE(process.Running());
  EXPECT_EQ(fs::file_size(file), 1u);
  const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
  ASSERT_EQ(::prlimit(process.Pid(), RLIMIT_FSIZE, &unlimited, nullptr), 0) << std::strerror(errno);
  const std::string trace = OneCallTrace();
  ASSERT_TRUE(WaitForTrace(file, trace));
  ASSERT_TRUE(EndsCleanlyOn(SIGTERM));
  EXPECT_EQ(MaskStamps(ReadFile(file)), trace + Logoff());
}

}  // namespace
}  // namespace ordalyn
