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

#include "app/core/tracecontroller.h"

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

// What the main window works with: the controller's services.
using MainServices = TraceServices;

// The colours of the menu bar and toolbars, by skin role.
struct SkinColour {
  const char* role;
  const char* value;  // "#RRGGBB", or a system colour's role name
};
extern const SkinColour kSkinColours[28];
// The skin as a style sheet, with text colours readable on its backgrounds in
// the given palette.
QString SkinStyleSheet(const QPalette& palette);

// The view of the trace: it forwards the user's actions to its controller and
// shows what the controller reports.
class TFMMain : public QMainWindow, private TraceView {
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
  // reader has gone).
  void EndBySystem();

  TraceController& Controller() { return *controller_; }
  TapiState& State() { return controller_->State(); }
  TraceLog& Log() { return controller_->Log(); }
  TraceScreenLog& Screen() { return *screen_; }
  bool UnsavedTrace() const { return controller_->UnsavedTrace(); }
  bool FirstActivation() const { return controller_->FirstActivation(); }
  QFileDialog* SaveDialog1() const { return saveDialog1_; }

 protected:
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Sizes the window to its outer size with the frame it has now and centres
  // that frame on the screen.
  void PlaceOnScreen();
  void CreateActions();
  void CreateDock();
  void CreateClientArea();

  // What the controller reports.
  void AppendLine(const std::string& line) override;
  void ShowLines(const std::vector<std::string>& entries) override;
  std::string ChosenLine() override;
  void SetTraceActions(bool start, bool stop, bool reset) override;
  void ShowBackgroundPanel(bool shown) override;
  void Minimize() override;
  std::string BuildLabelText() override;
  std::string CopyrightLabelText() override;
  void ClearScreen() override;
  bool WriteScreenText(const std::function<bool(std::string_view bytes)>& write) override;
  std::optional<std::string> AskSaveFileName() override;
  void OfferChosenFileName() override;
  bool AskSaveChanges() override;
  bool AskStopLogging() override;
  void ShowError(std::exception_ptr error) override;
  void ShowError(const std::string& text) override;
  void SetErrorsEnding() override;
  void FlushRepeats() override;
  void SetRetryTimer(bool running) override;
  void EndBySystemLater() override;
  void CloseWindow() override;
  void EndProgram(int status) override;

  std::unique_ptr<TraceController> controller_;
  // The name the save dialog gave last, as it gave it.
  QString chosenFileName_;
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
