// Ordalyn: watches one TAPI line and writes a readable trace of it.
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/commandline.h"
#include "app/errorboxes.h"
#include "app/program.h"
#include "app/qtmessagepump.h"
#include "log/outputfile.h"
#include "util/clock.h"
#include "util/endrequest.h"
#include "util/timeseparator.h"
#include "util/utools.h"

int main(int argc, char** argv) {
  // Before anything else: an end signal from now on ends the program cleanly.
  ordalyn::CatchEndSignals();
  // The arguments as the user gave them, copied before the application
  // object takes out the options it knows (-reverse, -session, ...).
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  const auto request = ordalyn::ReadCommandLine(arguments);
  // Without a file name ("") there is nothing to trace into: interactive.
  const bool background = request && !request->fileName.empty();
  ordalyn::SetQtMessages(ordalyn::QtMessages::Starting);
  // Without a display Qt would end the process in its constructor.
  if (const int status = ordalyn::PrepareDisplay(background, arguments); status != 0) {
    return status;
  }
  ordalyn::OrdalynApplication app(argc, argv);
  const bool visibleScreen = ordalyn::ScreenVisible();
  ordalyn::SetQtMessages(background || !visibleScreen ? ordalyn::QtMessages::Quiet
                                                      : ordalyn::QtMessages::Shown);
  if (const std::string display = ordalyn::UnreachableDisplay(); background && !display.empty()) {
    std::fprintf(stderr, "ordalyn: The display \"%s\" cannot be reached; the trace runs without a window\n",
                 display.c_str());
  }

  ordalyn::QtMessagePump pump;
  const auto platform = ordalyn::CreateDefaultTapiPlatform(pump);
  const ordalyn::SystemClock clock;

  ordalyn::TraceServices services;
  services.platform = platform.get();
  services.clock = &clock;
  services.timeSeparator = ordalyn::TimeSeparator();
  services.computerName = [] { return ordalyn::ComputerName(); };
  services.makeFile = [] { return ordalyn::MakeSystemOutputFile(); };
  services.arguments = arguments;
  services.visibleScreen = visibleScreen;
  services.endRequested = [] { return ordalyn::EndRequested(); };

  ordalyn::Program program(services);
  ordalyn::OnSystemEnd(&program.Main(), [&program] { program.Main().EndBySystem(); });
  program.Show();
  const int status = ordalyn::OrdalynApplication::exec();
  ordalyn::GeneralErrorHandler().FlushRepeats();
  return program.Main().Controller().ExitStatus(status);
}
