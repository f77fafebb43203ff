// The running program: its windows, created once at start-up in this order
// and kept until the process ends: the main window, the About box (never
// shown; the Info action makes its own), the TAPI lines dialog (which lists
// the lines as it is created), the usage help and the two closing questions.
#pragma once

#include <QApplication>
#include <memory>
#include <string>
#include <vector>

#include "app/uMain.h"

namespace ordalyn {

class TFMAbout;
class TFMDevices;
class TFMHelp;
class TFMSaveChanges;
class TFMStopLog;

class Program {
 public:
  explicit Program(const MainServices& services);
  ~Program();

  // Shows the main window and asks for its activation: on an X server
  // without a window manager showing alone never activates the application,
  // and the first activation is what starts everything.
  void Show();

  TFMMain& Main() { return *main_; }
  TFMDevices& Devices() { return *devices_; }
  TFMHelp& Help() { return *help_; }
  TFMSaveChanges& SaveChanges() { return *saveChanges_; }
  TFMStopLog& StopLog() { return *stopLog_; }

 private:
  std::unique_ptr<TFMMain> main_;
  TFMAbout* about_ = nullptr;  // owned by the main window
  TFMDevices* devices_ = nullptr;
  TFMHelp* help_ = nullptr;
  TFMSaveChanges* saveChanges_ = nullptr;
  TFMStopLog* stopLog_ = nullptr;
};

// Qt does not let exceptions pass through its event loop: whatever an event
// handler throws ends in the general error handler instead.
class OrdalynApplication : public QApplication {
 public:
  OrdalynApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

// Before the application object exists. Without a display and without a
// platform the user chose (QT_QPA_PLATFORM, -platform), a background trace
// runs on the offscreen platform, and an interactive run cannot start: it
// says so in one line on standard error. With a display, Qt falls back to
// the offscreen platform when it cannot reach it (see UnreachableDisplay).
// Gives 0, or the exit status to end with. arguments are the command line
// without the program's name.
int PrepareDisplay(bool background, const std::vector<std::string>& arguments);
inline constexpr int kNoDisplayStatus = TraceController::kNoScreenStatus;

// Once the application object exists: the display Qt could not reach before
// it fell back to the offscreen platform; empty when it reached it.
std::string UnreachableDisplay();

// True when the platform shows windows to somebody (not offscreen).
bool ScreenVisible();

// The one line of an interactive start with nothing to show the window on:
// "No display to show the window on (<why>); a background trace runs
// without one: ordalyn -# filename".
std::string NoScreenText();
std::string NoScreenReason();

// What becomes of Qt's own messages. Starting: while the application object
// is built (the platform is being found), nothing but a failure to start,
// which ends the process with kNoDisplayStatus after one line on standard
// error. Quiet: a run nobody watches (a background trace, no visible
// screen), where standard error carries the program's own lines alone.
// Shown: everything but known noise.
enum class QtMessages { Starting, Quiet, Shown };
void SetQtMessages(QtMessages mode);

// From the program's first instruction: SIGINT, SIGTERM and SIGHUP request
// the end (RequestEnd) instead of killing the process, and SIGPIPE and
// SIGXFSZ are ignored (their writes fail instead). Nothing on Windows.
void CatchEndSignals();

// Calls handler on the user-interface thread when the system asks the
// program to end (SIGINT, SIGTERM or SIGHUP, also one that came before;
// on Windows the session ending).
void OnSystemEnd(QObject* context, std::function<void()> handler);

}  // namespace ordalyn
