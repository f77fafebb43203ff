// Ordalyn: watches one TAPI line and writes a readable trace of it.
#include <string>
#include <vector>

#include "app/core/commandline.h"
#include "app/program.h"
#include "app/qtmessagepump.h"
#include "log/outputfile.h"
#include "util/clock.h"
#include "util/timeseparator.h"
#include "util/utools.h"

int main(int argc, char** argv) {
  // The arguments as the user gave them, copied before the application
  // object takes out the options it knows (-reverse, -session, ...).
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Without a display Qt would end the process in its constructor.
  if (const int status = ordalyn::PrepareDisplay(ordalyn::ReadCommandLine(arguments).has_value(), arguments);
      status != 0) {
    return status;
  }
  ordalyn::OrdalynApplication app(argc, argv);

  ordalyn::QtMessagePump pump;
  const auto platform = ordalyn::CreateDefaultTapiPlatform(pump);
  const ordalyn::SystemClock clock;

  ordalyn::MainServices services;
  services.platform = platform.get();
  services.clock = &clock;
  services.timeSeparator = ordalyn::TimeSeparator();
  services.computerName = [] { return ordalyn::ComputerName(); };
  services.makeFile = [] { return ordalyn::MakeSystemOutputFile(); };
  services.arguments = arguments;
  services.visibleScreen = ordalyn::ScreenVisible();

  ordalyn::Program program(services);
  ordalyn::OnSystemEnd(&program.Main(), [&program] { program.Main().EndBySystem(); });
  program.Show();
  return ordalyn::OrdalynApplication::exec();
}
