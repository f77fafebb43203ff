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
// says so in one line on standard error. Gives 0, or the exit status to end
// with. arguments are the command line without the program's name.
int PrepareDisplay(bool background, const std::vector<std::string>& arguments);
inline constexpr int kNoDisplayStatus = 2;

// True when the platform shows windows to somebody (not offscreen).
bool ScreenVisible();

// Calls handler on the user-interface thread when the system asks the
// program to end (SIGINT, SIGTERM or SIGHUP; on Windows the session ending).
void OnSystemEnd(QObject* context, std::function<void()> handler);

}  // namespace ordalyn
