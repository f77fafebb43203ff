// The About box: a borderless, always-on-top window with the product's
// pictures, version and copyright, the maker's name and a short notice. Any
// click (except on the etched line), any key or, while it serves as a splash
// screen, a two-second timer closes it; on fast machines it fades in and out.
// Each box frees itself once it is closed.
#pragma once

#include <QDialog>
#include <QPointer>

#include <functional>
#include <memory>

class QFrame;
class QLabel;
class QTimer;

namespace ordalyn {

class BackgroundCpuMeasurement;
class TEtchedLine;
class TFMAbout;
class TQVersionLabel;

// The most recently created About box (null once that box is gone).
extern QPointer<TFMAbout> FMAbout;
// The box auto-closes (splash screen) while this is true; true at start,
// cleared by the first activation of any box and by the main window's first
// activation.
extern bool SplashPending;
// The processor clock in MHz measured for the latest box created; 0 until its
// measurement is in.
extern double CpuSpeed;
// The boxes fade in and out only when CpuSpeed is above this.
inline constexpr double kFadeThreshold = 999.0;

class TFMAbout : public QDialog {
  Q_OBJECT

 public:
  static constexpr int kClientWidth = 480;
  static constexpr int kClientHeight = 302;
  static constexpr int kSplashInterval = 2000;  // ms
  static constexpr int kRightEdge = 466;        // shared by the right-aligned texts
  static constexpr const char* kMakerName = "Marbleknot";
  static constexpr const char* kSubtitle = "TAPI line monitor";
  // Four lines joined by CR LF.
  static constexpr const char* kNotice = " \r\n \r\n \"as is\"  \r\n";

  // Measures the processor clock in MHz; the default is MeasureCpuSpeed().
  using TCpuMeasurer = std::function<double()>;
  // Applies a whole-window opacity from 0 (transparent) to 255 (opaque); the
  // default sets the window opacity and repaints so the change reaches the screen.
  using TOpacitySink = std::function<void(TFMAbout& box, int alpha)>;
  // Null restores the default. Meant for tests, which must not measure or fade for real.
  static void SetCpuMeasurer(TCpuMeasurer measurer);
  static void SetOpacitySink(TOpacitySink sink);

  // Creates the box (runs FormCreate, makes it FMAbout), centred on the screen.
  // Its processor measurement runs on a worker thread from this moment.
  explicit TFMAbout(QWidget* owner = nullptr);
  ~TFMAbout() override;

  // The Info action: a new box owned by mainWindow, made FMAbout, centred over
  // mainWindow and shown modally. Returns the modal result (Rejected).
  static int ShowModalOver(QWidget* mainWindow);
  // The same box, created and placed but not shown (show it with exec() or open()).
  static TFMAbout* CreateOver(QWidget* mainWindow);

  // Places the box at the centre of a window.
  void CentreOver(const QWidget* window);

  // Takes in the box's processor measurement, waiting for it when it is not
  // done yet: sets CpuSpeed (when this is the latest box) and makes the box
  // transparent on a fast machine. Runs when the measurement is done, and
  // before the box is first shown; later calls do nothing.
  void TakeCpuSpeed();

  void setVisible(bool visible) override;

  QTimer* Timer1() const { return timer1_; }
  // Whether FormCreate switched the opacity blending on.
  bool AlphaBlend() const { return alphaBlend_; }
  // The opacity last applied (255 until the first change).
  int Alpha() const { return alpha_; }
  // Whether FormActivate has run for this box.
  bool Activated() const { return activated_; }
  // Whether FormClose has run (the box is closing or closed).
  bool Closing() const { return closing_; }

  // The handlers; each closes the box.
  void Image1Click();
  void Timer1Timer();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void FormCreate();
  void FormActivate();
  void FormKeyDown();
  // Runs FormActivate the first time the visible box is activated.
  void ActivateOnce();
  // Sets the opacity in steps of 5, processing pending events after each
  // step; false when the box was destroyed meanwhile.
  bool Fade(bool fadeIn);
  void SetAlpha(int alpha);
  // Closes now, or when the running activation (fade-in) is over.
  void RequestClose();

  QFrame* panel1_ = nullptr;
  QLabel* label1_ = nullptr;
  QLabel* label2_ = nullptr;
  QLabel* image3_ = nullptr;
  QLabel* label3_ = nullptr;
  QLabel* image1_ = nullptr;
  QLabel* image2_ = nullptr;
  TEtchedLine* bevel1_ = nullptr;
  TQVersionLabel* qVersionLabel1_ = nullptr;
  TQVersionLabel* qVersionLabel2_ = nullptr;
  QLabel* label4_ = nullptr;
  QTimer* timer1_ = nullptr;

  std::unique_ptr<BackgroundCpuMeasurement> measurement_;
  unsigned measurementNumber_ = 0;
  bool measured_ = false;
  bool alphaBlend_ = false;
  int alpha_ = 255;
  bool activated_ = false;
  bool activating_ = false;    // FormActivate (with its fade-in) is running
  bool closePending_ = false;  // a close was asked for while activating
  bool closing_ = false;
};

}  // namespace ordalyn
