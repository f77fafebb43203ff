#include "app/dialogs/uAbout.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>

#include "app/dialogs/dialogbase.h"
#include "app/resources/appimages.h"
#include "util/cpuspeed.h"
#include "util/utools.h"
#include "widgets/QVersionLabel.h"

namespace ordalyn {

QPointer<TFMAbout> FMAbout;
bool SplashPending = true;
double CpuSpeed = 0.0;

namespace {

constexpr int kLabelHeight = 13;

// Counts the boxes' measurements: only the latest box's result becomes CpuSpeed.
unsigned latestMeasurement = 0;

TFMAbout::TCpuMeasurer& CpuMeasurer() {
  static TFMAbout::TCpuMeasurer measurer;
  return measurer;
}

TFMAbout::TOpacitySink& OpacitySink() {
  static TFMAbout::TOpacitySink sink;
  return sink;
}

QLabel* NewPicture(QWidget* parent, const char* name, const char* resource, int left, int top, int width,
                   int height) {
  auto* picture = new QLabel(parent);
  picture->setObjectName(name);
  const QPixmap pixmap(QString::fromLatin1(resource));
  picture->setPixmap(pixmap);
  if (!pixmap.isNull()) {
    width = pixmap.width();
    height = pixmap.height();
  }
  picture->setGeometry(left, top, width, height);
  return picture;
}

// A self-sizing left-aligned text keeps its left edge.
void SizeToTextFromLeft(QLabel* label, int left, int top) {
  const QSize hint = label->sizeHint();
  label->setGeometry(left, top, hint.width(), std::max(kLabelHeight, hint.height()));
}

// A self-sizing right-aligned text keeps its right edge; an empty one keeps its box.
void SizeToTextFromRight(QLabel* label, int right, int top, int emptyWidth) {
  label->setAlignment(Qt::AlignRight | Qt::AlignTop);
  const QSize hint = label->sizeHint();
  const int width = label->text().isEmpty() ? emptyWidth : hint.width();
  label->setGeometry(right - width, top, width, std::max(kLabelHeight, hint.height()));
}

}  // namespace

void TFMAbout::SetCpuMeasurer(TCpuMeasurer measurer) { CpuMeasurer() = std::move(measurer); }

void TFMAbout::SetOpacitySink(TOpacitySink sink) { OpacitySink() = std::move(sink); }

TFMAbout::TFMAbout(QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
  setObjectName("FMAbout");
  setFixedSize(kClientWidth, kClientHeight);
  setFont(DialogFont());
  QPalette white = palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  setPalette(white);
  setAutoFillBackground(true);

  panel1_ = new QFrame(this);
  panel1_->setObjectName("Panel1");
  panel1_->setGeometry(0, 0, kClientWidth, kClientHeight);
  panel1_->setFrameStyle(QFrame::Box | QFrame::Plain);
  panel1_->setLineWidth(1);
  panel1_->setAutoFillBackground(true);

  label1_ = NewLabel(panel1_, "Label1", "", 379, 278);
  SizeToTextFromRight(label1_, kRightEdge, 278, 87);
  label2_ = NewLabel(panel1_, "Label2", kMakerName, 380, 266);
  SizeToTextFromRight(label2_, kRightEdge, 266, 86);

  image3_ = NewPicture(panel1_, "Image3", appimages::kEmblemImage, 8, 31, 120, 140);

  label3_ = NewLabel(panel1_, "Label3", kSubtitle, 155, 117);
  MakeBold(label3_);
  SizeToTextFromLeft(label3_, 155, 117);

  image1_ = NewPicture(panel1_, "Image1", appimages::kMakerWordmarkImage, 154, 38, 150, 20);
  image2_ = NewPicture(panel1_, "Image2", appimages::kProductWordmarkImage, 179, 61, 250, 44);

  bevel1_ = new TEtchedLine(panel1_);
  bevel1_->setObjectName("Bevel1");
  bevel1_->setGeometry(155, 184, 309, 9);

  // The version labels size themselves to their text at every refresh, keeping
  // the right edge when right-aligned. The properties in the order a stored
  // form assigns them.
  qVersionLabel1_ = new TQVersionLabel(panel1_);
  qVersionLabel1_->setObjectName("QVersionLabel1");
  qVersionLabel1_->setAlignment(Qt::AlignRight | Qt::AlignTop);
  qVersionLabel1_->setGeometry(368, 253, 98, kLabelHeight);
  qVersionLabel1_->setFileVersionPart(fvAll);
  qVersionLabel1_->setVersionResource(vrLegalCopyright);
  qVersionLabel1_->setInfoPrefix("Legal Copyright:");
  qVersionLabel1_->setShowInfoPrefix(false);
  qVersionLabel1_->setLangCharset("-1");

  qVersionLabel2_ = new TQVersionLabel(panel1_);
  qVersionLabel2_->setObjectName("QVersionLabel2");
  qVersionLabel2_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  qVersionLabel2_->setGeometry(155, 133, 140, kLabelHeight);
  qVersionLabel2_->setFileVersionPart(fvAll);
  qVersionLabel2_->setVersionResource(vrFileVersion);
  qVersionLabel2_->setInfoPrefix("Version:");
  qVersionLabel2_->setShowInfoPrefix(true);
  qVersionLabel2_->setLangCharset("-1");

  label4_ = new QLabel(panel1_);
  label4_->setObjectName("Label4");
  label4_->setTextFormat(Qt::PlainText);
  label4_->setWordWrap(true);
  label4_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  label4_->setText(kNotice);
  QPalette grey = label4_->palette();
  grey.setColor(QPalette::WindowText, QColor(0x80, 0x80, 0x80));
  label4_->setPalette(grey);
  label4_->setGeometry(155, 195, 299, 52);

  timer1_ = new QTimer(this);
  timer1_->setObjectName("Timer1");
  timer1_->setInterval(kSplashInterval);
  connect(timer1_, &QTimer::timeout, this, &TFMAbout::Timer1Timer);

  // Centred on the screen unless the opener places it.
  const QScreen* screen = owner != nullptr ? owner->screen() : QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect area = screen->geometry();
    move(area.left() + (area.width() - kClientWidth) / 2, area.top() + (area.height() - kClientHeight) / 2);
  }

  FMAbout = this;
  FormCreate();
}

TFMAbout::~TFMAbout() {
  // The worker is done before the box it reports to goes.
  measurement_.reset();
}

TFMAbout* TFMAbout::CreateOver(QWidget* mainWindow) {
  auto* box = new TFMAbout(mainWindow);
  if (mainWindow != nullptr) box->CentreOver(mainWindow);
  return box;
}

int TFMAbout::ShowModalOver(QWidget* mainWindow) { return CreateOver(mainWindow)->exec(); }

void TFMAbout::CentreOver(const QWidget* window) {
  const QRect area = window->frameGeometry();
  const QPoint centred(area.left() + (area.width() - width()) / 2,
                       area.top() + (area.height() - height()) / 2);
  move(KeepInside(QRect(centred, size()), AvailableArea(window)));
}

void TFMAbout::FormCreate() {
  QCoreApplication::processEvents();
  // The measurement sleeps for half a second: it runs on a worker thread, and
  // TakeCpuSpeed takes its result in.
  measurementNumber_ = ++latestMeasurement;
  TCpuMeasurer measure = CpuMeasurer();
  if (!measure) measure = [] { return MeasureCpuSpeed(); };
  measurement_ = std::make_unique<BackgroundCpuMeasurement>(
      measure, [this] { QMetaObject::invokeMethod(this, &TFMAbout::TakeCpuSpeed, Qt::QueuedConnection); });
}

void TFMAbout::TakeCpuSpeed() {
  if (measured_) return;
  measured_ = true;
  const double speed = measurement_->Result();
  if (measurementNumber_ == latestMeasurement) CpuSpeed = speed;
  if (!alphaBlend_ && speed > kFadeThreshold) {
    SetAlpha(0);
    alphaBlend_ = true;
  }
}

void TFMAbout::setVisible(bool visible) {
  if (visible) TakeCpuSpeed();
  QDialog::setVisible(visible);
}

void TFMAbout::FormActivate() {
  // A close asked for while this runs waits until it is over, fade-in included.
  QPointer<TFMAbout> self(this);
  activating_ = true;
  QCoreApplication::processEvents();
  if (self.isNull()) return;
  if (SplashPending) timer1_->start();
  SplashPending = false;
  QCoreApplication::processEvents();
  if (self.isNull()) return;
  if (CpuSpeed > kFadeThreshold && !Fade(true)) return;
  activating_ = false;
  if (closePending_) {
    closePending_ = false;
    close();
  }
}

void TFMAbout::FormKeyDown() { RequestClose(); }

void TFMAbout::Image1Click() { RequestClose(); }

void TFMAbout::Timer1Timer() { RequestClose(); }

void TFMAbout::RequestClose() {
  if (activating_) {
    closePending_ = true;
    return;
  }
  close();
}

void TFMAbout::ActivateOnce() {
  if (activated_ || closing_ || !isVisible()) return;
  activated_ = true;
  FormActivate();
}

bool TFMAbout::Fade(bool fadeIn) {
  QPointer<TFMAbout> self(this);
  for (int i = 0; i <= 51; ++i) {
    SetAlpha(5 * (fadeIn ? i : 51 - i));
    QCoreApplication::processEvents();
    if (self.isNull()) return false;
  }
  return true;
}

void TFMAbout::SetAlpha(int alpha) {
  alpha_ = alpha;
  if (OpacitySink()) {
    OpacitySink()(*this, alpha);
    return;
  }
  setWindowOpacity(alpha / 255.0);
  // On X11 a new opacity only reaches the screen when the window is updated
  // after it: repaint at once so that every step of a fade is seen.
  if (isVisible()) repaint();
}

bool TFMAbout::event(QEvent* e) {
  switch (e->type()) {
    case QEvent::KeyPress:
      // Every key closes the box, Tab and modifier keys alone included.
      e->accept();
      FormKeyDown();
      return true;
    case QEvent::WindowActivate: {
      const bool handled = QDialog::event(e);
      ActivateOnce();
      return handled;
    }
    default:
      return QDialog::event(e);
  }
}

void TFMAbout::showEvent(QShowEvent* e) {
  QDialog::showEvent(e);
  activateWindow();
  // Activation arrives asynchronously (and on some displays not at all without
  // a window manager): the box also counts as activated once it is on screen.
  QMetaObject::invokeMethod(this, &TFMAbout::ActivateOnce, Qt::QueuedConnection);
}

void TFMAbout::closeEvent(QCloseEvent* e) {
  if (closing_) {
    // Already on its way out (a key or click during the fade-out).
    e->ignore();
    return;
  }
  if (activating_) {
    closePending_ = true;
    e->ignore();
    return;
  }
  // FormClose.
  closing_ = true;
  timer1_->stop();
  setAttribute(Qt::WA_DeleteOnClose, true);
  if (isVisible() && CpuSpeed > kFadeThreshold && !Fade(false)) return;
  QDialog::closeEvent(e);
}

void TFMAbout::mousePressEvent(QMouseEvent* e) { e->accept(); }

void TFMAbout::mouseReleaseEvent(QMouseEvent* e) {
  e->accept();
  if (rect().contains(e->position().toPoint())) Image1Click();
}

}  // namespace ordalyn
