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
  {
    // Without a display Qt would end the process in its constructor.
    const std::vector<std::string> given(argv + 1, argv + argc);
    if (const int status = ordalyn::PrepareDisplay(ordalyn::ReadCommandLine(given).has_value(), given);
        status != 0) {
      return status;
    }
  }
  ordalyn::OrdalynApplication app(argc, argv);

  // The arguments as the system gave them (Qt has taken out its own options).
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) {
    arguments.emplace_back(argv[i]);
  }

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
