// The trace log against the system's real files.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "log/tracelog.h"
#include "support/polling.h"
#include "support/scratchdir.h"
#include "util/endrequest.h"
#include "util/ioerror.h"

#ifndef _WIN32
#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <thread>
#endif

namespace ordalyn {
namespace {

// What the system reports for a file in a folder that does not exist.
#ifdef _WIN32
constexpr int kMissingFolder = 3;  // ERROR_PATH_NOT_FOUND
#else
constexpr int kMissingFolder = ENOENT;
#endif

class NoScreen : public ScreenLog {
 public:
  void AppendLine(const std::string& line) override { ADD_FAILURE() << "screen got: " << line; }
};

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class TraceLogFileTest : public ::testing::Test {
 protected:
  TraceLog MakeLog() {
    return TraceLog(
        screen, clock, ":", [] { return std::string("Build: 1.0.0.1"); },
        [] { return std::string("(c) 2011"); });
  }

  test::ScratchDir scratch;
  NoScreen screen;
  FakeClock clock{{2011, 9, 1, 20, 10, 0, 5}};
  std::string path = scratch.File("tapilog.log");
};

TEST_F(TraceLogFileTest, AReaderSeesTheFileLagByLessThanOneBuffer) {
  auto log = MakeLog();
  log.SetBackgroundFileName(path);
  log.OpenBackgroundFile();
  std::string expected;
  const auto add = [&](const std::string& line) { expected += line + "\r\n"; };
  log.LogHeader();
  add("Ordalyn - Build: 1.0.0.1");
  add("(c) 2011");
  add(std::string(48, '='));
  add("");
  EXPECT_EQ(ReadFile(path), "");
  for (int i = 0; i < 25; ++i) {
    log.LogLine("line " + std::to_string(i));
    add("20:10:00:005 | line " + std::to_string(i));
    const std::size_t onDisk = expected.size() - expected.size() % TraceLog::kBufferSize;
    ASSERT_EQ(ReadFile(path), expected.substr(0, onDisk)) << "after line " << i;
  }
  log.LogSeparator();
  add(std::string(92, '-'));
  log.CloseBackgroundFile();
  EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(TraceLogFileTest, OpeningEmptiesAnExistingFile) {
  std::ofstream(path, std::ios::binary) << "an earlier trace that is longer than the new one\r\n";
  auto log = MakeLog();
  log.SetBackgroundFileName(path);
  log.OpenBackgroundFile();
  EXPECT_EQ(ReadFile(path), "");
  log.LogLine("\x80 new");
  log.CloseBackgroundFile();
  EXPECT_EQ(ReadFile(path), "20:10:00:005 | \x80 new\r\n");
}

TEST_F(TraceLogFileTest, OtherProgramsMayReadTheOpenFile) {
  auto log = MakeLog();
  log.SetBackgroundFileName(path);
  log.OpenBackgroundFile();
  log.LogLine(std::string(200, 'r'));
  std::ifstream reader(path, std::ios::binary);
  ASSERT_TRUE(reader.is_open());
  std::string seen(TraceLog::kBufferSize, '\0');
  EXPECT_TRUE(reader.read(seen.data(), static_cast<std::streamsize>(seen.size())));
  EXPECT_EQ(seen, "20:10:00:005 | " + std::string(TraceLog::kBufferSize - 15, 'r'));
#ifdef _WIN32
  // Writing is kept for the trace alone.
  std::ofstream writer(path, std::ios::binary | std::ios::app);
  EXPECT_FALSE(writer.is_open());
#endif
  log.CloseBackgroundFile();
}

TEST_F(TraceLogFileTest, AFileInAMissingFolderCannotBeCreated) {
  auto log = MakeLog();
  const std::string missing = path + ".d/sub/t.log";
  log.SetBackgroundFileName(missing);
  try {
    log.OpenBackgroundFile();
    FAIL() << "opened " << missing;
  } catch (const IoError& error) {
    EXPECT_EQ(error.ErrorCode(), kMissingFolder);
    EXPECT_EQ(std::string(error.what()), "Cannot create file \"" + missing +
                                             "\": " + OsErrorText(kMissingFolder) + " (OS error " +
                                             std::to_string(kMissingFolder) + ")");
  }
  EXPECT_FALSE(log.BackgroundFileOpen());
}

TEST_F(TraceLogFileTest, AFullDeviceFailsEveryBufferThatIsWrittenOut) {
  if (!std::filesystem::exists("/dev/full")) {
    GTEST_SKIP() << "no /dev/full here";
  }
  auto log = MakeLog();
  log.SetBackgroundFileName("/dev/full");
  log.OpenBackgroundFile();
  int errors = 0;
  for (int i = 0; i < 20; ++i) {
    try {
      log.LogLine(std::string(50, 'f'));  // 67 bytes a line
    } catch (const IoError& error) {
      EXPECT_EQ(error.ErrorCode(), ENOSPC);
      EXPECT_EQ(std::string(error.what()),
                "Cannot write to file \"/dev/full\": No space left on device (OS error " +
                    std::to_string(ENOSPC) + ")");
      ++errors;
    }
  }
  // The first line fits the buffer; every later one passes its end.
  EXPECT_EQ(errors, 19);
  EXPECT_EQ(log.WaitingBytes(), 20u * 67u);
  EXPECT_THROW(log.CloseBackgroundFile(), IoError);
  EXPECT_FALSE(log.BackgroundFileOpen());
}

#ifndef _WIN32
// A reader that holds a pipe open but takes nothing: the write waits, and
// gives way once the end of the program is requested (a signal's handler
// does that). When the reader goes, the write fails for good.
TEST_F(TraceLogFileTest, AWriteIntoAStalledPipeGivesWayToTheEndAndAGoneReaderIsFinal) {
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  const int reader = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  const int capacity = ::fcntl(reader, F_SETPIPE_SZ, 4096) > 0 ? ::fcntl(reader, F_GETPIPE_SZ) : 65536;
  auto log = MakeLog();
  log.SetBackgroundFileName(path);
  log.OpenBackgroundFile();
  std::thread ender([&] {
    int waiting = 0;
    EXPECT_TRUE(
        test::PollUntil([&] { return ::ioctl(reader, FIONREAD, &waiting) == 0 && waiting == capacity; }));
    RequestEnd();
  });
  int error = 0;
  for (int i = 0; error == 0 && i < 100000; ++i) {
    try {
      log.LogLine(std::string(111, 'p'));  // 128 bytes with the stamp and CR LF
    } catch (const IoError& e) {
      error = e.ErrorCode();
    }
  }
  ender.join();
  ClearEndRequest();
  EXPECT_EQ(error, EAGAIN);
  EXPECT_FALSE(log.FileLost());
  ::close(reader);
  // As the program does: the write fails (EPIPE) instead of ending the process.
  const auto previous = ::signal(SIGPIPE, SIG_IGN);
  log.RetryKeptText();
  EXPECT_TRUE(log.FileLost());
  EXPECT_THROW(log.CloseBackgroundFile(), IoError);
  ::signal(SIGPIPE, previous);
}
#endif

}  // namespace
}  // namespace ordalyn
