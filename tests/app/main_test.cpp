// The main window driven as a user would: its controls, the first
// activation, Start, messages, Stop, Save, the dialogs and what the trace
// reports; the trace's own behaviour is tested without windows, in
// tracecontroller_test.cpp.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <chrono>
#include <stdexcept>

#include "app/dialogs/dialogbase.h"
#include "app/dialogs/uAbout.h"
#include "app/dialogs/uHelp.h"
#include "app/dialogs/uSaveChanges.h"
#include "app/dialogs/uStopLog.h"
#include "app/errorboxes.h"
#include "app/program.h"
#include "app/tracescreen.h"
#include "app/uDevices.h"
#include "fakeoutputfile.h"
#include "fakeplatform.h"
#include "support/polling.h"
#include "support/scratchdir.h"
#include "util/ioerror.h"
#include "widgets/QVersionLabel.h"
#include "widgets/cp1252.h"

namespace ordalyn {
namespace {

// The system's text for the code the fake file's failing writes report.
QString DiskFullText() { return QString::fromStdString(OsErrorText(28)); }

using test::FakeCall;
using test::FakeLine;
using test::FakePlatform;

const QString kSeparator(92, QLatin1Char('-'));

QByteArray ReadFile(const QString& name) {
  QFile file(name);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Everything after the stamp of each line; unstamped lines stay whole.
QStringList WithoutStamps(const QString& text) {
  QStringList lines = text.split(QLatin1Char('\n'));
  for (QString& line : lines) {
    if (line.size() > 15 && line.mid(12, 3) == QLatin1String(" | ")) {
      line = QStringLiteral("* | ") + line.mid(15);
    }
  }
  return lines;
}

struct MainWindowTest : ::testing::Test {
  FakePlatform platform;
  FakeClock clock{LocalDateTime{2011, 9, 1, 20, 10, 5, 42}};
  // The test's own folder, its paths named as Qt names them.
  struct {
    test::ScratchDir scratch;
    QString path() const { return QFile::decodeName(QByteArray::fromStdString(scratch.path().string())); }
    QString filePath(const QString& name) const { return path() + QLatin1Char('/') + name; }
  } dir;
  testing::FakeDisk disk;  // outlives the program, whose log may write to it
  std::unique_ptr<Program> program;
  std::vector<QString> dialogsShown;
  std::map<QString, int> answers;  // objectName -> modal result; Rejected when absent
  std::vector<QString> errorBoxes;

  void SetUp() override {
    TFMAbout::SetCpuMeasurer([] { return 500.0; });
    platform.lines = {FakeLine{"Modem", 0x10, 0x10}, FakeLine{"Fax - Line 2", 0x20, 0x10},
                      FakeLine{"Voice Modem", 0x1C, LINEBEARERMODE_VOICE}};
    GeneralErrorHandler().SetShowBox([this](const QString& text) { errorBoxes.push_back(text); });
  }

  void TearDown() override {
    program.reset();
    GeneralErrorHandler().SetShowBox(nullptr);
    GeneralErrorHandler().SetEnding(false);
    TFMAbout::SetCpuMeasurer(nullptr);
  }

  void Create(
      std::vector<std::string> arguments = {},
      std::function<std::unique_ptr<OutputFile>()> makeFile = [] { return MakeSystemOutputFile(); }) {
    MainServices services;
    services.platform = &platform;
    services.clock = &clock;
    services.timeSeparator = ":";
    services.computerName = [] { return std::string("PBX7"); };
    services.makeFile = std::move(makeFile);
    services.arguments = std::move(arguments);
    program = std::make_unique<Program>(services);
    Main().execDialog = [this](QDialog& dialog) {
      dialogsShown.push_back(dialog.objectName());
      const auto it = answers.find(dialog.objectName());
      return it == answers.end() ? int(QDialog::Rejected) : it->second;
    };
  }

  TFMMain& Main() { return program->Main(); }
  QAction* Action(const char* name) { return Main().findChild<QAction*>(name); }
  QComboBox* Devices() { return Main().findChild<QComboBox*>("CBDevices"); }
  QStringList Log() { return WithoutStamps(Main().Screen().Text()); }
  void Trigger(const char* name) { Action(name)->trigger(); }
  std::tuple<bool, bool, bool> TraceActions() {
    return {Action("ACStart")->isEnabled(), Action("ACStop")->isEnabled(), Action("ACReset")->isEnabled()};
  }
  // Closes the window as the user would; true when it closed.
  bool CloseWindow() {
    Main().show();
    Main().close();
    return !Main().isVisible();
  }
};

TEST_F(MainWindowTest, ControlsAndActionsCarryTheirNamesCaptionsAndHints) {
  Create();
  struct Case {
    const char* name;
    const char* caption;
    const char* hint;
    const char* category;
    int image;
  };
  const Case cases[] = {
      {"ACStart", "Start", "Start trace", "Trace", 1},
      {"ACStop", "Stop", "Stop tracing", "Trace", 0},
      {"ACReset", "Clear", "Clear trace log", "Trace", 4},
      {"ACSave", "Save as ...", "Save trace log to file", "Trace", 2},
      {"ACClose", "Close", "Close application", "Trace", -1},
      {"ACInfo", "Info", "About ...", "Info", 6},
      {"ACDevices", "Devices ...", "Show devices ...", "Trace", 3},
      {"ACHelp", "ACHelp", "How to use ...", "Info", 5},
  };
  for (const auto& c : cases) {
    QAction* action = Action(c.name);
    ASSERT_NE(action, nullptr) << c.name;
    EXPECT_EQ(action->text(), QString::fromLatin1(c.caption));
    EXPECT_EQ(action->statusTip(), QString::fromLatin1(c.hint));
    EXPECT_EQ(action->property("category").toString(), QString::fromLatin1(c.category));
    EXPECT_EQ(action->property("imageIndex").toInt(), c.image);
    EXPECT_EQ(action->icon().isNull(), c.image < 0) << c.name;
    EXPECT_TRUE(action->shortcut().isEmpty());
  }
  for (const char* name :
       {"TBDockTop", "TBToolbarMenu", "TBToolbarStandard", "CBDevices", "METrace", "PAfooter", "LBHelp",
        "QVLcopy", "QVLbuild", "PAbackgroundTracing", "SaveDialog1"}) {
    EXPECT_NE(Main().findChild<QObject*>(name), nullptr) << name;
  }
  EXPECT_EQ(Main().windowTitle(), "Ordalyn");
  EXPECT_EQ(Main().findChild<QLabel*>("LBHelp")->text(), QString(21, QLatin1Char(' ')));
  EXPECT_EQ(Main().SaveDialog1()->defaultSuffix(), "log");
  EXPECT_TRUE(Main().SaveDialog1()->testOption(QFileDialog::DontConfirmOverwrite));
  EXPECT_EQ(TraceActions(), std::make_tuple(true, false, true));
  EXPECT_EQ(Main().State().tapiVersion, 0x00020002u);
}

TEST_F(MainWindowTest, TheDevicesDialogListsEveryLineInLongForm) {
  Create();
  EXPECT_EQ(program->Devices().MEDevices()->toPlainText(),
            "Line: 0 - Modem, Media $10, TAPI-Version 2.2\n"
            "Line: 1 - Fax - Line 2, Media $20, TAPI-Version 2.2\n"
            "Line: 2 - Voice Modem, Media $1C, TAPI-Version 2.2 *\n"
            "* Suggested TAPI Voice Line");
  EXPECT_EQ(program->Devices().LBCount()->text(), "3");
  EXPECT_EQ(program->Devices().windowTitle(), "TAPI Lines");
}

TEST_F(MainWindowTest, FirstActivationFillsTheLineListOnceAndSelectsItemZero) {
  Create();
  Main().show();
  QTRY_VERIFY_WITH_TIMEOUT(!Main().FirstActivation(), 5000);
  ASSERT_EQ(Devices()->count(), 3);
  EXPECT_EQ(Devices()->itemText(1), "1 - Fax - Line 2");
  EXPECT_EQ(Devices()->currentIndex(), 0);
  EXPECT_FALSE(SplashPending);
  EXPECT_EQ(Main().State().selectedDevice, -1);
  platform.lines.pop_back();
  Main().ApplEventsActivate();  // a later activation does nothing
  EXPECT_EQ(Devices()->count(), 3);
}

TEST_F(MainWindowTest, StartTracesTheSelectedLineStopLogsOff) {
  Create();
  Main().ApplEventsActivate();
  Devices()->setCurrentIndex(1);
  Devices()->setEditText("2 - typed text is never read");
  platform.calls[0x10A2C] = FakeCall{std::string("5550100"), {}, std::string("200"), {}, {}, {}, 4, 1};
  Trigger("ACStart");
  EXPECT_EQ(TraceActions(), std::make_tuple(false, true, false));
  EXPECT_TRUE(Main().UnsavedTrace());
  EXPECT_EQ(Main().State().selectedDevice, 1);
  platform.Deliver(LINE_APPNEWCALL, 0, 0x10A2C, 2);
  platform.Deliver(LINE_CALLSTATE, 2, 1, 0);
  Trigger("ACStop");
  EXPECT_EQ(TraceActions(), std::make_tuple(true, false, true));
  const QStringList expected = {
      "Ordalyn - Build: 1.0.0.1",
      FromCp1252(program->Main().findChild<TQVersionLabel*>("QVLcopy")->Caption()),
      QString(48, QLatin1Char('=')),
      "",
      "* | Initialise: OK",
      "* | LineOpen: OK",
      "* | TAPI - Logon (Version: 2.2) - Fax - Line 2 (TAPI-Line: 1)",
      kSeparator,
      "* | LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|2",
      "* | LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE - hCall: 00010A2C - CallerID: 5550100 - CalledID: "
      "200 - "
      "(LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT) - 2|1|0",
      kSeparator,
      "* | LineShutDown: OK",
      "* | TAPI - Logoff",
  };
  EXPECT_EQ(Log(), expected);
  EXPECT_TRUE(Main().Screen().Text().startsWith("Ordalyn - Build: "));
  EXPECT_EQ(Main().Screen().Text().split('\n')[4].left(15), "20:10:05:042 | ");
}

TEST_F(MainWindowTest, StartWithoutASelectedEntryOpensLineZero) {
  platform.lines.clear();
  Create();
  Main().ApplEventsActivate();
  EXPECT_EQ(Devices()->count(), 0);
  EXPECT_EQ(Devices()->currentIndex(), -1);
  Devices()->setEditText("5 - typed");
  Trigger("ACStart");
  EXPECT_EQ(Main().State().selectedDevice, 0);
}

TEST_F(MainWindowTest, MessagesAreTracedWhileAModalDialogIsOpen) {
  Create();
  Main().ApplEventsActivate();
  Trigger("ACStart");
  Main().execDialog = [this](QDialog& dialog) {
    QTimer::singleShot(0, &dialog, [this, &dialog] {
      platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
      dialog.accept();
    });
    return dialog.exec();
  };
  Trigger("ACHelp");
  EXPECT_EQ(Log().back(), "* | LINE_LINEDEVSTATE - 4|0|1");
}

TEST_F(MainWindowTest, SaveWritesEveryLineWithCrLf) {
  Create();
  Main().ApplEventsActivate();
  Trigger("ACStart");
  platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
  const QString name = dir.filePath("trace.log");
  Main().askSaveFileName = [&name](QFileDialog&) { return std::optional<QString>(name); };
  Trigger("ACSave");
  EXPECT_FALSE(Main().UnsavedTrace());
  const QByteArray saved = ReadFile(name);
  EXPECT_TRUE(saved.endsWith("20:10:05:042 | LINE_LINEDEVSTATE - 4|0|1\r\n"));
  EXPECT_EQ(saved.count("\r\n"), 9);  // header 4, logon 4, one event
  EXPECT_EQ(saved.count('\n'), 9);
  // More events after a save: closing does not ask about unsaved changes.
  platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
  Trigger("ACStop");
  EXPECT_TRUE(CloseWindow());
  EXPECT_TRUE(dialogsShown.empty());
}

TEST_F(MainWindowTest, SaveKeepsUserEditsAndCodePage1252) {
  Create();
  Main().findChild<QPlainTextEdit*>("METrace")->setPlainText(
      QString::fromUtf8("first\nGr\u00fc\u00dfe \u20ac"));
  const QString name = dir.filePath("edited");
  Main().askSaveFileName = [&name](QFileDialog&) { return std::optional<QString>(name); };
  Trigger("ACSave");
  EXPECT_EQ(ReadFile(name), QByteArray("first\r\nGr\xFC\xDF"
                                       "e \x80\r\n"));
}

// Through Qt's own dialog: the name typed, then the name offered next time.
TEST_F(MainWindowTest, SaveOffersTheNameReallyUsedNextTime) {
  Create();
  QFileDialog& dialog = *Main().SaveDialog1();
  dialog.setDirectory(dir.path());
  QStringList offered;
  for (const char* typed : {"mytrace", "other.txt"}) {
    QTimer::singleShot(0, &dialog, [&dialog, &offered, typed] {
      auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
      offered << name->text();
      name->setText(QString::fromLatin1(typed));
      static_cast<QDialog&>(dialog).accept();
    });
    Trigger("ACSave");
  }
  EXPECT_TRUE(QFile::exists(dir.filePath("mytrace.log")));
  EXPECT_EQ(offered, QStringList({"", "mytrace.log"}));
  EXPECT_TRUE(errorBoxes.empty());
}

TEST_F(MainWindowTest, DevicesHelpAndInfoShowTheirWindows) {
  Create();
  Trigger("ACDevices");
  Trigger("ACHelp");
  const std::vector<QString> expected = {"FMDevices", "FMHelp"};
  EXPECT_EQ(dialogsShown, expected);
  int abouts = 0;
  Main().openAbout = [&abouts] { ++abouts; };
  Trigger("ACInfo");
  EXPECT_EQ(abouts, 1);
}

// A pipe whose reader has gone: the window closes through the event loop,
// once the failing write has returned, without questions.
TEST_F(MainWindowTest, AFileThatIsLostForGoodClosesTheWindow) {
  Create({"-2", "bg.log"}, [this] { return testing::MakeFakeFile(disk); });
  Main().ApplEventsActivate();
  disk.failForever = true;
  disk.errorCode = testing::kBrokenPipeCode;
  for (int i = 0; i < 5; ++i) {  // more than the write buffer holds
    platform.Deliver(LINE_LINEDEVSTATE, 4, 0, 1);
  }
  EXPECT_TRUE(Main().isVisible());
  EXPECT_TRUE(test::PollUntil([this] { return !Main().isVisible(); }, test::kPollLimit,
                              [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); }));
  EXPECT_TRUE(dialogsShown.empty());
  EXPECT_FALSE(Main().State().loggedOn);
}

// The background trace's reports reach the window: minimised, with its panel
// and actions, error boxes, and the retry timer while the file refuses text.
TEST_F(MainWindowTest, AFullDiskDuringABackgroundTraceLosesNoLineAndNeverNestsErrorBoxes) {
  Create({"-2", "bg.log"}, [this] { return testing::MakeFakeFile(disk); });
  Main().ApplEventsActivate();
  EXPECT_TRUE(Main().isMinimized());
  EXPECT_TRUE(Main().findChild<QWidget*>("PAbackgroundTracing")->isVisibleTo(&Main()));
  EXPECT_EQ(TraceActions(), std::make_tuple(false, false, true));
  int next = 0;
  const auto event = [this, &next] {
    platform.Deliver(LINE_LINEDEVSTATE, 4, 0, static_cast<DWORD_PTR>(next++));
  };
  disk.failForever = true;
  int depth = 0;
  int maxDepth = 0;
  GeneralErrorHandler().SetShowBox([&](const QString& text) {
    maxDepth = std::max(maxDepth, ++depth);
    errorBoxes.push_back(text);
    if (errorBoxes.size() == 1) {
      for (int i = 0; i < 40; ++i) {  // TAPI keeps delivering while the box is open
        event();
      }
    } else {
      disk.failForever = false;  // space is back
    }
    --depth;
  });
  while (errorBoxes.empty() && next < 100) {
    event();
  }
  EXPECT_EQ(errorBoxes.size(), 2u);  // the first failure, then all gathered ones in one box
  EXPECT_EQ(maxDepth, 1);
  EXPECT_TRUE(!errorBoxes.empty() && errorBoxes[0].contains(DiskFullText()));
  EXPECT_TRUE(Main().RetryTimerActive());
  for (int i = 0; i < 10; ++i) {
    event();
  }
  Main().RetryTimerTimer();
  EXPECT_FALSE(Main().RetryTimerActive());
  answers["FMStopLog"] = QDialog::Accepted;
  EXPECT_TRUE(CloseWindow());
  EXPECT_EQ(errorBoxes.size(), 2u);
  QStringList events;
  for (const QString& line : QString::fromLatin1(disk.contents.c_str()).split("\r\n")) {
    if (line.contains("LINE_LINEDEVSTATE")) {
      events << line.mid(15);
    }
  }
  ASSERT_EQ(events.size(), next);
  for (int i = 0; i < next; ++i) {
    EXPECT_EQ(events[i], QStringLiteral("LINE_LINEDEVSTATE - 4|0|%1").arg(i, 0, 16).toUpper());
  }
  EXPECT_TRUE(QString::fromLatin1(disk.contents.c_str()).endsWith("| TAPI - Logoff\r\n"));
  program.reset();  // before the box recorder's captured locals go
}

TEST_F(MainWindowTest, TheBackgroundPanelStaysCentredOnTheLog) {
  Create();
  Main().show();
  auto* log = Main().findChild<QWidget*>("METrace");
  auto* panel = Main().findChild<QWidget*>("PAbackgroundTracing");
  for (const QSize size : {QSize(771, 592), QSize(900, 700), QSize(200, 160)}) {
    Main().resize(size);
    QCoreApplication::processEvents();
    const QRect area = log->geometry();
    EXPECT_EQ(panel->x(), (area.width() - 289) / 2) << size.width();
    EXPECT_EQ(panel->y(), area.top() + (area.height() - 109) / 2) << size.width();
  }
  EXPECT_LT(panel->x(), 0);  // a log smaller than the panel: negative offsets, still centred
}

// The outer size is the frame's (offscreen windows have a frame of 2 pixels).
TEST_F(MainWindowTest, TheWindowAndItsDialogsAreCentredByTheirFrames) {
  Create();
  Main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  const QRect outer = Main().frameGeometry();
  const QRect screen = Main().screen()->availableGeometry();
  EXPECT_EQ(outer.size(), QSize(771, 592));
  EXPECT_LT(Main().width(), 771);
  EXPECT_EQ(outer.topLeft(),
            screen.topLeft() + QPoint((screen.width() - 771) / 2, (screen.height() - 592) / 2));
  for (QDialog* dialog :
       std::initializer_list<QDialog*>{&program->Devices(), &program->Help(), &program->SaveChanges(),
                                       &program->StopLog(), Main().SaveDialog1()}) {
    dialog->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    const QRect frame = dialog->frameGeometry();
    EXPECT_EQ(frame.topLeft(), outer.topLeft() + QPoint((outer.width() - frame.width()) / 2,
                                                        (outer.height() - frame.height()) / 2))
        << dialog->objectName().toStdString();
    dialog->reject();
  }
}

// Qt's save dialog is sized by Qt alone; what the window relies on is that Qt's
// dialog still fits into the main window's width at its own minimum size.
TEST_F(MainWindowTest, TheSaveDialogFitsIntoTheMainWindowAtQtsOwnSize) {
  Create();
  Main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  QFileDialog& dialog = *Main().SaveDialog1();
  dialog.open();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  EXPECT_LE(dialog.frameGeometry().width(), Main().frameGeometry().width());
  EXPECT_LE(dialog.minimumSizeHint().width(), dialog.width()) << "Qt's dialog no longer fits the main window";
  EXPECT_LE(dialog.minimumSizeHint().height(), dialog.height());
  dialog.reject();
}

// The window gets its size before it is mapped; once it is on the screen it
// is only placed, never resized (the first activation included).
TEST_F(MainWindowTest, TheMainWindowIsNotResizedOnceShown) {
  Create();
  Main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  const QSize mapped = Main().frameGeometry().size();
  struct Counter : QObject {
    int resizes = 0;
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
      if (event->type() == QEvent::Resize) ++resizes;
      return false;
    }
  } counter;
  Main().installEventFilter(&counter);
  QTRY_VERIFY_WITH_TIMEOUT(!Main().FirstActivation(), 5000);
  QCoreApplication::processEvents();
  EXPECT_EQ(counter.resizes, 0);
  EXPECT_EQ(mapped, QSize(771, 592));
  EXPECT_EQ(Main().frameGeometry().size(), mapped);
}

// Every window keeps its whole frame on the screen's available area, also
// where the screen is smaller than the window (ctest runs this case once
// more at QT_SCALE_FACTOR=2, where the offscreen screen is 400 by 300).
TEST_F(MainWindowTest, EveryWindowStaysOnTheAvailableArea) {
  Create();
  Main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  const QRect area = Main().screen()->availableGeometry();
  const auto onArea = [&area](const QRect& frame) {
    // A frame larger than the area keeps its top left corner on it.
    return frame.width() > area.width() || frame.height() > area.height() ? area.contains(frame.topLeft())
                                                                          : area.contains(frame);
  };
  EXPECT_TRUE(area.contains(Main().frameGeometry())) << area.width() << "x" << area.height();
  for (QDialog* dialog :
       std::initializer_list<QDialog*>{&program->Devices(), &program->Help(), &program->SaveChanges(),
                                       &program->StopLog(), Main().SaveDialog1()}) {
    dialog->open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
    EXPECT_TRUE(onArea(dialog->frameGeometry())) << dialog->objectName().toStdString();
    dialog->reject();
  }
  TFMAbout* about = TFMAbout::CreateOver(&Main());
  EXPECT_TRUE(onArea(about->frameGeometry()));
  delete about;
}

TEST(KeepInside, MovesAFrameOntoTheAreaOrItsTopLeftCornerWhenTooLarge) {
  const QRect area(0, 30, 400, 270);
  struct Case {
    QRect frame;
    QPoint expected;
  };
  const Case cases[] = {
      {{10, 40, 100, 100}, {10, 40}},      // inside: unchanged
      {{-20, 40, 100, 100}, {0, 40}},      // left of it
      {{350, 250, 100, 100}, {300, 200}},  // beyond the bottom right
      {{50, -52, 300, 400}, {50, 30}},     // taller than the area: the title bar on it
      {{-5, 10, 500, 100}, {0, 30}},       // wider than the area
  };
  for (const auto& c : cases) {
    EXPECT_EQ(KeepInside(c.frame, area), c.expected) << c.frame.x() << "," << c.frame.y();
  }
}

// A long line name shows its beginning, where the line number is, also after
// the focus has left; the whole entry is the field's tooltip.
TEST_F(MainWindowTest, TheLineFieldShowsTheBeginningOfTheEntryAndTheWholeEntryAsTooltip) {
  platform.lines.push_back(FakeLine{"ISDN Line 1 - MSN 5550199 - Basic Rate Interface, B-Channel 1"});
  Create();
  Main().show();
  Main().ApplEventsActivate();
  QLineEdit* field = Devices()->lineEdit();
  EXPECT_EQ(field->cursorPosition(), 0);
  EXPECT_EQ(Devices()->toolTip(), "0 - Modem");
  Devices()->setCurrentIndex(3);
  EXPECT_EQ(field->cursorPosition(), 0);
  EXPECT_EQ(Devices()->toolTip(), "3 - ISDN Line 1 - MSN 5550199 - Basic Rate Interface, B-Channel 1");
  field->setFocus();
  field->end(false);
  QFocusEvent focusOut(QEvent::FocusOut);
  QCoreApplication::sendEvent(field, &focusOut);
  EXPECT_EQ(field->cursorPosition(), 0);
}

// With a dark desktop palette the skin's light backgrounds keep dark texts:
// the menu bar's captions are drawn darker than its background.
TEST_F(MainWindowTest, TheSkinsTextsAreReadableWithADarkPalette) {
  const QPalette light = QApplication::palette();
  QPalette dark = light;
  for (const auto role : {QPalette::Window, QPalette::Button, QPalette::Base})
    dark.setColor(role, QColor(0x30, 0x30, 0x30));
  for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    dark.setColor(role, Qt::white);
  QApplication::setPalette(dark);
  Create();
  Main().show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
  const auto darkestOf = [](QWidget* widget) {
    const QImage image = widget->grab().toImage();
    int darkest = 255;
    for (int y = 0; y < image.height(); ++y) {
      for (int x = 0; x < image.width(); ++x) darkest = std::min(darkest, qGray(image.pixel(x, y)));
    }
    return darkest;
  };
  auto* menuBar = Main().findChild<QWidget*>("TBToolbarMenu");
  const int menuBarText = darkestOf(menuBar);
  QMenu* file = Main().findChild<QMenu*>("MIFile");  // its one item has no picture
  file->ensurePolished();
  file->adjustSize();
  const int menuText = darkestOf(file);
  QApplication::setPalette(light);
  EXPECT_LT(menuBarText, 100) << "the menu bar's captions are as light as its background";
  EXPECT_LT(menuText, 100) << "the menu's items are as light as its background";
}

TEST_F(MainWindowTest, EscapeLeavesTheLinesDialogOpen) {
  Create();
  TFMDevices& devices = program->Devices();
  QSignalSpy finished(&devices, &QDialog::finished);
  devices.open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&devices));
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  QTest::keyClick(devices.MEDevices(), Qt::Key_Escape);
  EXPECT_TRUE(devices.isVisible());
  EXPECT_EQ(finished.count(), 0);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);  // OK has the focus
  ASSERT_EQ(finished.count(), 1);
  EXPECT_EQ(finished.at(0).at(0).toInt(), QDialog::Accepted);
}

TEST_F(MainWindowTest, TheHintLineShowsTheCurrentHint) {
  Create();
  QStatusTipEvent tip(QStringLiteral("Start trace"));
  QCoreApplication::sendEvent(&Main(), &tip);
  EXPECT_EQ(Main().findChild<QLabel*>("LBHelp")->text(), "Start trace");
  QStatusTipEvent none{QString()};
  QCoreApplication::sendEvent(&Main(), &none);
  EXPECT_EQ(Main().findChild<QLabel*>("LBHelp")->text(), "");
}

TEST(ErrorBoxes, NeverNestAndShowWhatCameMeanwhileOnce) {
  ErrorBoxes boxes;
  std::vector<QString> shown;
  int depth = 0;
  int maxDepth = 0;
  boxes.SetShowBox([&](const QString& text) {
    maxDepth = std::max(maxDepth, ++depth);
    shown.push_back(text);
    if (shown.size() == 1) {  // failures while the first box is open
      for (int i = 0; i < 50; ++i) {
        boxes.Report("Cannot write to file \"t.log\": No space left on device (OS error 28)");
      }
      boxes.Report("Another failure");
    }
    --depth;
  });
  boxes.Report("First failure");
  EXPECT_EQ(maxDepth, 1);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "First failure");
  EXPECT_EQ(
      shown[1],
      "Cannot write to file \"t.log\": No space left on device (OS error 28) (50 times)\nAnother failure");
  EXPECT_FALSE(boxes.Showing());
  boxes.Report("Later");
  EXPECT_EQ(shown.back(), "Later");
}

TEST(ErrorBoxes, GatherAtMostAFixedNumberOfDifferentTexts) {
  ErrorBoxes boxes;
  std::vector<QString> shown;
  boxes.SetShowBox([&](const QString& text) {
    shown.push_back(text);
    if (shown.size() == 1) {
      for (int i = 0; i < 30; ++i) {
        boxes.Report("error " + std::to_string(i));
      }
    }
  });
  boxes.Report("first");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[1].count('\n'), int(ErrorBoxes::kMaxGatheredKinds));
  EXPECT_TRUE(shown[1].endsWith("... and 10 further errors"));
}

// Standard error gets a text once; what comes again is counted and the count
// written once a minute, when another text comes, and on FlushRepeats.
struct RepeatCase {
  const char* name;
  std::vector<std::pair<int, const char*>> reports;  // seconds since the start, text; "" flushes
  std::vector<QString> lines;
};

void PrintTo(const RepeatCase& c, std::ostream* out) { *out << c.name; }

class ErrorLines : public ::testing::TestWithParam<RepeatCase> {};

TEST_P(ErrorLines, RepeatedTextsAreCountedNotRepeated) {
  ErrorBoxes boxes;
  boxes.SetShowBox([](const QString&) {});
  std::chrono::steady_clock::time_point now;
  boxes.SetNow([&now] { return now; });
  std::vector<QString> lines;
  boxes.SetPrintLine([&lines](const QString& line) { lines.push_back(line); });
  const auto start = now;
  for (const auto& [second, text] : GetParam().reports) {
    now = start + std::chrono::seconds(second);
    if (*text == '\0') {
      boxes.FlushRepeats();
    } else {
      boxes.Report(text);
    }
  }
  EXPECT_EQ(lines, GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ErrorLines,
    ::testing::Values(
        RepeatCase{"OnceThenCounted",
                   {{0, "full"}, {1, "full"}, {2, "full"}, {3, ""}},
                   {"full", "full (2 more times)"}},
        RepeatCase{"OneRepeat", {{0, "full"}, {1, "full"}, {9, ""}, {9, ""}}, {"full", "full (1 more time)"}},
        RepeatCase{
            "OnceAMinute",
            {{0, "full"}, {30, "full"}, {60, "full"}, {61, "full"}, {119, "full"}, {120, "full"}, {121, ""}},
            {"full", "full (2 more times)", "full (3 more times)"}},
        RepeatCase{"AnotherTextWritesTheCountFirst",
                   {{0, "full"}, {1, "full"}, {2, "closing"}, {3, "full"}},
                   {"full", "full (1 more time)", "closing", "full"}},
        RepeatCase{"AfterAFlushTheTextIsNewAgain", {{0, "full"}, {1, ""}, {2, "full"}}, {"full", "full"}},
        RepeatCase{"NothingToFlush", {{0, ""}, {1, "a"}, {2, "b"}, {3, ""}}, {"a", "b"}}),
    [](const ::testing::TestParamInfo<RepeatCase>& named) { return std::string(named.param.name); });

// A file name in a message reads as the user typed it; the program's own
// texts are code page 1252.
TEST(ErrorLines, AFileNameIsShownAsTheSystemNamesTheFile) {
#ifdef _WIN32
  const QString name = QStringLiteral("lat\u00e9.log");  // the ANSI code page
  const std::string typed = ToCp1252(name);
#else
  const QString name = QStringLiteral("lat\u00e9 \u0444.log");
  const std::string typed = QFile::encodeName(name).toStdString();
#endif
  const auto message = [](const auto& error) {
    try {
      throw error;
    } catch (...) {
      return ErrorMessage(std::current_exception());
    }
  };
  EXPECT_EQ(message(IoError::FromOs(2, "Cannot create file", typed)),
            QStringLiteral("Cannot create file \"") + name + QStringLiteral("\": ") +
                QString::fromStdString(OsErrorText(2)) + QStringLiteral(" (OS error 2)"));
  EXPECT_EQ(message(IoError(28, "Cannot write to file \"" + typed + "\"; 5 bytes lost", typed)),
            QStringLiteral("Cannot write to file \"") + name + QStringLiteral("\"; 5 bytes lost"));
  EXPECT_EQ(message(std::runtime_error("caf\xe9")), QStringLiteral("caf\u00e9"));
}

// A line break the user typed inside a line (Shift+Enter) counts as a line end.
TEST(TraceScreenLog, TextTurnsEveryKindOfLineBreakIntoALineFeed) {
  QPlainTextEdit view;
  TraceScreenLog screen(&view);
  screen.AppendLine("one");
  screen.AppendLine("two");
  screen.Flush();
  QTextCursor cursor(view.document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(QString(QChar(QChar::LineSeparator)) + "typed");
  EXPECT_EQ(screen.Text(), "one\ntwo\ntyped");
}

TEST(TraceScreenLog, KeepsEveryLineInOrderAcrossFlushes) {
  QPlainTextEdit view;
  TraceScreenLog screen(&view);
  screen.AppendLine("one");
  screen.AppendLine("");
  EXPECT_EQ(screen.WaitingLines(), 2u);
  EXPECT_EQ(view.toPlainText(), "");
  // The event loop takes them in once the gathering interval has passed.
  QElapsedTimer waited;
  waited.start();
  while (screen.WaitingLines() != 0 && waited.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  EXPECT_EQ(screen.WaitingLines(), 0u);
  EXPECT_GE(waited.elapsed(), TraceScreenLog::kGatherMilliseconds - 5);
  EXPECT_EQ(view.toPlainText(), "one\n");
  screen.AppendLine("three");
  EXPECT_EQ(screen.Text(), "one\n\nthree");
  screen.Clear();
  EXPECT_EQ(screen.Text(), "");
  screen.AppendLine("again");
  EXPECT_EQ(screen.Text(), "again");
}

}  // namespace
}  // namespace ordalyn
