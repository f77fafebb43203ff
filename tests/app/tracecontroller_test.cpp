// The trace without a window: the first activation and its command line, the
// background trace, Clear, Save, the closing questions, a full or lost file
// and the end the system asks for, driven through a view that records what
// it is told.
#include "app/core/tracecontroller.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <stdexcept>

#include "fakeoutputfile.h"
#include "fakeplatform.h"
#include "util/ioerror.h"

namespace ordalyn {
namespace {

using test::FakeLine;

const std::string kSeparator(92, '-');

struct FakeView : TraceView {
  TraceController* controller = nullptr;
  std::vector<std::string> screen, entries, asked;
  std::vector<std::string> boxes, errorLines;  // errors the user sees; on standard error alone, once ending
  std::string chosen;
  std::tuple<bool, bool, bool> actions{true, false, true};  // Start, Stop, Clear as the window opens
  std::optional<std::string> saveName;                      // nothing: the save dialog is cancelled
  std::map<std::string, bool> answers;                      // question -> yes; no when absent
  bool panel = false, errorsEnding = false, retryTimer = false, endLater = false, closed = false;
  int minimized = 0, offered = 0, flushes = 0;
  std::vector<int> ended;

  void AppendLine(const std::string& line) override { screen.push_back(line); }
  void ShowLines(const std::vector<std::string>& lines) override { entries = lines; }
  std::string ChosenLine() override { return chosen; }
  void SetTraceActions(bool start, bool stop, bool reset) override { actions = {start, stop, reset}; }
  void ShowBackgroundPanel(bool shown) override { panel = shown; }
  void Minimize() override { ++minimized; }
  std::string BuildLabelText() override { return "Build: 1.0.0.1"; }
  std::string CopyrightLabelText() override { return "(c) Ordalyn"; }
  void ClearScreen() override { screen.clear(); }
  bool WriteScreenText(const std::function<bool(std::string_view)>& write) override {
    return std::all_of(screen.begin(), screen.end(), [&](const auto& line) { return write(line + "\r\n"); });
  }
  std::optional<std::string> AskSaveFileName() override { return saveName; }
  void OfferChosenFileName() override { ++offered; }
  bool AskSaveChanges() override { return Ask("SaveChanges"); }
  bool AskStopLogging() override { return Ask("StopLog"); }
  bool Ask(const std::string& question) {
    asked.push_back(question);
    return answers[question];
  }
  void ShowError(std::exception_ptr error) override {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      ShowError(std::string(e.what()));
    }
  }
  void ShowError(const std::string& text) override { (errorsEnding ? errorLines : boxes).push_back(text); }
  void SetErrorsEnding() override { errorsEnding = true; }
  void FlushRepeats() override { ++flushes; }
  void SetRetryTimer(bool running) override { retryTimer = running; }
  void EndBySystemLater() override { endLater = true; }
  void CloseWindow() override {
    if (controller->CloseQuery()) {
      controller->Close();
      closed = true;
    }
  }
  void EndProgram(int status) override { ended.push_back(status); }
};

// A trace line in the file, at the fixture's time.
std::string Line(const std::string& text) { return "20:10:05:042 | " + text + "\r\n"; }

const std::string kHeader = "Ordalyn - Build: 1.0.0.1\r\n(c) Ordalyn\r\n" + std::string(48, '=') +
                            "\r\n\r\n" + Line("Initialise: OK");

struct TraceControllerTest : ::testing::Test {
  test::FakePlatform platform;
  FakeClock clock{LocalDateTime{2011, 9, 1, 20, 10, 5, 42}};
  testing::FakeDisk disk;  // outlives the controller, whose log may write to it; Save writes to it too
  FakeView view;
  std::unique_ptr<TraceController> controller;
  bool visibleScreen = true;
  bool endRequested = false;

  void SetUp() override {
    platform.lines = {FakeLine{"Modem", 0x10, 0x10}, FakeLine{"Fax - Line 2", 0x20, 0x10},
                      FakeLine{"Voice Modem", 0x1C, LINEBEARERMODE_VOICE}};
  }

  void Create(std::vector<std::string> arguments = {}) {
    TraceServices services;
    services.platform = &platform;
    services.clock = &clock;
    services.computerName = [] { return std::string("PBX7"); };
    services.makeFile = [this] { return testing::MakeFakeFile(disk); };
    services.arguments = std::move(arguments);
    services.visibleScreen = visibleScreen;
    services.endRequested = [this] { return endRequested; };
    services.noScreenText = [] { return std::string("No display"); };
    controller = std::make_unique<TraceController>(services, view);
    view.controller = controller.get();
  }

  TraceController& Controller() { return *controller; }
};

// Starts that begin no trace, and their exit statuses: an interactive one
// where nobody sees the window ends; a background one after the system asked
// the program to end opens nothing (the end itself follows from the event
// loop); a background file that cannot be created is reported, and ends the
// program only where nobody would see the box.
struct StartCase {
  const char* name;
  std::vector<std::string> arguments;
  bool visibleScreen, endRequested;
  int createError;
  std::vector<int> ended;
  std::vector<std::string> boxes, errorLines;
};

void PrintTo(const StartCase& c, std::ostream* out) { *out << c.name; }

struct NoTraceStartTest : TraceControllerTest, ::testing::WithParamInterface<StartCase> {};

TEST_P(NoTraceStartTest, OpensNoLine) {
  const StartCase& c = GetParam();
  visibleScreen = c.visibleScreen;
  endRequested = c.endRequested;
  disk.createError = c.createError;
  Create(c.arguments);
  Controller().Activate();
  EXPECT_EQ(view.ended, c.ended);
  EXPECT_EQ(disk.creates, c.createError != 0 ? 1 : 0);
  EXPECT_EQ(view.boxes, c.boxes);
  EXPECT_EQ(view.errorLines, c.errorLines);
  EXPECT_FALSE(Controller().State().loggedOn);
  for (const auto& call : platform.calls_made) {
    EXPECT_EQ(call.find("lineOpenA"), std::string::npos);
  }
  EXPECT_FALSE(view.panel);
  // Start is offered unless a background file was named.
  EXPECT_EQ(std::get<0>(view.actions), c.createError == 0);
  EXPECT_EQ(Controller().State().selectedDevice, c.createError == 0 ? -1 : 1);
  // The program still closes; a background trace asks about its end.
  view.answers["StopLog"] = true;
  view.CloseWindow();
  EXPECT_TRUE(view.closed);
  EXPECT_EQ(view.boxes, c.boxes);
}

const std::string kCannotCreate = IoError::FromOs(2, "Cannot create file", "bg.log").what();
const std::vector<int> kNoScreen{TraceController::kNoScreenStatus};

// Without a file name there is no background trace.
INSTANTIATE_TEST_SUITE_P(
    Starts, NoTraceStartTest,
    ::testing::Values(
        StartCase{"NoArguments", {}, true, false, 0, {}, {}, {}},
        StartCase{"OneArgument", {"trace.log"}, true, false, 0, {}, {}, {}},
        StartCase{"EmptyFileName", {"-3", ""}, true, false, 0, {}, {}, {}},
        StartCase{"InteractiveUnseen", {}, false, false, 0, kNoScreen, {}, {"No display"}},
        StartCase{"EmptyFileNameUnseen", {"-3", ""}, false, false, 0, kNoScreen, {}, {"No display"}},
        StartCase{"BackgroundAfterAnEndRequest", {"-3", "bg.log"}, true, true, 0, {}, {}, {}},
        StartCase{"UnseenBackgroundAfterAnEndRequest", {"-3", "bg.log"}, false, true, 0, {}, {}, {}},
        StartCase{"BackgroundFileNotCreated", {"-1", "bg.log"}, true, false, 2, {}, {kCannotCreate}, {}},
        StartCase{"UnseenBackgroundFileNotCreated",
                  {"-1", "bg.log"},
                  false,
                  false,
                  2,
                  {TraceController::kNoBackgroundFileStatus},
                  {},
                  {kCannotCreate}}),
    [](const ::testing::TestParamInfo<StartCase>& named) { return std::string(named.param.name); });

TEST_F(TraceControllerTest, ClearEmptiesTheLogAndForgetsTheUnsavedTrace) {
  Create();
  Controller().Activate();
  view.chosen = "1 - Fax - Line 2";
  Controller().Start();
  EXPECT_EQ(Controller().State().selectedDevice, 1);
  Controller().Stop();
  Controller().Clear();
  EXPECT_TRUE(view.screen.empty());
  EXPECT_FALSE(Controller().UnsavedTrace());
  view.CloseWindow();
  EXPECT_TRUE(view.closed);
  EXPECT_TRUE(view.asked.empty());
}

TEST_F(TraceControllerTest, AFailedSaveIsReportedAndLeavesTheTraceUnsaved) {
  Create();
  Controller().Activate();
  Controller().Start();
  view.saveName = "no/such/dir.log";
  disk.createError = 2;
  Controller().Save();
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_NE(view.boxes[0].find("no/such/dir.log"), std::string::npos) << view.boxes[0];
  EXPECT_TRUE(Controller().UnsavedTrace());
  EXPECT_EQ(view.offered, 0);
  view.saveName.reset();  // cancelled
  Controller().Save();
  EXPECT_TRUE(Controller().UnsavedTrace());
  EXPECT_EQ(view.boxes.size(), 1u);
  view.saveName = "saved.log";
  disk.createError = 0;
  Controller().Save();
  EXPECT_FALSE(Controller().UnsavedTrace());
  EXPECT_EQ(view.offered, 1);  // the name really used is offered next time
  EXPECT_TRUE(disk.contents.starts_with(kHeader + Line("LineOpen: OK")));
  EXPECT_FALSE(disk.open);
}

TEST_F(TraceControllerTest, CloseAsksTheQuestionsThatApplyAndObeysTheAnswers) {
  struct Case {
    bool unsaved, background, saveAnswer, stopAnswer;
    std::vector<std::string> asked;
    bool closes;
  };
  const Case cases[] = {
      {false, false, false, false, {}, true},
      {true, false, true, false, {"SaveChanges"}, true},
      {true, false, false, false, {"SaveChanges"}, false},
      {false, true, false, true, {"StopLog"}, true},
      {false, true, false, false, {"StopLog"}, false},
      {true, true, true, true, {"SaveChanges", "StopLog"}, true},
      {true, true, false, true, {"SaveChanges", "StopLog"}, false},
      {true, true, true, false, {"SaveChanges", "StopLog"}, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.unsaved << c.background << c.saveAnswer << c.stopAnswer);
    view = FakeView();
    view.answers = {{"SaveChanges", c.saveAnswer}, {"StopLog", c.stopAnswer}};
    Create(c.background ? std::vector<std::string>{"-0", "bg.log"} : std::vector<std::string>{});
    Controller().Activate();
    if (c.unsaved) {
      Controller().Log().SetBackgroundFileName({});  // Start is not offered in background mode
      Controller().Start();
      Controller().Log().SetBackgroundFileName(c.background ? "bg" : "");
    }
    view.CloseWindow();
    EXPECT_EQ(view.closed, c.closes);
    EXPECT_EQ(view.asked, c.asked);
    // The background trace minimises the window at its start, and again when closing is refused.
    EXPECT_EQ(view.minimized, c.background ? (c.stopAnswer ? 1 : 2) : 0);
  }
}

TEST_F(TraceControllerTest, BackgroundTraceFromTheCommandLine) {
  Create({"-2", "tapilog_#date#_#time#_#computer#.log", "ignored"});
  Controller().Activate();
  EXPECT_EQ(Controller().Log().BackgroundFileName(), "tapilog_2011-09-01_20-10_PBX7.log");
  EXPECT_TRUE(view.panel);
  EXPECT_EQ(Controller().State().selectedDevice, 2);
  EXPECT_EQ(view.actions, std::make_tuple(false, false, true));
  Controller().Start();  // not offered: a second logon would corrupt the running trace
  EXPECT_TRUE(view.screen.empty());
  platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
  view.answers["StopLog"] = true;
  view.CloseWindow();
  EXPECT_TRUE(view.closed);
  EXPECT_EQ(disk.contents, kHeader + Line("LineOpen: OK") +
                               Line("TAPI - Logon (Version: 2.2) - Voice Modem (TAPI-Line: 2)") + kSeparator +
                               "\r\n" + Line("LINE_LINEDEVSTATE - 4|0|1") + kSeparator + "\r\n" +
                               Line("LineShutDown: OK") + Line("TAPI - Logoff"));
  EXPECT_TRUE(view.boxes.empty());
}

// A pipe whose reader has gone never takes data again: the trace ends as if
// the system ended it, with what could not be written lost.
TEST_F(TraceControllerTest, AFileThatIsLostForGoodEndsTheTrace) {
  Create({"-2", "bg.log"});
  Controller().Activate();
  ASSERT_TRUE(Controller().State().loggedOn);
  disk.failForever = true;
  disk.errorCode = testing::kBrokenPipeCode;
  for (int i = 0; i < 5; ++i) {  // more than the write buffer holds
    platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
  }
  EXPECT_GE(disk.failedWrites, 1);
  ASSERT_TRUE(view.endLater);
  EXPECT_FALSE(view.closed);  // not before the failing write has returned
  Controller().EndBySystem();
  EXPECT_TRUE(view.closed);
  EXPECT_EQ(view.ended, std::vector<int>{0});
  EXPECT_TRUE(view.asked.empty());  // no questions
  EXPECT_FALSE(Controller().State().loggedOn);
  EXPECT_TRUE(Controller().Log().FileLost());
  EXPECT_TRUE(Controller().Log().TextLost());
  EXPECT_EQ(Controller().ExitStatus(0), TraceController::kTextLostStatus);
  EXPECT_FALSE(disk.open);
  Controller().EndBySystem();  // a second request only ends the program
  EXPECT_EQ(view.ended, (std::vector<int>{0, 0}));
}

// The disk is full when the trace starts: the logon runs through all the
// same, one box tells of it, and once there is space again the retry timer
// puts the whole trace into the file without waiting for a next line.
TEST_F(TraceControllerTest, ALogonOnAFullDiskStillOpensTheLineAndTheTraceArrivesWhenSpaceReturns) {
  Create({"-2", "bg.log"});
  disk.failForever = true;
  Controller().Activate();
  EXPECT_TRUE(Controller().State().loggedOn);
  ASSERT_EQ(view.boxes.size(), 1u);
  EXPECT_NE(view.boxes[0].find(OsErrorText(28)), std::string::npos) << view.boxes[0];
  EXPECT_TRUE(view.retryTimer);
  Controller().RetryTick();  // still full
  EXPECT_EQ(disk.contents, "");
  EXPECT_EQ(view.flushes, 0);
  disk.failForever = false;
  Controller().RetryTick();
  EXPECT_FALSE(view.retryTimer);
  EXPECT_EQ(view.flushes, 1);
  EXPECT_TRUE(disk.contents.ends_with("| TAPI - Logon (Version: 2.2) - Voice Modem (TAPI-Line: 2)\r\n" +
                                      kSeparator + "\r\n"));
  view.answers["StopLog"] = true;
  view.CloseWindow();
  ASSERT_TRUE(view.closed);
  EXPECT_TRUE(disk.contents.starts_with(kHeader + Line("LineOpen: OK")));
  EXPECT_EQ(view.boxes.size(), 1u);
  EXPECT_EQ(Controller().ExitStatus(0), 0);
}

TEST_F(TraceControllerTest, TheSystemEndingTheProgramClosesWithoutQuestions) {
  Create({"-2", "bg.log"});
  Controller().Activate();
  Controller().EndBySystem();
  EXPECT_TRUE(view.closed);
  EXPECT_TRUE(view.errorsEnding);
  EXPECT_EQ(view.ended, std::vector<int>{0});
  EXPECT_TRUE(view.asked.empty());
  EXPECT_TRUE(disk.contents.ends_with("| TAPI - Logoff\r\n"));
}

}  // namespace
}  // namespace ordalyn
