// What the program does with a line, without its window: the TAPI state, the
// trace log, the session and the line's trace; the first activation with its
// command line (the background trace), Start, Stop, Clear, Save, the retry of
// text the background file refused, the questions before closing, the end the
// system asks for, and the program's exit statuses. The window forwards the
// user's actions here and shows what the controller reports through
// TraceView.
#pragma once

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "log/outputfile.h"
#include "log/tracelog.h"
#include "tapi/linetrace.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

namespace ordalyn {

// What the controller works with; tests hand in their own.
struct TraceServices {
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
  // The one error line of an interactive start nobody can see.
  std::function<std::string()> noScreenText;
};

// What the window shows and asks for the controller. Its on-screen log takes
// the trace's lines while no background file is named.
class TraceView : public ScreenLog {
 public:
  // The lines to choose from, each "<number> - <name>" in code page 1252;
  // the first is chosen.
  virtual void ShowLines(const std::vector<std::string>& entries) = 0;
  // The chosen entry, code page 1252; empty when none is chosen.
  virtual std::string ChosenLine() = 0;
  virtual void SetTraceActions(bool start, bool stop, bool reset) = 0;
  virtual void ShowBackgroundPanel(bool shown) = 0;
  virtual void Minimize() = 0;
  // The texts the build and copyright labels show, for the log's header.
  virtual std::string BuildLabelText() = 0;
  virtual std::string CopyrightLabelText() = 0;

  // Removes every line of the on-screen log.
  virtual void ClearScreen() = 0;
  // Hands the on-screen log (user edits included) to write in code page 1252
  // with CR LF line ends, a slice at a time, and a last CR LF unless it is
  // empty; false as soon as write gives false.
  virtual bool WriteScreenText(const std::function<bool(std::string_view bytes)>& write) = 0;
  // The save dialog: the chosen name as the system names the file, nothing
  // when cancelled. OfferChosenFileName: the next showing offers the name
  // chosen last.
  virtual std::optional<std::string> AskSaveFileName() = 0;
  virtual void OfferChosenFileName() = 0;

  // The closing questions; true when the user answers yes.
  virtual bool AskSaveChanges() = 0;
  virtual bool AskStopLogging() = 0;

  // The general error handler's box and line; SetErrorsEnding: from now on
  // errors go to standard error alone; FlushRepeats writes the count of a
  // text that came again.
  virtual void ShowError(std::exception_ptr error) = 0;
  virtual void ShowError(const std::string& text) = 0;
  virtual void SetErrorsEnding() = 0;
  virtual void FlushRepeats() = 0;

  // The retry timer, which calls TraceController::RetryTick every
  // kRetryIntervalMs while it runs.
  virtual void SetRetryTimer(bool running) = 0;
  // Calls TraceController::EndBySystem once the current call has returned.
  virtual void EndBySystemLater() = 0;
  // Closes the window the way the user would (TraceController::CloseQuery,
  // then Close).
  virtual void CloseWindow() = 0;
  // Ends the event loop and the program with status.
  virtual void EndProgram(int status) = 0;
};

class TraceController {
 public:
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

  // view must outlive the controller.
  TraceController(const TraceServices& services, TraceView& view);
  ~TraceController();
  TraceController(const TraceController&) = delete;
  TraceController& operator=(const TraceController&) = delete;

  // The first activation of the application: lists the lines and, when the
  // command line names a file, begins the background trace. Later ones do
  // nothing.
  void Activate();
  void Start();
  void Stop();
  void Clear();
  void Save();
  // The retry timer's tick: writes out the text the background file refused
  // when it takes data again; the timer runs while such text is kept.
  void RetryTick();
  // The system ends the program (a signal, the session ending, a pipe whose
  // reader has gone): close without questions, log off and close the
  // background file.
  void EndBySystem();
  // Asked before the window closes: the questions that apply; false keeps it
  // open.
  bool CloseQuery();
  // The window closes: logs off and closes the background file.
  void Close();

  // The program's exit status, given the event loop's.
  int ExitStatus(int loopStatus) const;

  TapiState& State() { return state_; }
  TraceLog& Log() { return *log_; }
  bool UnsavedTrace() const { return unsavedTrace_; }
  bool FirstActivation() const { return firstActivation_; }
  bool InBackgroundMode() const { return !log_->BackgroundFileName().empty(); }

 private:
  // Runs action; whatever it throws goes to the view. False when it threw.
  bool Guard(const std::function<void()>& action);
  void BeginBackgroundTrace(const std::string& fileName, const std::string& lineArgument);
  void SaveTo(const std::string& name);

  TraceServices services_;
  TraceView& view_;
  TapiState state_;
  std::unique_ptr<TraceLog> log_;
  std::unique_ptr<TapiSession> session_;
  std::unique_ptr<LineEventTrace> trace_;
  bool unsavedTrace_ = false;
  bool firstActivation_ = true;
  bool endingBySystem_ = false;
};

}  // namespace ordalyn
