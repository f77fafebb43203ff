#include "app/core/tracecontroller.h"

#include <utility>

#include "app/core/commandline.h"
#include "tapi/lineinventory.h"
#include "util/ioerror.h"

namespace ordalyn {

TraceController::TraceController(const TraceServices& services, TraceView& view)
    : services_(services), view_(view) {
  log_ = std::make_unique<TraceLog>(
      view_, *services_.clock, services_.timeSeparator, [this] { return view_.BuildLabelText(); },
      [this] { return view_.CopyrightLabelText(); }, services_.makeFile());
  log_->SetKeptTextListener([this] { view_.SetRetryTimer(true); });
  // Nothing kept will ever reach a pipe whose reader has gone: the trace
  // ends as when the system ends it, once the failing write has returned.
  log_->SetFileLostListener([this] { view_.EndBySystemLater(); });
  session_ = std::make_unique<TapiSession>(*services_.platform, state_, *log_);
  trace_ = std::make_unique<LineEventTrace>(*services_.platform, state_, *log_);

  state_.tapiVersion = kTapiHighVersion;
  // TAPI calls a free function; it reaches this trace through the
  // process-wide reference, and its failures reach the view's error box.
  SetLineCallbackTarget(trace_.get());
  SetLineCallbackErrorHandler([this](std::exception_ptr error) { view_.ShowError(error); });
}

TraceController::~TraceController() {
  if (LineCallbackTarget() == trace_.get()) {
    SetLineCallbackTarget(nullptr);
    SetLineCallbackErrorHandler(nullptr);
  }
}

bool TraceController::Guard(const std::function<void()>& action) {
  try {
    action();
    return true;
  } catch (...) {
    view_.ShowError(std::current_exception());
    return false;
  }
}

void TraceController::Activate() {
  // Once the program is ending, nothing begins any more.
  if (!firstActivation_ || endingBySystem_) {
    return;
  }
  firstActivation_ = false;

  std::vector<std::string> list;
  EnumerateLines(*services_.platform, state_, list, false);
  view_.ShowLines(list);

  state_.selectedDevice = -1;
  log_->SetBackgroundFileName({});
  state_.loggedOn = false;

  const auto request = ReadCommandLine(services_.arguments);
  // Without a file name ("") there is nothing to trace into: interactive
  // mode, with Start offered.
  const std::string fileName =
      request ? ExpandMacros(request->fileName, *services_.clock, services_.computerName) : std::string();
  if (fileName.empty() && !services_.visibleScreen) {
    // Nobody could ever use the window: say so and end.
    view_.SetErrorsEnding();
    view_.ShowError(services_.noScreenText());
    view_.EndProgram(kNoScreenStatus);
    return;
  }
  if (fileName.empty() || (services_.endRequested && services_.endRequested())) {
    return;
  }
  BeginBackgroundTrace(fileName, request->lineArgument);
}

void TraceController::BeginBackgroundTrace(const std::string& fileName, const std::string& lineArgument) {
  view_.Minimize();
  state_.selectedDevice = ReadSelectedDevice(lineArgument);
  log_->SetBackgroundFileName(fileName);
  // A second logon on top of the background trace would corrupt its state:
  // Start is not offered in background mode.
  view_.SetTraceActions(false, false, true);
  try {
    log_->OpenBackgroundFile();
  } catch (...) {
    if (services_.visibleScreen) {
      view_.ShowError(std::current_exception());
      return;
    }
    // Nobody would ever see the box: the error goes to standard error alone
    // and the program ends, so that whoever started it learns of it.
    view_.SetErrorsEnding();
    view_.ShowError(std::current_exception());
    view_.EndProgram(kNoBackgroundFileStatus);
    return;
  }
  view_.ShowBackgroundPanel(true);
  // A write the file refuses does not stop the logon: its text is kept for
  // the file, and the error is shown once the logon is complete.
  Guard([this] { log_->WriteAllOf([this] { session_->Logon(); }); });
}

void TraceController::Start() {
  if (InBackgroundMode()) {
    return;
  }
  view_.SetTraceActions(false, true, false);
  unsavedTrace_ = true;
  view_.ShowBackgroundPanel(false);
  state_.selectedDevice = LineNumberOfEntry(view_.ChosenLine());
  Guard([this] { log_->WriteAllOf([this] { session_->Logon(); }); });
}

void TraceController::Stop() {
  view_.SetTraceActions(!InBackgroundMode(), false, true);
  view_.ShowBackgroundPanel(false);
  Guard([this] { log_->WriteAllOf([this] { session_->Logoff(); }); });
}

void TraceController::Clear() {
  view_.ClearScreen();
  unsavedTrace_ = false;
}

void TraceController::Save() {
  const auto fileName = view_.AskSaveFileName();
  if (!fileName || !Guard([this, &fileName] { SaveTo(*fileName); })) {
    return;
  }
  unsavedTrace_ = false;
  // The next Save offers the name really used, with the extension the dialog added.
  view_.OfferChosenFileName();
}

void TraceController::SaveTo(const std::string& name) {
  std::unique_ptr<OutputFile> file = services_.makeFile();
  if (const int error = file->Create(name); error != 0) {
    throw CreateFileError(error, name);
  }
  int writeError = 0;
  const bool written = view_.WriteScreenText([&](std::string_view bytes) {
    const auto result = file->Write(bytes.data(), bytes.size());
    writeError = result.error;
    return result.error == 0 && result.written == bytes.size();
  });
  const int closeError = file->Close();
  if (!written) {
    throw IoError::FromOs(writeError, "Cannot write to file", name);
  }
  if (closeError != 0) {
    throw IoError::FromOs(closeError, "Cannot close file", name);
  }
}

void TraceController::RetryTick() {
  log_->RetryKeptText();
  if (!log_->KeptText()) {
    view_.SetRetryTimer(false);
    // The file takes data again: how often its error came meanwhile.
    view_.FlushRepeats();
  }
}

void TraceController::EndBySystem() {
  // Nobody is there to answer boxes: errors on the way out go to standard
  // error. An error box may be running its own loop (one without a parent is
  // not closed with the window): ending the program ends every loop.
  // A second request (a signal after the pipe's reader went) only ends it.
  if (endingBySystem_) {
    view_.EndProgram(0);
    return;
  }
  endingBySystem_ = true;
  view_.SetErrorsEnding();
  view_.CloseWindow();
  view_.EndProgram(0);
}

bool TraceController::CloseQuery() {
  if (endingBySystem_) {
    return true;
  }
  bool canClose = true;
  if (unsavedTrace_ && !view_.AskSaveChanges()) {
    canClose = false;
  }
  if (InBackgroundMode() && !view_.AskStopLogging()) {
    canClose = false;
    view_.Minimize();
  }
  return canClose;
}

void TraceController::Close() {
  Guard([this] { log_->WriteAllOf([this] { session_->Logoff(); }); });
  if (state_.loggedOn) {
    // The logoff did not finish: TAPI is released all the same, so no
    // message arrives after the window has gone.
    services_.platform->lineShutdown(state_.appHandle);
    state_.loggedOn = false;
  }
  // A background file that could never be created is not closed: the program
  // ends all the same.
  if (InBackgroundMode() && log_->BackgroundFileOpen()) {
    Guard([this] { log_->CloseBackgroundFile(); });
  }
}

int TraceController::ExitStatus(int loopStatus) const {
  return loopStatus == 0 && log_->TextLost() ? kTextLostStatus : loopStatus;
}

}  // namespace ordalyn
