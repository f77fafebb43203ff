// The real ordalyn.exe as a process: a background trace from the command line
// on wine's tapi32, ended as Windows ends a program when the user logs off
// (WM_QUERYENDSESSION, then WM_ENDSESSION to its window), read back whole.
// The Windows counterpart of the POSIX process tests' end by SIGTERM.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "support/polling.h"
#include "support/scratchdir.h"
#include "widgets/versioninfo_values.h"
#include "winehost.h"

namespace ordalyn {
namespace {

using namespace std::chrono_literals;
using wintest::ReadWholeFile;
using wintest::UnderWine;

// The program built with the tests, or another copy of it (an installed one)
// named by ORDALYN_PROGRAM_UNDER_TEST. The build names it with a POSIX path;
// wine's drive Z: is /.
std::string ExecutablePath() {
  const char* other = std::getenv("ORDALYN_PROGRAM_UNDER_TEST");
  std::string path = other != nullptr && *other != '\0' ? other : ORDALYN_EXECUTABLE;
  if (!path.empty() && path.front() == '/') {
    path = "Z:" + path;
    for (char& c : path) {
      if (c == '/') c = '\\';
    }
  }
  return path;
}

// Under wine a start takes seconds.
bool PollUntil(const std::function<bool()>& condition) { return test::PollUntil(condition, 30s); }

struct WindowSearch {
  DWORD processId;
  HWND found;
};

// The main window: the process's visible top-level window titled "Ordalyn".
HWND MainWindowOf(DWORD processId) {
  WindowSearch search{processId, nullptr};
  EnumWindows(
      [](HWND window, LPARAM context) -> BOOL {
        auto* s = reinterpret_cast<WindowSearch*>(context);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        char title[64] = {};
        GetWindowTextA(window, title, sizeof title);
        if (owner == s->processId && IsWindowVisible(window) && std::string(title) == "Ordalyn") {
          s->found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

class ProgramProcess {
 public:
  explicit ProgramProcess(const std::string& arguments) {
    std::string commandLine = "\"" + ExecutablePath() + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    started_ = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &info_) != 0;
  }
  ~ProgramProcess() {
    if (!started_) return;
    if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
    CloseHandle(info_.hThread);
    CloseHandle(info_.hProcess);
  }
  ProgramProcess(const ProgramProcess&) = delete;
  ProgramProcess& operator=(const ProgramProcess&) = delete;

  bool Started() const { return started_; }
  DWORD Id() const { return info_.dwProcessId; }
  // The exit code, or STILL_ACTIVE when it did not end within 30 s.
  DWORD WaitForExit() const {
    if (WaitForSingleObject(info_.hProcess, 30000) != WAIT_OBJECT_0) return STILL_ACTIVE;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(info_.hProcess, &code);
    return code;
  }

 private:
  bool started_ = false;
  PROCESS_INFORMATION info_{};
};

std::string MaskStamps(const std::string& text) {
  static const std::regex stamp("(^|\n)[0-9]{2}:[0-9]{2}:[0-9]{2}:[0-9]{3} \\| ");
  return std::regex_replace(text, stamp, "$1hh:nn:ss:zzz | ");
}

TEST(WindowsProgram, BackgroundTraceOnWinesTapi32EndsWithTheSession) {
  if (!UnderWine()) GTEST_SKIP() << "expects the answers of wine's tapi32; this is not wine";
  const char* display = std::getenv("DISPLAY");
  if (display == nullptr || *display == '\0') {
    const char* expected = std::getenv("ORDALYN_EXPECT_DISPLAY");
    ASSERT_FALSE(expected != nullptr && std::string(expected) == "1")
        << "the test run promised a display (scripts/test-windows starts Xvfb), but DISPLAY is not set";
    GTEST_SKIP() << "wine shows windows only on an X display: run through scripts/test-windows";
  }

  const test::ScratchDir folder;
  const std::string file = folder.File("trace.log");
  ProgramProcess program("-0 \"" + file + "\"");
  ASSERT_TRUE(program.Started()) << "cannot start " << ExecutablePath() << " (error " << GetLastError()
                                 << ")";

  // The window appears, then the logon runs on the first activation in one
  // go; once the file holds text the logon is over.
  HWND window = nullptr;
  ASSERT_TRUE(PollUntil([&] { return (window = MainWindowOf(program.Id())) != nullptr; }))
      << "the main window did not appear";
  std::string text;
  ASSERT_TRUE(PollUntil([&] { return ReadWholeFile(file, text) && !text.empty(); }))
      << "the background file stays empty";

  DWORD_PTR answer = 0;
  ASSERT_NE(
      SendMessageTimeoutA(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer), 0);
  EXPECT_EQ(answer, TRUE) << "the program must not hold up the end of the session";
  SendMessageTimeoutA(window, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF, SMTO_NORMAL, 20000, &answer);
  EXPECT_EQ(program.WaitForExit(), 0u);

  // Everything tapi32's answers imply: both calls "OK", version 2.2 from the
  // negotiation, no line name; the logoff lines before the file was closed.
  ASSERT_TRUE(ReadWholeFile(file, text));
  const std::string stamp = "hh:nn:ss:zzz | ";
  const std::string separator = std::string(92, '-') + "\r\n";
  const std::string expected = std::string("Ordalyn - Build: ") + version_values::kFileVersion + "\r\n" +
                               version_values::kLegalCopyright + "\r\n" + std::string(48, '=') + "\r\n\r\n" +
                               stamp + "Initialise: OK\r\n" + stamp + "LineOpen: OK\r\n" + stamp +
                               "TAPI - Logon (Version: 2.2) -  (TAPI-Line: 0)\r\n" + separator + separator +
                               stamp + "LineShutDown: OK\r\n" + stamp + "TAPI - Logoff\r\n";
  EXPECT_EQ(MaskStamps(text), expected);
}

// A variable of this process, and so of the programs it starts, for one test.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    char old[1024] = {};
    const DWORD length = GetEnvironmentVariableA(name, old, sizeof old);
    had_ = length > 0 && length < sizeof old;
    old_ = old;
    SetEnvironmentVariableA(name, value);
  }
  ~ScopedVariable() { SetEnvironmentVariableA(name_.c_str(), had_ ? old_.c_str() : nullptr); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  std::string name_;
  std::string old_;
  bool had_ = false;
};

// The counterpart of the POSIX process tests' interactive starts that nobody
// can see: on a platform that shows no window (offscreen) the program ends at
// once with status 2, also for an empty file name, instead of running for
// ever unseen.
TEST(WindowsProgram, AnInteractiveStartOnAPlatformThatShowsNothingEndsWithStatus2) {
  const ScopedVariable platform("QT_QPA_PLATFORM", "offscreen");
  for (const char* arguments : {"", "-3 \"\""}) {
    ProgramProcess program(arguments);
    ASSERT_TRUE(program.Started()) << "cannot start " << ExecutablePath();
    EXPECT_EQ(program.WaitForExit(), 2u) << arguments;
  }
}

}  // namespace
}  // namespace ordalyn
