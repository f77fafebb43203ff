#include "log/tracelog.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "fakeoutputfile.h"
#include "util/ioerror.h"

namespace ordalyn {
namespace {

using testing::FakeDisk;
using testing::MakeFakeFile;

class RecordingScreen : public ScreenLog {
 public:
  std::vector<std::string> lines;
  void AppendLine(const std::string& line) override { lines.push_back(line); }
};

const std::string kDashes(92, '-');
const std::string kRule(48, '=');

class TraceLogTest : public ::testing::Test {
 protected:
  std::unique_ptr<TraceLog> MakeLog(const std::string& separator = ":") {
    return std::make_unique<TraceLog>(
        screen, clock, separator, [this] { return build; }, [this] { return copyright; }, MakeFakeFile(disk));
  }

  std::unique_ptr<TraceLog> MakeBackgroundLog(const std::string& fileName = "tapilog.log") {
    auto log = MakeLog();
    log->SetBackgroundFileName(fileName);
    log->OpenBackgroundFile();
    return log;
  }

  // Runs a write that must fail and gives its error.
  static IoError Failure(const std::function<void()>& write) {
    try {
      write();
    } catch (const IoError& error) {
      return error;
    }
    ADD_FAILURE() << "no IoError";
    return IoError(0, "none");
  }

  RecordingScreen screen;
  FakeClock clock{{2011, 9, 1, 9, 5, 7, 42}};
  std::string build = "Build: 1.0.0.1";
  std::string copyright = "(c) 2011 Marbleknot";
  FakeDisk disk;
};

TEST(TraceLogStamp, PadsEveryFieldAndUsesTheSeparatorThreeTimes) {
  struct Case {
    LocalDateTime time;
    const char* separator;
    const char* expected;
  };
  const Case cases[] = {
      {{2011, 9, 1, 9, 5, 7, 42}, ":", "09:05:07:042"},
      {{2011, 9, 1, 0, 0, 0, 0}, ":", "00:00:00:000"},
      {{2011, 9, 1, 23, 59, 59, 999}, ":", "23:59:59:999"},
      {{2011, 9, 1, 9, 5, 7, 42}, ".", "09.05.07.042"},
      {{2011, 9, 1, 12, 30, 1, 5}, "", "123001005"},
      {{2011, 9, 1, 12, 30, 1, 5}, " h ", "12 h 30 h 01 h 005"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TraceLog::Stamp(c.time, c.separator), c.expected) << c.expected;
  }
}

TEST_F(TraceLogTest, StampedLinesGoToTheScreen) {
  auto log = MakeLog();
  log->LogLine("LINE_APPNEWCALL");
  log->LogLine("");
  log->LogLine("a | b");
  EXPECT_EQ(screen.lines, (std::vector<std::string>{"09:05:07:042 | LINE_APPNEWCALL", "09:05:07:042 | ",
                                                    "09:05:07:042 | a | b"}));
  EXPECT_EQ(disk.creates, 0);
  EXPECT_EQ(disk.writeCalls, 0);
}

TEST_F(TraceLogTest, AnotherTimeSeparatorChangesTheStampOnly) {
  auto log = MakeLog(".");
  log->LogLine("a | b");
  EXPECT_EQ(screen.lines, (std::vector<std::string>{"09.05.07.042 | a | b"}));
}

TEST_F(TraceLogTest, EveryLineReadsTheClockAgain) {
  auto log = MakeLog();
  log->LogLine("one");
  clock.Set({2011, 9, 1, 13, 0, 59, 7});
  log->LogLine("two");
  EXPECT_EQ(screen.lines, (std::vector<std::string>{"09:05:07:042 | one", "13:00:59:007 | two"}));
}

TEST_F(TraceLogTest, SeparatorAndHeaderAreUnstamped) {
  auto log = MakeLog();
  log->LogSeparator();
  log->LogHeader();
  build = "Build: 2.0.0.7";
  log->LogHeader();
  EXPECT_EQ(screen.lines,
            (std::vector<std::string>{kDashes, "Ordalyn - Build: 1.0.0.1", "(c) 2011 Marbleknot", kRule, "",
                                      "Ordalyn - Build: 2.0.0.7", "(c) 2011 Marbleknot", kRule, ""}));
  EXPECT_EQ(kDashes.size(), 92u);
  EXPECT_EQ(kRule.size(), 48u);
}

TEST_F(TraceLogTest, BackgroundLinesGoToTheFileWithCrLfAndLeaveTheScreenAlone) {
  auto log = MakeLog();
  log->LogLine("before");
  log->SetBackgroundFileName("tapilog.log");
  log->OpenBackgroundFile();
  EXPECT_TRUE(log->BackgroundFileOpen());
  EXPECT_EQ(disk.contents, "");  // opening writes nothing of its own
  log->LogHeader();
  log->LogLine("TAPI - Logon");
  log->LogSeparator();
  log->LogLine("\xE4\xF6\xFC\xDF");  // code page 1252 bytes pass unchanged
  log->CloseBackgroundFile();
  EXPECT_FALSE(log->BackgroundFileOpen());
  EXPECT_EQ(disk.contents, "Ordalyn - Build: 1.0.0.1\r\n(c) 2011 Marbleknot\r\n" + kRule + "\r\n\r\n" +
                               "09:05:07:042 | TAPI - Logon\r\n" + kDashes +
                               "\r\n09:05:07:042 | \xE4\xF6\xFC\xDF\r\n");
  EXPECT_EQ(screen.lines, (std::vector<std::string>{"09:05:07:042 | before"}));
}

TEST_F(TraceLogTest, TheFileReceivesWholeBuffersUntilItIsClosed) {
  auto log = MakeBackgroundLog();
  std::string expected;
  for (int i = 0; i < 40; ++i) {
    const std::string text(static_cast<std::size_t>(i % 7) * 9, static_cast<char>('a' + i % 26));
    log->LogLine(text);
    expected += "09:05:07:042 | " + text + "\r\n";
    const std::size_t onDisk = expected.size() - expected.size() % TraceLog::kBufferSize;
    ASSERT_EQ(disk.contents, expected.substr(0, onDisk)) << "after line " << i;
    EXPECT_EQ(log->WaitingBytes(), expected.size() - onDisk);
  }
  ASSERT_NE(expected.size() % TraceLog::kBufferSize, 0u);
  log->CloseBackgroundFile();
  EXPECT_EQ(disk.contents, expected);
}

TEST_F(TraceLogTest, AFailingWriteInTheHeaderStillTakesAllFourLines) {
  auto log = MakeBackgroundLog();
  // 85 bytes wait; the header's first two lines make 101 and the rule passes
  // the buffer's end, so its write is the one that fails; the empty line
  // after it is tried as well, and the error comes once, at the end.
  log->LogLine(std::string(85 - 17, 'x'));
  build = "B";
  copyright = "C";
  ASSERT_EQ(log->WaitingBytes(), 85u);
  disk.failingWrites = 1;
  const IoError error = Failure([&] { log->LogHeader(); });
  EXPECT_EQ(error.ErrorCode(), 28);
  EXPECT_EQ(error.FileName(), "tapilog.log");
  EXPECT_EQ(disk.failedWrites, 1);
  EXPECT_EQ(disk.writeCalls, 2);  // the empty line wrote out the refused buffer
  const std::string all =
      "09:05:07:042 | " + std::string(68, 'x') + "\r\nOrdalyn - B\r\nC\r\n" + kRule + "\r\n\r\n";
  EXPECT_EQ(disk.contents, all.substr(0, TraceLog::kBufferSize));
  EXPECT_EQ(log->WaitingBytes(), all.size() - TraceLog::kBufferSize);
  EXPECT_TRUE(log->BackgroundFileOpen());
  // The next write is tried in the normal way and the refused text comes first.
  log->LogLine("next");
  log->CloseBackgroundFile();
  EXPECT_EQ(disk.contents, all + "09:05:07:042 | next\r\n");
}

// Kept text waits for no next line: the owner's timer retries it until the
// file takes it, and the file lags behind as little as ever afterwards.
TEST_F(TraceLogTest, RetryingWritesOutAllKeptTextOnceTheFileTakesItAgain) {
  auto log = MakeBackgroundLog();
  int kept = 0;
  log->SetKeptTextListener([&] { ++kept; });
  disk.failForever = true;
  disk.takenBeforeFailure = 10;
  EXPECT_THROW(log->LogLine(std::string(150, 'a')), IoError);
  EXPECT_THROW(log->LogLine("b"), IoError);
  EXPECT_TRUE(log->KeptText());
  EXPECT_EQ(kept, 1);    // once per turn to kept text
  log->RetryKeptText();  // still full: silent, everything kept
  EXPECT_TRUE(log->KeptText());
  disk.failForever = false;
  log->RetryKeptText();
  EXPECT_FALSE(log->KeptText());
  EXPECT_EQ(disk.contents, "09:05:07:042 | " + std::string(150, 'a') + "\r\n09:05:07:042 | b\r\n");
  // The ordinary lag again: a short line waits in the buffer.
  log->LogLine("c");
  EXPECT_EQ(log->WaitingBytes(), 18u);
  EXPECT_FALSE(log->KeptText());

  // Lines dropped beyond the bound are noted when the retry succeeds.
  disk.failForever = true;
  disk.takenBeforeFailure = 0;
  EXPECT_THROW(log->LogLine(std::string(TraceLog::kMaxBacklog - 40, 'd')), IoError);
  EXPECT_THROW(log->LogLine("dropped"), IoError);
  EXPECT_EQ(kept, 2);
  disk.failForever = false;
  disk.contents.clear();
  log->RetryKeptText();
  EXPECT_FALSE(log->KeptText());
  const std::string note = "*** 1 trace line dropped while the file could not be written ***\r\n";
  EXPECT_EQ(disk.contents.size(), 18u + 15u + TraceLog::kMaxBacklog - 40 + 2 + note.size());
  EXPECT_EQ(disk.contents.substr(disk.contents.size() - note.size()), note);
}

TEST_F(TraceLogTest, WithoutAnOpenFileEveryWriteFailsAsNotOpenForOutput) {
  auto log = MakeLog();
  log->SetBackgroundFileName("never.log");
  const std::vector<std::function<void()>> writes = {[&] { log->LogLine("x"); }, [&] { log->LogSeparator(); },
                                                     [&] { log->LogHeader(); }, [&] { log->LogLine("y"); },
                                                     [&] { log->CloseBackgroundFile(); }};
  for (const auto& write : writes) {
    const IoError error = Failure(write);
    EXPECT_EQ(error.ErrorCode(), NotOpenErrorCode());
    EXPECT_EQ(std::string(error.what()),
              "Cannot write to file \"never.log\": File not open for output (OS error " +
                  std::to_string(NotOpenErrorCode()) + ")");
  }
  EXPECT_TRUE(screen.lines.empty());
  EXPECT_EQ(disk.writeCalls, 0);
}

TEST_F(TraceLogTest, AFileThatCannotBeCreatedLeavesTheNameSetAndNoFileOpen) {
  auto log = MakeLog();
  log->SetBackgroundFileName("/no/such/dir/t.log");
  disk.createError = 2;
  const IoError error = Failure([&] { log->OpenBackgroundFile(); });
  EXPECT_EQ(error.ErrorCode(), 2);
  EXPECT_EQ(std::string(error.what()),
            "Cannot create file \"/no/such/dir/t.log\": " + OsErrorText(2) + " (OS error 2)");
  EXPECT_FALSE(log->BackgroundFileOpen());
  EXPECT_EQ(log->BackgroundFileName(), "/no/such/dir/t.log");
  EXPECT_EQ(Failure([&] { log->LogLine("x"); }).ErrorCode(), NotOpenErrorCode());
  EXPECT_TRUE(screen.lines.empty());
}

TEST_F(TraceLogTest, ReopeningEmptiesTheFile) {
  auto log = MakeBackgroundLog();
  log->LogLine("first run");
  log->CloseBackgroundFile();
  ASSERT_FALSE(disk.contents.empty());
  log->OpenBackgroundFile();
  EXPECT_EQ(disk.contents, "");
  log->LogLine("second run");
  log->CloseBackgroundFile();
  EXPECT_EQ(disk.contents, "09:05:07:042 | second run\r\n");
}

TEST_F(TraceLogTest, OpeningAgainWhileOpenWritesOutTheFirstFile) {
  auto log = MakeBackgroundLog();
  log->LogLine("kept");
  ASSERT_EQ(disk.writeCalls, 0);
  log->OpenBackgroundFile();
  EXPECT_EQ(disk.writeCalls, 1);
  EXPECT_EQ(disk.creates, 2);
  EXPECT_EQ(log->WaitingBytes(), 0u);
  EXPECT_TRUE(log->BackgroundFileOpen());
}

TEST_F(TraceLogTest, AfterFailuresTheFileStaysCompleteAndInOrder) {
  struct Case {
    int failingWrites;
    std::size_t takenBeforeFailure;
  };
  const Case cases[] = {{1, 0}, {3, 0}, {4, 50}, {2, 127}};
  for (const auto& c : cases) {
    disk = FakeDisk{};
    auto log = MakeBackgroundLog();
    disk.failingWrites = c.failingWrites;
    disk.takenBeforeFailure = c.takenBeforeFailure;
    std::string expected;
    int errors = 0;
    for (int i = 0; i < 60; ++i) {
      const std::string text =
          "event " + std::to_string(i) + std::string(static_cast<std::size_t>(i % 5) * 11, '.');
      expected += "09:05:07:042 | " + text + "\r\n";
      try {
        log->LogLine(text);
      } catch (const IoError& error) {
        EXPECT_EQ(error.ErrorCode(), 28);
        ++errors;
      }
    }
    EXPECT_EQ(errors, c.failingWrites);  // every failing write raised its own error
    EXPECT_LT(log->WaitingBytes(), TraceLog::kBufferSize);
    log->CloseBackgroundFile();
    EXPECT_EQ(disk.contents, expected) << c.failingWrites << " " << c.takenBeforeFailure;
  }
}

TEST_F(TraceLogTest, BeyondTheBoundLinesAreDroppedAndTheFileSaysSo) {
  auto log = MakeBackgroundLog();
  disk.failForever = true;
  const std::string text(1024 - 17, 'k');  // 1024 bytes with stamp and CR LF
  const std::size_t kept = TraceLog::kMaxBacklog / 1024;
  for (std::size_t i = 0; i < kept; ++i) {
    EXPECT_THROW(log->LogLine(text), IoError);
  }
  ASSERT_EQ(log->WaitingBytes(), TraceLog::kMaxBacklog);
  for (int i = 0; i < 3; ++i) {
    const IoError error = Failure([&] { log->LogLine("lost " + std::to_string(i)); });
    EXPECT_EQ(error.ErrorCode(), 28);
    EXPECT_NE(std::string(error.what())
                  .find("more than 4 MiB of trace text are waiting for the file, so this line "
                        "was dropped"),
              std::string::npos)
        << error.what();
    EXPECT_EQ(log->WaitingBytes(), TraceLog::kMaxBacklog);
  }
  disk.failForever = false;
  log->LogLine("space again");
  log->CloseBackgroundFile();
  std::string expected;
  for (std::size_t i = 0; i < kept; ++i) {
    expected += "09:05:07:042 | " + text + "\r\n";
  }
  expected +=
      "*** 3 trace lines dropped while the file could not be written ***\r\n09:05:07:042 | space again\r\n";
  EXPECT_EQ(disk.contents.size(), expected.size());
  EXPECT_TRUE(disk.contents == expected);
}

TEST_F(TraceLogTest, ADroppedLineIsNotedAtCloseToo) {
  auto log = MakeBackgroundLog();
  disk.failForever = true;
  const std::string text(TraceLog::kMaxBacklog - 100, 'b');
  EXPECT_THROW(log->LogLine(text), IoError);
  EXPECT_THROW(log->LogLine(text), IoError);  // no room for a second one
  disk.failForever = false;
  log->CloseBackgroundFile();
  EXPECT_EQ(disk.contents, "09:05:07:042 | " + text +
                               "\r\n*** 1 trace line dropped while the file could not be written ***\r\n");
}

TEST_F(TraceLogTest, ALongLineFitsWhenNothingWaits) {
  auto log = MakeBackgroundLog();
  const std::string text(TraceLog::kMaxBacklog + 10, 'L');
  log->LogLine(text);
  log->CloseBackgroundFile();
  EXPECT_EQ(disk.contents, "09:05:07:042 | " + text + "\r\n");
}

TEST_F(TraceLogTest, AFailureAtCloseStillClosesTheFile) {
  auto log = MakeBackgroundLog();
  log->LogLine("short");
  disk.failForever = true;
  const IoError error = Failure([&] { log->CloseBackgroundFile(); });
  EXPECT_EQ(error.ErrorCode(), 28);
  EXPECT_NE(std::string(error.what()).find("; 22 bytes of trace text could not be written before closing"),
            std::string::npos)
      << error.what();
  EXPECT_FALSE(log->BackgroundFileOpen());
  EXPECT_EQ(Failure([&] { log->LogLine("x"); }).ErrorCode(), NotOpenErrorCode());

  disk = FakeDisk{};
  log->OpenBackgroundFile();
  disk.closeError = 5;
  const IoError closeError = Failure([&] { log->CloseBackgroundFile(); });
  EXPECT_EQ(closeError.ErrorCode(), 5);
  EXPECT_EQ(std::string(closeError.what()).rfind("Cannot close file \"tapilog.log\": ", 0), 0u)
      << closeError.what();
}

// Whether trace text never reached the file, as the exit status tells it.
struct LossCase {
  const char* name;
  std::function<void(TraceLog&, FakeDisk&)> run;  // between opening and closing the file
  bool lost;
};

void PrintTo(const LossCase& c, std::ostream* out) { *out << c.name; }

class TextLossTest : public TraceLogTest, public ::testing::WithParamInterface<LossCase> {};

TEST_P(TextLossTest, TextLostSaysWhetherEveryLineReachedTheFile) {
  auto log = MakeBackgroundLog();
  GetParam().run(*log, disk);
  try {
    log->CloseBackgroundFile();
  } catch (const IoError&) {
  }
  EXPECT_EQ(log->TextLost(), GetParam().lost);
}

const std::string kLongLine(200, 'x');  // more than the write buffer: written at once

INSTANTIATE_TEST_SUITE_P(
    Cases, TextLossTest,
    ::testing::Values(LossCase{"EverythingWritten", [](TraceLog& log, FakeDisk&) { log.LogLine(kLongLine); },
                               false},
                      LossCase{"KeptThenWritten",
                               [](TraceLog& log, FakeDisk& disk) {
                                 disk.failingWrites = 1;
                                 EXPECT_THROW(log.LogLine(kLongLine), IoError);
                                 log.RetryKeptText();
                               },
                               false},
                      LossCase{"StillKeptAtTheEnd",
                               [](TraceLog& log, FakeDisk& disk) {
                                 disk.failForever = true;
                                 EXPECT_THROW(log.LogLine(kLongLine), IoError);
                               },
                               true},
                      LossCase{"OnlyTheBufferLeftAtTheEnd",
                               [](TraceLog& log, FakeDisk& disk) {
                                 log.LogLine("short");
                                 disk.failForever = true;
                               },
                               true},
                      LossCase{"DroppedThenWritten",
                               [](TraceLog& log, FakeDisk& disk) {
                                 disk.failForever = true;
                                 const std::string text(TraceLog::kMaxBacklog - 100, 'b');
                                 EXPECT_THROW(log.LogLine(text), IoError);
                                 EXPECT_THROW(log.LogLine(text), IoError);
                                 disk.failForever = false;
                                 log.RetryKeptText();
                               },
                               true}),
    [](const ::testing::TestParamInfo<LossCase>& named) { return std::string(named.param.name); });

// A pipe whose reader has gone refuses every write for good: the owner hears
// of it once, from inside the failing write; a full disk is not final.
TEST_F(TraceLogTest, AWriteErrorThatIsFinalIsToldOnce) {
  constexpr int kBrokenPipe = testing::kBrokenPipeCode;
  auto log = MakeBackgroundLog();
  int told = 0;
  log->SetFileLostListener([&] { ++told; });
  disk.failForever = true;
  EXPECT_THROW(log->LogLine(kLongLine), IoError);
  EXPECT_EQ(told, 0);
  EXPECT_FALSE(log->FileLost());
  disk.errorCode = kBrokenPipe;
  EXPECT_THROW(log->LogLine(kLongLine), IoError);
  EXPECT_THROW(log->LogLine(kLongLine), IoError);
  log->RetryKeptText();
  EXPECT_EQ(told, 1);
  EXPECT_TRUE(log->FileLost());
}

TEST_F(TraceLogTest, DestroyingTheLogWritesOutAndClosesTheFile) {
  {
    auto log = MakeBackgroundLog();
    log->LogLine("last words");
    EXPECT_EQ(disk.contents, "");
  }
  EXPECT_FALSE(disk.open);
  EXPECT_EQ(disk.contents, "09:05:07:042 | last words\r\n");
}

}  // namespace
}  // namespace ordalyn
