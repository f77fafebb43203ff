#include "app/program.h"

#include "app/dialogs/uAbout.h"
#include "app/dialogs/uHelp.h"
#include "app/dialogs/uSaveChanges.h"
#include "app/dialogs/uStopLog.h"
#include "app/errorboxes.h"
#include "app/uDevices.h"

namespace ordalyn {

namespace {

QtMessageHandler g_nextMessageHandler = nullptr;

// The offscreen platform warns on every start that it cannot pass a window's
// size hints on or raise it; neither matters to whoever runs the program, and
// standard error is kept for what does.
void SkipPlatformNoise(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (type == QtWarningMsg &&
      (message == QLatin1String("This plugin does not support propagateSizeHints()") ||
       message == QLatin1String("This plugin does not support raise()"))) {
    return;
  }
  if (g_nextMessageHandler != nullptr) {
    g_nextMessageHandler(type, context, message);
  }
}

}  // namespace

Program::Program(const MainServices& services) {
  main_ = std::make_unique<TFMMain>(services);
  about_ = new TFMAbout(main_.get());
  devices_ = new TFMDevices(*services.platform, main_->State(), main_.get());
  help_ = new TFMHelp(main_.get());
  saveChanges_ = new TFMSaveChanges(main_.get());
  stopLog_ = new TFMStopLog(main_.get());
  main_->SetDialogs(devices_, help_, saveChanges_, stopLog_);
}

Program::~Program() = default;

void Program::Show() {
  main_->show();
  main_->raise();
  main_->activateWindow();
}

bool ScreenVisible() {
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

OrdalynApplication::OrdalynApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName(QStringLiteral("Ordalyn"));
  setDesktopFileName(QStringLiteral(ORDALYN_APP_ID));
  if (g_nextMessageHandler == nullptr) {
    g_nextMessageHandler = qInstallMessageHandler(SkipPlatformNoise);
  }
}

bool OrdalynApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    GeneralErrorHandler().Report(std::current_exception());
    return false;
  }
}

}  // namespace ordalyn
