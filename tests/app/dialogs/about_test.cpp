// The About box: layout and texts, closing by click, key and splash timer,
// the fades, and the unit's shared state.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

#include "app/dialogs/uAbout.h"
#include "dialogtesting.h"
#include "widgets/QVersionLabel.h"

namespace ordalyn {
namespace {

using testing::FlushDeferredDeletes;
using testing::ProcessUntil;

std::vector<int> Range(int from, int to, int step) {
  std::vector<int> values;
  for (int v = from; step > 0 ? v <= to : v >= to; v += step) values.push_back(v);
  return values;
}

std::vector<int> Concat(std::vector<int> a, const std::vector<int>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

const std::vector<int> kFadeIn = Range(0, 255, 5);
const std::vector<int> kFadeOut = Range(255, 0, -5);

class AboutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TFMAbout::SetCpuMeasurer([this] {
      ++measurements_;
      return speed_;
    });
    TFMAbout::SetOpacitySink([this](TFMAbout& box, int alpha) {
      alphas_.push_back(alpha);
      if (onAlpha_) onAlpha_(box, alpha);
    });
    SplashPending = false;
  }

  void TearDown() override {
    for (QPointer<TFMAbout>& box : boxes_) delete box.data();
    FlushDeferredDeletes();
    TFMAbout::SetCpuMeasurer(nullptr);
    TFMAbout::SetOpacitySink(nullptr);
    SplashPending = false;
  }

  // A new box with its measurement taken in (it runs on a worker thread).
  TFMAbout* NewBox(QWidget* owner = nullptr) {
    auto* box = new TFMAbout(owner);
    boxes_.emplace_back(box);
    box->TakeCpuSpeed();
    return box;
  }

  // Shows the box as the Info action does (window-modal here, so the test
  // goes on) and lets its activation run.
  // A click during the fade-in can close the box and delete it before the
  // wait ends (its activation ran first), so it is watched through a guard.
  static bool ShowAndActivate(TFMAbout* box) {
    QPointer<TFMAbout> guard(box);
    box->open();
    return ProcessUntil([&] { return guard.isNull() || guard->Activated(); });
  }

  // Whether the box closed and, once deferred deletions ran, is gone.
  static bool ClosedAndFreed(QPointer<TFMAbout> box) {
    if (box.isNull()) return true;
    if (box->isVisible() || !box->Closing()) return false;
    FlushDeferredDeletes();
    return box.isNull();
  }

  static void Click(QWidget* widget, QPoint pos = QPoint()) {
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos.isNull() ? widget->rect().center() : pos);
  }

  double speed_ = 500.0;
  int measurements_ = 0;
  std::vector<int> alphas_;
  std::function<void(TFMAbout&, int)> onAlpha_;
  std::vector<QPointer<TFMAbout>> boxes_;
};

TEST_F(AboutTest, WindowAndControls) {
  TFMAbout* box = NewBox();
  EXPECT_EQ(box->size(), QSize(480, 302));
  EXPECT_EQ(box->minimumSize(), QSize(480, 302));
  EXPECT_EQ(box->maximumSize(), QSize(480, 302));
  EXPECT_TRUE(box->windowFlags().testFlag(Qt::FramelessWindowHint));
  EXPECT_TRUE(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_EQ(box->palette().color(QPalette::Window), QColor(Qt::white));
  EXPECT_EQ(box->font().pixelSize(), 11);

  auto* panel = box->findChild<QFrame*>("Panel1");
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(panel->geometry(), QRect(0, 0, 480, 302));
  EXPECT_EQ(panel->frameShape(), QFrame::Box);
  EXPECT_EQ(panel->frameShadow(), QFrame::Plain);
  EXPECT_EQ(panel->lineWidth(), 1);

  struct Place {
    const char* name;
    QRect geometry;
  };
  const Place fixed[] = {
      {"Image3", {8, 31, 120, 140}},  {"Image1", {154, 38, 150, 20}},  {"Image2", {179, 61, 250, 44}},
      {"Bevel1", {155, 184, 309, 9}}, {"Label4", {155, 195, 299, 52}},
  };
  for (const Place& place : fixed) {
    SCOPED_TRACE(place.name);
    auto* widget = box->findChild<QWidget*>(place.name);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->parentWidget(), panel);
    EXPECT_EQ(widget->geometry(), place.geometry);
  }
  for (const char* name : {"Image1", "Image2", "Image3"}) {
    SCOPED_TRACE(name);
    const auto* picture = box->findChild<QLabel*>(name);
    EXPECT_EQ(picture->pixmap().size(), picture->size());
  }

  // Later controls lie on top of earlier ones.
  const QStringList order = {"Label1", "Label2", "Image3",         "Label3",         "Image1",
                             "Image2", "Bevel1", "QVersionLabel1", "QVersionLabel2", "Label4"};
  QStringList children;
  for (QObject* child : panel->children()) {
    if (child->isWidgetType()) children << child->objectName();
  }
  EXPECT_EQ(children, order);
}

TEST_F(AboutTest, Texts) {
  TFMAbout* box = NewBox();
  auto* label1 = box->findChild<QLabel*>("Label1");
  auto* label2 = box->findChild<QLabel*>("Label2");
  auto* label3 = box->findChild<QLabel*>("Label3");
  auto* label4 = box->findChild<QLabel*>("Label4");
  ASSERT_TRUE(label1 && label2 && label3 && label4);
  EXPECT_EQ(label1->text(), "");
  EXPECT_EQ(label2->text(), "Marbleknot");
  EXPECT_FALSE(label3->text().isEmpty());
  EXPECT_TRUE(label3->font().bold());
  EXPECT_EQ(label3->pos(), QPoint(155, 117));
  EXPECT_EQ(label4->text().toLatin1().toStdString(), std::string(" \r\n \r\n \"as is\"  \r\n"));
  EXPECT_TRUE(label4->wordWrap());
  EXPECT_EQ(label4->palette().color(QPalette::WindowText), QColor(0x80, 0x80, 0x80));
  EXPECT_EQ(label2->palette().color(QPalette::WindowText), QColor(Qt::black));

  // The right-aligned texts share the right edge x = 466.
  for (const char* name : {"Label1", "Label2", "QVersionLabel1"}) {
    SCOPED_TRACE(name);
    auto* label = box->findChild<QLabel*>(name);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->x() + label->width(), 466);
    EXPECT_TRUE(label->alignment().testFlag(Qt::AlignRight));
  }
  EXPECT_EQ(label1->geometry(), QRect(379, 278, 87, 13));
  EXPECT_EQ(label2->y(), 266);
  // Sized to their text.
  EXPECT_EQ(label2->width(), label2->sizeHint().width());
}

TEST_F(AboutTest, VersionLabels) {
  TFMAbout* box = NewBox();
  auto* copyright = box->findChild<TQVersionLabel*>("QVersionLabel1");
  auto* version = box->findChild<TQVersionLabel*>("QVersionLabel2");
  ASSERT_TRUE(copyright && version);

  EXPECT_EQ(copyright->versionResource(), vrLegalCopyright);
  EXPECT_EQ(copyright->versionResourceKey(), "LegalCopyright");
  EXPECT_EQ(copyright->infoPrefix(), "Legal Copyright:");
  EXPECT_FALSE(copyright->showInfoPrefix());
  EXPECT_EQ(copyright->fileVersionPart(), fvAll);
  EXPECT_EQ(copyright->y(), 253);
  EXPECT_EQ(copyright->x() + copyright->width(), 466);
  EXPECT_NE(copyright->Caption().rfind("Legal Copyright:", 0), 0u);

  EXPECT_EQ(version->versionResource(), vrFileVersion);
  EXPECT_EQ(version->versionResourceKey(), "FileVersion");
  EXPECT_EQ(version->infoPrefix(), "Version:");
  EXPECT_TRUE(version->showInfoPrefix());
  EXPECT_EQ(version->fileVersionPart(), fvAll);
  EXPECT_EQ(version->pos(), QPoint(155, 133));
  EXPECT_FALSE(version->alignment().testFlag(Qt::AlignRight));
  EXPECT_EQ(version->Caption().rfind("Version: ", 0), 0u) << version->Caption();
  EXPECT_GT(version->Caption().size(), std::string("Version: ").size());
}

TEST_F(AboutTest, EveryBoxMeasuresAndTheLatestIsFMAbout) {
  speed_ = 733.5;
  TFMAbout* first = NewBox();
  EXPECT_EQ(FMAbout.data(), first);
  EXPECT_EQ(measurements_, 1);
  EXPECT_DOUBLE_EQ(CpuSpeed, 733.5);
  speed_ = 1800.0;
  TFMAbout* second = NewBox();
  EXPECT_NE(first, second);
  EXPECT_EQ(FMAbout.data(), second);
  EXPECT_EQ(measurements_, 2);
  EXPECT_DOUBLE_EQ(CpuSpeed, 1800.0);
}

TEST_F(AboutTest, FMAboutIsClearedWhenItsBoxIsGone) {
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  Click(box);
  ASSERT_TRUE(ClosedAndFreed(box));
  EXPECT_TRUE(FMAbout.isNull());
}

TEST_F(AboutTest, FastMachinesStartTransparent) {
  struct Case {
    double speed;
    bool blend;
  };
  for (const Case& c : {Case{0.0, false}, Case{500.0, false}, Case{999.0, false}, Case{999.01, true},
                        Case{1000.0, true}, Case{3200.0, true}}) {
    SCOPED_TRACE(c.speed);
    speed_ = c.speed;
    alphas_.clear();
    TFMAbout* box = NewBox();
    EXPECT_EQ(box->AlphaBlend(), c.blend);
    EXPECT_EQ(alphas_, c.blend ? std::vector<int>{0} : std::vector<int>{});
  }
}

TEST_F(AboutTest, FadesInOnActivationAndOutOnClose) {
  speed_ = 1500.0;
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  EXPECT_EQ(alphas_, Concat({0}, kFadeIn));
  Click(box);
  EXPECT_EQ(alphas_, Concat(Concat({0}, kFadeIn), kFadeOut));
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, NoFadeAtOrBelowTheThreshold) {
  for (double speed : {500.0, 999.0}) {
    SCOPED_TRACE(speed);
    speed_ = speed;
    alphas_.clear();
    QPointer<TFMAbout> box = NewBox();
    ASSERT_TRUE(ShowAndActivate(box));
    Click(box);
    EXPECT_TRUE(ClosedAndFreed(box));
    EXPECT_TRUE(alphas_.empty());
  }
}

// Without the recording sink the steps land on the window's opacity.
TEST_F(AboutTest, WindowOpacityFollowsTheFades) {
  TFMAbout::SetOpacitySink(nullptr);
  // The offscreen platform warns about every opacity change.
  const QtMessageHandler previous =
      qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});

  speed_ = 999.0;
  QPointer<TFMAbout> slow = NewBox();
  EXPECT_DOUBLE_EQ(slow->windowOpacity(), 1.0);
  ASSERT_TRUE(ShowAndActivate(slow));
  EXPECT_DOUBLE_EQ(slow->windowOpacity(), 1.0);
  Click(slow);
  EXPECT_DOUBLE_EQ(slow->windowOpacity(), 1.0);
  EXPECT_TRUE(ClosedAndFreed(slow));

  speed_ = 2000.0;
  QPointer<TFMAbout> fast = NewBox();
  EXPECT_DOUBLE_EQ(fast->windowOpacity(), 0.0);
  ASSERT_TRUE(ShowAndActivate(fast));
  EXPECT_DOUBLE_EQ(fast->windowOpacity(), 1.0);
  EXPECT_EQ(fast->Alpha(), 255);
  Click(fast);
  ASSERT_FALSE(fast.isNull());
  EXPECT_DOUBLE_EQ(fast->windowOpacity(), 0.0);
  EXPECT_EQ(fast->Alpha(), 0);
  EXPECT_TRUE(ClosedAndFreed(fast));

  qInstallMessageHandler(previous);
}

TEST_F(AboutTest, AClickDuringTheFadeInLetsItFinishThenCloses) {
  speed_ = 1500.0;
  bool clicked = false;
  onAlpha_ = [&](TFMAbout& box, int alpha) {
    if (alpha == 100 && !clicked && box.Activated()) {
      clicked = true;
      Click(box.findChild<QWidget*>("Label4"));
      EXPECT_TRUE(box.isVisible());
    }
  };
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  EXPECT_TRUE(clicked);
  EXPECT_EQ(alphas_, Concat(Concat({0}, kFadeIn), kFadeOut));
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, KeysDuringTheFadeOutDoNotRestartIt) {
  speed_ = 1500.0;
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  onAlpha_ = [&](TFMAbout& b, int alpha) {
    if (alpha == 100) {
      QTest::keyClick(&b, Qt::Key_A);
      Click(&b);
    }
  };
  QTest::keyClick(box, Qt::Key_Space);
  EXPECT_EQ(alphas_, Concat(Concat({0}, kFadeIn), kFadeOut));
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, AClickAnywhereButTheEtchedLineCloses) {
  for (const char* name : {"FMAbout", "Panel1", "Label1", "Label2", "Image3", "Label3", "Image1", "Image2",
                           "QVersionLabel1", "QVersionLabel2", "Label4"}) {
    SCOPED_TRACE(name);
    QPointer<TFMAbout> box = NewBox();
    ASSERT_TRUE(ShowAndActivate(box));
    QWidget* target = box->objectName() == name ? box.data() : box->findChild<QWidget*>(name);
    ASSERT_NE(target, nullptr);
    QSignalSpy finished(box.data(), &QDialog::finished);
    Click(target);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_TRUE(ClosedAndFreed(box));
  }
}

TEST_F(AboutTest, ClicksOnTheEtchedLineDoNothing) {
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  auto* bevel = box->findChild<QWidget*>("Bevel1");
  ASSERT_NE(bevel, nullptr);
  for (QPoint pos : {QPoint(0, 0), QPoint(154, 1), QPoint(154, 4), QPoint(308, 8), QPoint(1, 8)}) {
    Click(bevel, pos);
    QTest::mouseDClick(bevel, Qt::LeftButton, Qt::NoModifier, pos);
    Click(bevel, pos);
  }
  QCoreApplication::processEvents();
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(box->Closing());
  // Just below the line's area the box closes again.
  Click(box->findChild<QWidget*>("Panel1"), QPoint(155 + 10, 184 + 9));
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, AnyKeyCloses) {
  const Qt::Key keys[] = {Qt::Key_Shift,  Qt::Key_Control, Qt::Key_Alt,   Qt::Key_A, Qt::Key_Escape,
                          Qt::Key_Return, Qt::Key_Tab,     Qt::Key_Space, Qt::Key_F1};
  for (Qt::Key key : keys) {
    SCOPED_TRACE(key);
    QPointer<TFMAbout> box = NewBox();
    ASSERT_TRUE(ShowAndActivate(box));
    QTest::keyPress(box, key);
    EXPECT_TRUE(ClosedAndFreed(box));
  }
}

TEST_F(AboutTest, ShiftAloneClosesThroughTheFocusedWindow) {
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  ASSERT_TRUE(ProcessUntil([&] { return QApplication::activeWindow() == box; }));
  // Sent where the keyboard goes: the active window's focus, or the window itself.
  QTest::keyPress(static_cast<QWidget*>(nullptr), Qt::Key_Shift);
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, SplashTimerRunsOnlyForTheFirstActivation) {
  SplashPending = true;
  QPointer<TFMAbout> splash = NewBox();
  EXPECT_FALSE(splash->Timer1()->isActive());
  EXPECT_EQ(splash->Timer1()->interval(), 2000);
  EXPECT_TRUE(SplashPending);
  ASSERT_TRUE(ShowAndActivate(splash));
  EXPECT_TRUE(splash->Timer1()->isActive());
  EXPECT_EQ(splash->Timer1()->interval(), 2000);
  EXPECT_FALSE(SplashPending);
  // Let the timer run out now instead of after two seconds.
  QSignalSpy finished(splash.data(), &QDialog::finished);
  splash->Timer1()->setInterval(0);
  ASSERT_TRUE(ProcessUntil([&] { return finished.count() == 1; }));
  EXPECT_TRUE(ClosedAndFreed(splash));

  QPointer<TFMAbout> later = NewBox();
  ASSERT_TRUE(ShowAndActivate(later));
  EXPECT_FALSE(later->Timer1()->isActive());
  Click(later);
  EXPECT_TRUE(ClosedAndFreed(later));
}

TEST_F(AboutTest, ClosingStopsTheSplashTimer) {
  SplashPending = true;
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  ASSERT_TRUE(box->Timer1()->isActive());
  QTest::keyPress(box, Qt::Key_Shift);
  ASSERT_FALSE(box.isNull());
  EXPECT_FALSE(box->Timer1()->isActive());
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, SplashTimerHandlerCloses) {
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  box->Timer1Timer();
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, ActivationRunsOncePerBox) {
  speed_ = 1500.0;
  QPointer<TFMAbout> box = NewBox();
  ASSERT_TRUE(ShowAndActivate(box));
  ASSERT_TRUE(ProcessUntil([&] { return QApplication::activeWindow() == box; }));
  QWidget other;
  other.show();
  other.activateWindow();
  ProcessUntil([&] { return QApplication::activeWindow() == &other; });
  box->activateWindow();
  ProcessUntil([&] { return QApplication::activeWindow() == box; });
  EXPECT_EQ(alphas_, Concat({0}, kFadeIn));
  box->close();
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, ABoxNeverShownClosesWithoutFading) {
  speed_ = 1500.0;
  QPointer<TFMAbout> box = NewBox();
  box->close();
  EXPECT_EQ(alphas_, std::vector<int>{0});
  EXPECT_TRUE(ClosedAndFreed(box));
}

TEST_F(AboutTest, InfoActionOpensANewModalBoxCentredOverTheMainWindow) {
  QWidget mainWindow;
  mainWindow.setGeometry(100, 80, 771, 592);
  mainWindow.show();
  std::vector<QPointer<TFMAbout>> opened;
  std::vector<QPoint> places;
  // Creating the box processes pending events before it is shown, so this
  // waits by posting itself again until the box is up.
  std::function<void()> closeWhenActive;
  closeWhenActive = [&] {
    if (FMAbout.isNull() || !FMAbout->Activated()) {
      QTimer::singleShot(0, closeWhenActive);
      return;
    }
    opened.emplace_back(FMAbout.data());
    places.push_back(FMAbout->pos());
    EXPECT_TRUE(FMAbout->isModal());
    EXPECT_EQ(FMAbout->parentWidget(), &mainWindow);
    Click(FMAbout);
  };
  for (int i = 0; i < 2; ++i) {
    QTimer::singleShot(0, closeWhenActive);
    EXPECT_EQ(TFMAbout::ShowModalOver(&mainWindow), QDialog::Rejected);
  }
  ASSERT_EQ(opened.size(), 2u);
  EXPECT_NE(opened[0], opened[1]);
  EXPECT_EQ(measurements_, 2);
  const QRect frame = mainWindow.frameGeometry();
  const QPoint centred(frame.left() + (frame.width() - 480) / 2, frame.top() + (frame.height() - 302) / 2);
  EXPECT_EQ(places[0], centred);
  EXPECT_EQ(places[1], centred);
  FlushDeferredDeletes();
  EXPECT_TRUE(opened[0].isNull());
  EXPECT_TRUE(opened[1].isNull());
  EXPECT_TRUE(FMAbout.isNull());
}

}  // namespace
}  // namespace ordalyn
