// The Windows implementations of the system helpers against the Windows API:
// the computer name, the locale's time separator, and the background file
// that others may read but not write while the trace runs.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "app/core/commandline.h"
#include "log/outputfile.h"
#include "log/tracelog.h"
#include "support/scratchdir.h"
#include "util/clock.h"
#include "util/ioerror.h"
#include "util/timeseparator.h"
#include "util/utools.h"
#include "winehost.h"

namespace ordalyn {
namespace {

using wintest::ReadWholeFile;
using wintest::UnderWine;
using wintest::WineExpected;

// --- Computer name -------------------------------------------------------------

TEST(WindowsComputerName, IsTheNetBiosNameOfTheMachine) {
  char buffer[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD size = sizeof buffer;
  ASSERT_TRUE(GetComputerNameA(buffer, &size));
  const std::string name = ComputerName();
  EXPECT_FALSE(name.empty());
  EXPECT_LE(name.size(), 15u);
  EXPECT_EQ(name, std::string(buffer, size));
  EXPECT_EQ(name.find('\0'), std::string::npos);
}

TEST(WindowsComputerName, NamesTheBackgroundFile) {
  const FakeClock clock({2011, 9, 1, 9, 5, 7, 42});
  EXPECT_EQ(ExpandMacros("trace_#computer#_#date#_#time#.log", clock, ComputerName),
            "trace_" + ComputerName() + "_2011-09-01_09-05.log");
}

// --- Time separator --------------------------------------------------------------

// Puts the user's time separator back when the test ends, however it ends.
class UserTimeSeparator {
 public:
  UserTimeSeparator() {
    char buffer[8] = {};
    if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buffer, sizeof buffer) > 1) {
      saved_ = buffer;
    }
  }
  ~UserTimeSeparator() {
    if (!saved_.empty()) {
      SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, saved_.c_str());
    }
  }
  UserTimeSeparator(const UserTimeSeparator&) = delete;
  UserTimeSeparator& operator=(const UserTimeSeparator&) = delete;

  bool Set(const char* separator) {
    return SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, separator) != 0;
  }
  const std::string& Saved() const { return saved_; }

 private:
  std::string saved_;
};

// Both checks in one test: the second changes a setting of the user that the
// first reads, so they must not run side by side.
TEST(WindowsTimeSeparator, FollowsTheUsersLocale) {
  if (!UnderWine()) {
    ASSERT_FALSE(WineExpected()) << "the test run says wine, but wine's ntdll is not there";
    GTEST_SKIP() << "changes the user's locale settings; only done in a wine prefix";
  }
  const char* locale = std::getenv("LC_ALL");
  ASSERT_TRUE(locale != nullptr && std::string(locale) == "C") << "the test run sets LC_ALL=C";
  EXPECT_EQ(TimeSeparator(), ":");

  UserTimeSeparator setting;
  ASSERT_EQ(setting.Saved(), ":");
  ASSERT_TRUE(setting.Set("."));
  EXPECT_EQ(TimeSeparator(), ".");

  // The trace log takes the separator for its stamps: all three change, " | " does not.
  struct Screen : ScreenLog {
    std::string last;
    void AppendLine(const std::string& line) override { last = line; }
  } screen;
  const FakeClock clock({2011, 9, 1, 9, 5, 7, 42});
  TraceLog log(
      screen, clock, TimeSeparator(), [] { return std::string(); }, [] { return std::string(); });
  log.LogLine("x");
  EXPECT_EQ(screen.last, "09.05.07.042 | x");
}

// --- Background file ---------------------------------------------------------------

HANDLE OpenOther(const std::string& path, DWORD access) {
  return CreateFileA(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

struct ScopedHandle {
  HANDLE handle;
  explicit ScopedHandle(HANDLE h) : handle(h) {}
  ~ScopedHandle() {
    if (handle != INVALID_HANDLE_VALUE) {
      CloseHandle(handle);
    }
  }
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  bool Valid() const { return handle != INVALID_HANDLE_VALUE; }
};

TEST(WindowsBackgroundFile, OthersMayReadButNotWriteWhileItIsOpen) {
  const test::ScratchDir folder;
  const std::string path = folder.File("background.log");
  const std::unique_ptr<OutputFile> file = MakeSystemOutputFile();
  ASSERT_EQ(file->Create(path), 0);
  ASSERT_TRUE(file->IsOpen());
  const OutputFile::WriteResult written = file->Write("first\r\n", 7);
  EXPECT_EQ(written.written, 7u);
  EXPECT_EQ(written.error, 0);

  {
    ScopedHandle reader(OpenOther(path, GENERIC_READ));
    ASSERT_TRUE(reader.Valid()) << "a reader is refused: error " << GetLastError();
    char buffer[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(ReadFile(reader.handle, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(std::string(buffer, got), "first\r\n");
  }
  {
    SetLastError(0);
    ScopedHandle writer(OpenOther(path, GENERIC_WRITE));
    EXPECT_FALSE(writer.Valid()) << "another writer got the file";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  }
  // A second background trace into the same file gets a clear error.
  const std::unique_ptr<OutputFile> second = MakeSystemOutputFile();
  EXPECT_EQ(second->Create(path), ERROR_SHARING_VIOLATION);
  EXPECT_FALSE(second->IsOpen());

  EXPECT_EQ(file->Close(), 0);
  EXPECT_FALSE(file->IsOpen());
  ScopedHandle writer(OpenOther(path, GENERIC_WRITE));
  EXPECT_TRUE(writer.Valid()) << "the file stays locked after closing: error " << GetLastError();
}

TEST(WindowsBackgroundFile, CreatingEmptiesAnExistingFile) {
  const test::ScratchDir folder;
  const std::string path = folder.File("old.log");
  {
    const std::unique_ptr<OutputFile> file = MakeSystemOutputFile();
    ASSERT_EQ(file->Create(path), 0);
    ASSERT_EQ(file->Write("an earlier trace\r\n", 18).written, 18u);
    ASSERT_EQ(file->Close(), 0);
  }
  const std::unique_ptr<OutputFile> file = MakeSystemOutputFile();
  ASSERT_EQ(file->Create(path), 0);
  ASSERT_EQ(file->Write("new", 3).written, 3u);
  ASSERT_EQ(file->Close(), 0);
  std::string contents;
  ASSERT_TRUE(ReadWholeFile(path, contents));
  EXPECT_EQ(contents, "new");
}

TEST(WindowsBackgroundFile, FailuresCarryTheSystemsCodeAndText) {
  const test::ScratchDir folder;
  struct Screen : ScreenLog {
    void AppendLine(const std::string&) override {}
  } screen;
  const FakeClock clock({2011, 9, 1, 9, 5, 7, 42});
  TraceLog log(
      screen, clock, ":", [] { return std::string(); }, [] { return std::string(); });
  const std::string path = folder.File("missing\\trace.log");
  log.SetBackgroundFileName(path);
  try {
    log.OpenBackgroundFile();
    FAIL() << "a file in a missing folder was created";
  } catch (const IoError& error) {
    EXPECT_EQ(error.ErrorCode(), ERROR_PATH_NOT_FOUND);
    const std::string text = error.what();
    const std::string head = "Cannot create file \"" + path + "\": ";
    EXPECT_EQ(text.substr(0, head.size()), head);
    const std::string tail = " (OS error 3)";
    ASSERT_GT(text.size(), head.size() + tail.size()) << "the system's text is missing: " << text;
    EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    EXPECT_EQ(text.find("Unknown error"), std::string::npos) << "the system has a text for it: " << text;
  }
  // Writing without an open file: the system's code for a bad handle.
  try {
    log.LogLine("lost");
    FAIL() << "a line was written without a file";
  } catch (const IoError& error) {
    EXPECT_EQ(error.ErrorCode(), ERROR_INVALID_HANDLE);
    EXPECT_EQ(std::string(error.what()),
              "Cannot write to file \"" + path + "\": File not open for output (OS error 6)");
  }
}

}  // namespace
}  // namespace ordalyn
