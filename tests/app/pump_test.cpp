// Line messages of the simulated platform reach the main window through Qt's
// event loop, as TAPI's hidden window delivers them: while the program idles,
// while a modal dialog, a closing question or the About box runs its own loop,
// and while an error box is open, whose meanwhile failures are gathered.
#include <gtest/gtest.h>

// Before Qt, whose "forever" macro would take the scenario's field of that name.
#include "tapi/sim/simtapiplatform.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <chrono>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "app/dialogs/uAbout.h"
#include "app/errorboxes.h"
#include "app/program.h"
#include "app/qtmessagepump.h"
#include "app/tracescreen.h"
#include "fakeoutputfile.h"
#include "log/outputfile.h"
#include "support/polling.h"
#include "util/clock.h"
#include "util/ioerror.h"
#include "widgets/QVersionLabel.h"
#include "widgets/cp1252.h"

namespace ordalyn {
namespace {

constexpr int kTimeoutMs = 5000;
const QString kSeparator(92, QLatin1Char('-'));
const QString kStamp = QStringLiteral("20:10:05:042 | ");

// Three line messages 10 ms apart once the line is open, and a fourth long
// after them, which a trace stopped in time never sees.
constexpr const char* kScenario = R"({
  "lines": [{"name": "Pump Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "script": [
    {"delayMs": 10, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1},
    {"delayMs": 10, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 2},
    {"delayMs": 10, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 3},
    {"delayMs": 400, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_OUTOFSERVICE"}
  ]
})";

// A message every 5 ms for as long as the line is open.
constexpr const char* kEndlessScenario = R"({
  "lines": [{"name": "Pump Line", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "script": [{"delayMs": 5, "message": "LINE_LINEDEVSTATE", "param1": "LINEDEVSTATE_RINGING", "param3": 1}],
  "repeat": {"count": "forever"}
})";

const QStringList kLogon = {
    "",  // "Ordalyn - " and the build label's text, filled in by the fixture
    "",  // the copyright label's text, likewise
    QString(48, QLatin1Char('=')),
    "",
    kStamp + "Initialise: OK",
    kStamp + "LineOpen: OK",
    kStamp + "TAPI - Logon (Version: 2.2) - Pump Line (TAPI-Line: 0)",
    kSeparator,
};
const QStringList kRings = {
    kStamp + "LINE_LINEDEVSTATE - 2|0|1",
    kStamp + "LINE_LINEDEVSTATE - 2|0|2",
    kStamp + "LINE_LINEDEVSTATE - 2|0|3",
};
const QStringList kLogoff = {kSeparator, kStamp + "LineShutDown: OK", kStamp + "TAPI - Logoff"};

// Runs the event loop until condition holds; false when kTimeoutMs passed
// first. (QtTest's QTRY_ macros report to QtTest, not to GoogleTest.)
bool WaitFor(const std::function<bool()>& condition) {
  return test::PollUntil(condition, std::chrono::milliseconds(kTimeoutMs), [] { QTest::qWait(2); });
}

struct PumpTest : ::testing::Test {
  QtMessagePump pump;
  std::unique_ptr<SimTapiPlatform> platform;
  testing::FakeDisk disk;  // outlives the program, whose log may write to it
  FakeClock clock{LocalDateTime{2011, 9, 1, 20, 10, 5, 42}};
  std::unique_ptr<Program> program;
  std::vector<QString> errorBoxes;
  std::function<std::unique_ptr<OutputFile>()> makeFile = [] { return MakeSystemOutputFile(); };

  void SetUp() override {
    TFMAbout::SetCpuMeasurer([] { return 500.0; });
    TFMAbout::SetOpacitySink([](TFMAbout&, int) {});
    GeneralErrorHandler().SetShowBox([this](const QString& text) { errorBoxes.push_back(text); });
  }

  void TearDown() override {
    program.reset();
    platform.reset();
    GeneralErrorHandler().SetShowBox(nullptr);
    GeneralErrorHandler().SetEnding(false);
    TFMAbout::SetCpuMeasurer(nullptr);
    TFMAbout::SetOpacitySink(nullptr);
  }

  // Builds the program on the scenario, shows it and waits for its first
  // activation; or, without show, runs the first activation at once, so that
  // no message can come before the test lets the event loop run.
  void Create(const char* scenario, std::vector<std::string> arguments = {}, bool show = true) {
    platform = SimTapiPlatform::FromJson(pump, scenario);
    ASSERT_NE(platform->Scenario(), nullptr);
    MainServices services;
    services.platform = platform.get();
    services.clock = &clock;
    services.timeSeparator = ":";
    services.computerName = [] { return std::string("PBX7"); };
    services.makeFile = makeFile;
    services.arguments = std::move(arguments);
    program = std::make_unique<Program>(services);
    if (!show) {
      Main().ApplEventsActivate();
      return;
    }
    // Qt tells only changes of the application's state: once an earlier test
    // has made it active, showing a new main window activates nothing.
    const bool alreadyActive = QGuiApplication::applicationState() == Qt::ApplicationActive;
    program->Show();
    if (alreadyActive) {
      Main().ApplEventsActivate();
    }
    ASSERT_TRUE(WaitFor([this] { return !Main().FirstActivation(); }));
  }

  TFMMain& Main() { return program->Main(); }
  void Trigger(const char* name) { Main().findChild<QAction*>(name)->trigger(); }
  QStringList Log() { return Main().Screen().Text().split(QLatin1Char('\n')); }
  QStringList Expected(const QStringList& events, bool loggedOff) {
    QStringList lines = kLogon;
    lines[0] =
        QStringLiteral("Ordalyn - ") + FromCp1252(Main().findChild<TQVersionLabel*>("QVLbuild")->Caption());
    lines[1] = FromCp1252(Main().findChild<TQVersionLabel*>("QVLcopy")->Caption());
    lines += events;
    if (loggedOff) {
      lines += kLogoff;
    }
    return lines;
  }

  // Runs until the platform has had time to deliver anything due within ms.
  void RunEventLoopFor(std::uint32_t ms) {
    bool done = false;
    pump.Post(ms, [&done] { done = true; });
    ASSERT_TRUE(WaitFor([&done] { return done; }));
  }
};

TEST_F(PumpTest, MessagesArriveFromTheEventLoopNeverInsideTheTapiCalls) {
  Create(kScenario);
  Trigger("ACStart");
  EXPECT_EQ(Log(), Expected({}, false));  // the line is open, nothing delivered yet
  EXPECT_EQ(platform->OpenLineCount(), 1u);
  ASSERT_TRUE(WaitFor([this] { return Log().size() >= Expected(kRings, false).size(); })) << Log().size();
  EXPECT_EQ(Log(), Expected(kRings, false));
  // The view itself takes the lines in once the loop runs.
  auto* view = Main().findChild<QPlainTextEdit*>("METrace");
  const QString text = Expected(kRings, false).join(QLatin1Char('\n'));
  EXPECT_TRUE(WaitFor([&] { return view->toPlainText() == text; })) << view->toPlainText().toStdString();

  Trigger("ACStop");
  EXPECT_EQ(platform->OpenLineCount(), 0u);
  RunEventLoopFor(600);  // past the fourth message's time
  EXPECT_EQ(Log(), Expected(kRings, true));
  EXPECT_TRUE(errorBoxes.empty());
}

// How a modal window is opened while a trace runs, and its name.
struct ModalCase {
  const char* name;
  const char* dialog;  // objectName of the modal window
  std::function<void(PumpTest&)> open;
};

void PrintTo(const ModalCase& c, std::ostream* out) { *out << c.dialog; }

struct ModalPumpTest : PumpTest, ::testing::WithParamInterface<ModalCase> {};

TEST_P(ModalPumpTest, MessagesArriveWhileTheModalWindowRunsItsLoop) {
  Create(kScenario);
  int eventsBefore = -1;
  int result = -1;
  bool closedByPoll = false;
  QString shown;
  const int wanted = Expected(kRings, false).size();
  Main().execDialog = [&](QDialog& dialog) {
    shown = dialog.objectName();
    eventsBefore = Log().size();
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&, poll] {
      if (QApplication::activeModalWidget() == &dialog && Log().size() >= wanted) {
        poll->stop();
        closedByPoll = true;
        dialog.accept();
      }
    });
    poll->start(5);
    QTimer::singleShot(kTimeoutMs, &dialog, &QDialog::reject);
    result = dialog.exec();
    return result;
  };
  Trigger("ACStart");
  GetParam().open(*this);
  EXPECT_EQ(shown, GetParam().dialog);
  EXPECT_EQ(eventsBefore, Expected({}, false).size());
  EXPECT_TRUE(closedByPoll);
  EXPECT_EQ(result, int(QDialog::Accepted));
  const QStringList log = Log();
  ASSERT_GE(log.size(), wanted);
  EXPECT_EQ(log.mid(0, wanted), Expected(kRings, false));
}

INSTANTIATE_TEST_SUITE_P(
    Dialogs, ModalPumpTest,
    ::testing::Values(ModalCase{"Devices", "FMDevices", [](PumpTest& test) { test.Trigger("ACDevices"); }},
                      ModalCase{"Help", "FMHelp", [](PumpTest& test) { test.Trigger("ACHelp"); }},
                      // Closing with a started trace asks about the unsaved log; "yes" then closes.
                      ModalCase{"SaveChanges", "FMSaveChanges",
                                [](PumpTest& test) {
                                  test.Trigger("ACClose");
                                  EXPECT_FALSE(test.Main().isVisible());
                                  EXPECT_EQ(test.Log().mid(test.Log().size() - 3), kLogoff);
                                }}),
    [](const ::testing::TestParamInfo<ModalCase>& named) { return std::string(named.param.name); });

TEST_F(PumpTest, MessagesArriveWhileTheAboutBoxIsOpenAndAKeyClosesIt) {
  Create(kScenario);
  Trigger("ACStart");
  const int wanted = Expected(kRings, false).size();
  QPointer<TFMAbout> box;
  bool modalWhenArrived = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (box.isNull()) {
      box = FMAbout;
    }
    if (!box.isNull() && box->Activated() && Log().size() >= wanted) {
      poll.stop();
      modalWhenArrived = QApplication::activeModalWidget() == box.data();
      QTest::keyClick(box.data(), Qt::Key_Space);  // any key closes it
    }
  });
  poll.start(5);
  QTimer::singleShot(kTimeoutMs, &Main(), [&box] {
    if (!box.isNull()) box->close();
  });
  Trigger("ACInfo");  // returns once the box has closed
  EXPECT_TRUE(modalWhenArrived);
  EXPECT_EQ(Log().mid(0, wanted), Expected(kRings, false));
  EXPECT_TRUE(WaitFor([&box] { return box.isNull(); }));  // it frees itself
}

TEST_F(PumpTest, TheBackgroundTraceGoesOnWhileTheStopLoggingQuestionIsOpen) {
  makeFile = [this] { return testing::MakeFakeFile(disk); };
  Create(kScenario, {"-0", "bg.log"}, false);
  const auto bytes = [this] { return disk.contents.size() + Main().Log().WaitingBytes(); };
  const auto crLfLines = [](const QStringList& lines) {
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
  };
  const auto ringsTaken = std::size_t(crLfLines(Expected(kRings, false)).size());
  std::size_t bytesBefore = 0;
  int result = -1;
  Main().execDialog = [&](QDialog& dialog) {
    EXPECT_EQ(dialog.objectName(), "FMStopLog");
    bytesBefore = bytes();
    auto* poll = new QTimer(&dialog);
    QObject::connect(poll, &QTimer::timeout, &dialog, [&] {
      if (bytes() >= ringsTaken) dialog.accept();
    });
    poll->start(5);
    QTimer::singleShot(kTimeoutMs, &dialog, &QDialog::reject);
    result = dialog.exec();
    return result;
  };
  Main().close();
  EXPECT_EQ(bytesBefore, std::size_t(crLfLines(Expected({}, false)).size()));
  EXPECT_EQ(result, int(QDialog::Accepted));
  EXPECT_FALSE(Main().isVisible());
  EXPECT_EQ(QString::fromLatin1(disk.contents.data(), int(disk.contents.size())),
            crLfLines(Expected(kRings, true)));
  EXPECT_TRUE(errorBoxes.empty());
}

TEST_F(PumpTest, FailuresWhileAnErrorBoxIsOpenAreGatheredIntoOneMoreBox) {
  disk.room = 2048;
  disk.errorCode = ENOSPC;
  makeFile = [this] { return testing::MakeFakeFile(disk); };
  std::vector<QString> shown;
  int depth = 0;
  int maxDepth = 0;
  std::size_t failuresWhileOpen = 0;
  GeneralErrorHandler().SetShowBox([&](const QString& text) {
    maxDepth = std::max(maxDepth, ++depth);
    shown.push_back(text);
    if (shown.size() == 1) {
      // The first box stays open, as a real one would, while messages keep failing.
      QDialog box;
      const int before = disk.failedWrites;
      QTimer poll;
      QObject::connect(&poll, &QTimer::timeout, &box, [&] {
        if (disk.failedWrites >= before + 10) box.accept();
      });
      poll.start(5);
      QTimer::singleShot(kTimeoutMs, &box, &QDialog::reject);
      EXPECT_EQ(box.exec(), int(QDialog::Accepted));
      failuresWhileOpen = static_cast<std::size_t>(disk.failedWrites - before);
      disk.room = std::string::npos;  // room again: the next writes succeed
    }
    --depth;
  });
  Create(kEndlessScenario, {"-0", "full.log"});
  ASSERT_TRUE(WaitFor([&shown] { return shown.size() >= 2; })) << shown.size();
  EXPECT_EQ(maxDepth, 1);
  ASSERT_GE(failuresWhileOpen, 10u);
  // ENOSPC is 28 on both systems; Windows names its code 28 otherwise.
  const QString failure =
      QString::fromStdString(IoError::FromOs(ENOSPC, "Cannot write to file", "full.log").what());
  EXPECT_EQ(shown[0], failure);
  EXPECT_EQ(shown[1], failure + QStringLiteral(" (%1 times)").arg(failuresWhileOpen));
  EXPECT_EQ(shown.size(), 2u);  // once there is room, nothing fails any more

  Main().execDialog = [](QDialog&) { return int(QDialog::Accepted); };
  Main().close();
  ASSERT_FALSE(Main().isVisible());
  // No line was lost: the header, the logon, every ring in order, the logoff.
  const QString content = QString::fromLatin1(disk.contents.data(), int(disk.contents.size()));
  const QStringList lines = content.split(QStringLiteral("\r\n"));
  ASSERT_GT(lines.size(), 12);
  const QStringList logon = Expected({}, false);
  EXPECT_EQ(lines.mid(0, logon.size()), logon);
  EXPECT_EQ(lines.mid(lines.size() - 4), kLogoff + QStringList{""});
  const QStringList rings = lines.mid(logon.size(), lines.size() - logon.size() - 4);
  EXPECT_GT(rings.size(), 2048 / 42);
  for (const QString& ring : rings) {
    ASSERT_EQ(ring, kStamp + "LINE_LINEDEVSTATE - 2|0|1");
  }
}

}  // namespace
}  // namespace ordalyn
