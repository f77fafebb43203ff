// The main window: pick a line, Start, Stop, Clear, Save; the TAPI lines
// dialog, the usage help and the About box; the on-screen log and, in
// background mode, the panel that says a trace runs into a file.
#pragma once

#include <QMainWindow>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "log/outputfile.h"
#include "log/tracelog.h"
#include "tapi/linetrace.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

class QAction;
class QComboBox;
class QDialog;
class QFileDialog;
class QLabel;
class QPlainTextEdit;
class QTimer;
class QToolBar;
class QMenuBar;

namespace ordalyn {

class TQVersionLabel;
class TraceScreenLog;

// What the main window works with; tests hand in their own.
struct MainServices {
  TapiPlatform* platform = nullptr;
  const Clock* clock = nullptr;
  std::string timeSeparator = ":";
  std::function<std::string()> computerName;
  // A new file for the background trace and for Save.
  std::function<std::unique_ptr<OutputFile>()> makeFile;
  // The command line without the program's name.
  std::vector<std::string> arguments;
  // False on a platform that shows nothing (offscreen): a background file
  // that cannot be created then ends the program, as nobody would see the box,
  // and so does an interactive start.
  bool visibleScreen = true;
  // True once the system has asked the program to end (a signal that came
  // before the first activation): the trace is not begun.
  std::function<bool()> endRequested;
};

// The colours of the menu bar and toolbars, by skin role.
struct SkinColour {
  const char* role;
  const char* value;  // "#RRGGBB", or a system colour's role name
};
extern const SkinColour kSkinColours[28];
// The skin as a style sheet, with text colours readable on its backgrounds in
// the given palette.
QString SkinStyleSheet(const QPalette& palette);

class TFMMain : public QMainWindow {
  Q_OBJECT

 public:
  // The window's outer size, frame included; it opens centred on the screen.
  static constexpr int kOuterWidth = 771;
  static constexpr int kOuterHeight = 592;

  explicit TFMMain(const MainServices& services, QWidget* parent = nullptr);
  ~TFMMain() override;

  // The windows created after the main window at start-up.
  void SetDialogs(QDialog* devices, QDialog* help, QDialog* saveChanges, QDialog* stopLog);

  // Seams for modal dialogs. execDialog shows a dialog modally and gives its
  // result; askSaveFileName shows the save dialog and gives the chosen name;
  // openAbout shows a new About box.
  std::function<int(QDialog&)> execDialog;
  std::function<std::optional<QString>(QFileDialog&)> askSaveFileName;
  std::function<void()> openAbout;
  // Ends the event loop and the program with an exit status.
  std::function<void(int status)> endProgram;

  // The exit status after a background file that could not be created on a
  // platform without a visible screen.
  static constexpr int kNoBackgroundFileStatus = 1;
  // The exit status after an interactive start on a platform without a
  // visible screen.
  static constexpr int kNoScreenStatus = 2;
  // The exit status when trace text never reached the background file (see
  // TraceLog::TextLost); main gives it when the program ended otherwise well.
  static constexpr int kTextLostStatus = 3;
  // How often text the background file refused is tried again.
  static constexpr int kRetryIntervalMs = 1000;

  // Handlers, named after their control and event.
  void ApplEventsActivate();
  void ACStartExecute();
  void ACStopExecute();
  void ACResetExecute();
  void ACSaveExecute();
  void ACCloseExecute();
  void ACInfoExecute();
  void ACDevicesExecute();
  void ACHelpExecute();
  void FormResize();
  // The retry timer's tick: writes out the text the background file refused
  // when it takes data again; the timer runs while such text is kept.
  void RetryTimerTimer();
  bool RetryTimerActive() const;

  // The system ends the program (a signal, the session ending, a pipe whose
  // reader has gone): close without questions, log off and close the
  // background file.
  void EndBySystem();

  // The trace log sink.
  void LogLine(const std::string& text) { log_->LogLine(text); }
  void LogSeparator() { log_->LogSeparator(); }
  void LogHeader() { log_->LogHeader(); }

  TapiState& State() { return state_; }
  TraceLog& Log() { return *log_; }
  TraceScreenLog& Screen() { return *screen_; }
  bool UnsavedTrace() const { return unsavedTrace_; }
  bool FirstActivation() const { return firstActivation_; }
  QFileDialog* SaveDialog1() const { return saveDialog1_; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  // Sizes the window to its outer size with the frame it has now and centres
  // that frame on the screen.
  void PlaceOnScreen();
  void CreateActions();
  void CreateDock();
  void CreateClientArea();
  bool FormCloseQuery();
  void FormClose();
  void SetTraceActions(bool start, bool stop, bool reset);
  bool InBackgroundMode() const { return !log_->BackgroundFileName().empty(); }
  void SaveTo(const QString& fileName);

  MainServices services_;
  TapiState state_;
  std::unique_ptr<TraceLog> log_;
  std::unique_ptr<TapiSession> session_;
  std::unique_ptr<LineEventTrace> trace_;
  bool unsavedTrace_ = false;
  bool firstActivation_ = true;
  bool endingBySystem_ = false;
  // The frame the window manager said it will put around the window, before
  // the window was mapped; empty when it could not tell.
  QMargins expectedFrame_;
  // Set at the first showing: from then on the window is only moved.
  bool sized_ = false;

  QDialog* fmDevices_ = nullptr;
  QDialog* fmHelp_ = nullptr;
  QDialog* fmSaveChanges_ = nullptr;
  QDialog* fmStopLog_ = nullptr;

  QAction* acStart_ = nullptr;
  QAction* acStop_ = nullptr;
  QAction* acReset_ = nullptr;
  QAction* acSave_ = nullptr;
  QAction* acClose_ = nullptr;
  QAction* acInfo_ = nullptr;
  QAction* acDevices_ = nullptr;
  QAction* acHelp_ = nullptr;

  QWidget* tbDockTop_ = nullptr;
  QMenuBar* tbToolbarMenu_ = nullptr;
  QToolBar* tbToolbarStandard_ = nullptr;
  QComboBox* cbDevices_ = nullptr;
  QPlainTextEdit* meTrace_ = nullptr;
  QWidget* paFooter_ = nullptr;
  QLabel* lbHelp_ = nullptr;
  TQVersionLabel* qvlCopy_ = nullptr;
  TQVersionLabel* qvlBuild_ = nullptr;
  QWidget* paBackgroundTracing_ = nullptr;
  QFileDialog* saveDialog1_ = nullptr;
  QTimer* retryTimer_ = nullptr;
  TraceScreenLog* screen_ = nullptr;
};

}  // namespace ordalyn
