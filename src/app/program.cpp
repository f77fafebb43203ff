#include "app/program.h"

#include "app/dialogs/uAbout.h"
#include "app/dialogs/uHelp.h"
#include "app/dialogs/uSaveChanges.h"
#include "app/dialogs/uStopLog.h"
#include "app/errorboxes.h"
#include "app/uDevices.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace ordalyn {

namespace {

QtMessageHandler g_nextMessageHandler = nullptr;
std::atomic<QtMessages> g_qtMessages{QtMessages::Shown};

// Messages that say nothing to whoever runs the program: the offscreen
// platform cannot pass a window's size hints on or raise it, and a session
// without XDG_RUNTIME_DIR (cron, services) gets a folder of Qt's choosing.
bool IsNoise(const QString& message) {
  return message == QLatin1String("This plugin does not support propagateSizeHints()") ||
         message == QLatin1String("This plugin does not support raise()") ||
         message.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set"));
}

void FilterQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  const QtMessages mode = g_qtMessages.load();
  if (type == QtFatalMsg && mode == QtMessages::Starting) {
    // Qt found no platform to start on: one line, and no core dump.
    std::fprintf(stderr, "ordalyn: %s\n", message.simplified().toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(kNoDisplayStatus);
  }
  if (type != QtFatalMsg && (mode != QtMessages::Shown || IsNoise(message))) {
    return;
  }
  if (g_nextMessageHandler != nullptr) {
    g_nextMessageHandler(type, context, message);
  }
}

}  // namespace

void SetQtMessages(QtMessages mode) {
  g_qtMessages.store(mode);
  static const bool installed = [] {
    g_nextMessageHandler = qInstallMessageHandler(FilterQtMessages);
    return true;
  }();
  (void)installed;
}

std::string NoScreenText() {
  return "No display to show the window on (" + NoScreenReason() +
         "); a background trace runs without one: ordalyn -# filename";
}

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
