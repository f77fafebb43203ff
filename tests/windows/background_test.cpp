// A background trace from end to end on Windows: the command line names the
// file with the computer-name macro, the log header comes from this
// executable's version resource, logon and logoff run on tapi32, and the file
// is read back byte for byte.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "app/core/commandline.h"
#include "log/tracelog.h"
#include "support/scratchdir.h"
#include "tapi/tapisession.h"
#include "tapi/win32/tapi32platform.h"
#include "util/clock.h"
#include "util/utools.h"
#include "widgets/versioninfo_values.h"
#include "widgets/versioninfostore.h"
#include "widgets/versionlabeltext.h"
#include "winehost.h"

namespace ordalyn {
namespace {

using wintest::ReadWholeFile;
using wintest::UnderWine;
using wintest::WineExpected;

struct NoScreen : ScreenLog {
  int lines = 0;
  void AppendLine(const std::string&) override { ++lines; }
};

TEST(WindowsBackgroundTrace, OnWinesTapi32FromCommandLineToFile) {
  if (!UnderWine()) {
    ASSERT_FALSE(WineExpected()) << "the test run says wine, but wine's ntdll is not there";
    GTEST_SKIP() << "expects the answers of wine's tapi32; this is not wine";
  }
  const test::ScratchDir folder;
  const std::optional<BackgroundRequest> request =
      ReadCommandLine({"-3", folder.path().string() + "\\tapi_#computer#_#date#.log", "ignored"});
  ASSERT_TRUE(request.has_value());
  const FakeClock clock({2011, 9, 1, 9, 5, 7, 42});
  const std::string fileName = ExpandMacros(request->fileName, clock, ComputerName);
  ASSERT_EQ(fileName, folder.path().string() + "\\tapi_" + ComputerName() + "_2011-09-01.log");

  // The main window's footer labels, whose texts the header copies.
  VersionLabelText build(ProgramVersionStore());
  build.SetInfoPrefix("Build:");
  VersionLabelText copyright(ProgramVersionStore());
  copyright.SetVersionResource(vrLegalCopyright);
  copyright.SetShowInfoPrefix(false);

  NoScreen screen;
  TraceLog log(
      screen, clock, ":", [&] { return build.Caption(); }, [&] { return copyright.Caption(); });
  log.SetBackgroundFileName(fileName);
  log.OpenBackgroundFile();

  Tapi32Platform platform;
  TapiState state;
  state.tapiVersion = kTapiHighVersion;
  state.selectedDevice = ReadSelectedDevice(request->lineArgument);
  TapiSession session(platform, state, log);
  session.Logon();

  // The stamps come from the clock; tapi32's answers give the lines (see the
  // tapi32 tests): both calls "OK", version 2.2 from the negotiation, no name.
  const std::string stamp = "09:05:07:042 | ";
  const std::string separator = std::string(92, '-') + "\r\n";
  const std::string logon = std::string("Ordalyn - Build: ") + version_values::kFileVersion + "\r\n" +
                            version_values::kLegalCopyright + "\r\n" + std::string(48, '=') + "\r\n" +
                            "\r\n" + stamp + "Initialise: OK\r\n" + stamp + "LineOpen: OK\r\n" + stamp +
                            "TAPI - Logon (Version: 2.2) -  (TAPI-Line: 3)\r\n" + separator;

  // While the trace runs another program may read the file; it lags behind
  // by the text still in the write buffer, less than 128 bytes.
  std::string meanwhile;
  ASSERT_TRUE(ReadWholeFile(fileName, meanwhile));
  EXPECT_LT(log.WaitingBytes(), TraceLog::kBufferSize);
  EXPECT_EQ(meanwhile.size() + log.WaitingBytes(), logon.size());
  EXPECT_EQ(meanwhile, logon.substr(0, meanwhile.size()));

  session.Logoff();
  log.CloseBackgroundFile();

  std::string contents;
  ASSERT_TRUE(ReadWholeFile(fileName, contents));
  EXPECT_EQ(contents, logon + separator + stamp + "LineShutDown: OK\r\n" + stamp + "TAPI - Logoff\r\n");
  EXPECT_EQ(screen.lines, 0) << "background mode writes nothing to the screen";
}

}  // namespace
}  // namespace ordalyn
