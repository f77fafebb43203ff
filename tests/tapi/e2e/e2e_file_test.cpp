// A trace written to a background file: the same lines as on screen, byte
// for byte in code page 1252, each ending in CR LF.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "e2erig.h"
#include "support/scratchdir.h"

namespace ordalyn::e2e {
namespace {

constexpr const char* kOfficeCall = R"({
  "lines": [{"name": "Büro 1", "mediaModes": "LINEMEDIAMODE_INTERACTIVEVOICE"}],
  "calls": [{"handle": "0x4711", "callerID": " ", "callerIDName": " Dr. Müller ", "calledIDName": " Empfang ",
             "origin": "LINECALLORIGIN_EXTERNAL"}],
  "script": [
    {"delayMs": 100, "message": "LINE_APPNEWCALL", "param2": "0x4711", "param3": "LINECALLPRIVILEGE_MONITOR"},
    {"delayMs": 5, "message": "LINE_CALLSTATE", "call": "0x4711", "param1": "LINECALLSTATE_OFFERING",
     "param2": "LINEOFFERINGMODE_ACTIVE"},
    {"delayMs": 195, "message": "LINE_CALLSTATE", "call": "0x4711", "param1": "LINECALLSTATE_IDLE"}
  ]
})";

class E2eFile : public ::testing::Test {
 protected:
  static std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  const test::ScratchDir scratch_;
  const std::filesystem::path& dir_ = scratch_.path();
};

std::vector<std::string> CycleLines(std::uint64_t t) {
  const std::string ids =
      " - hCall: 00004711 - CallerID: Dr. M\xFCller - CalledID:  Empfang  - (LINECALLORIGIN_EXTERNAL)";
  std::vector<std::string> lines = Header();
  const std::vector<std::string> rest = {
      At(t, "Initialise: OK"),
      At(t, "LineOpen: OK"),
      At(t, "TAPI - Logon (Version: 2.2) - B\xFCro 1 (TAPI-Line: 0)"),
      kSeparator,
      At(t + 100, "LINE_APPNEWCALL - hCall: 00004711 - 0|4711|2"),
      At(t + 105, "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE" + ids + " - 2|1|0"),
      At(t + 300, "LINE_CALLSTATE: LINECALLSTATE_IDLE" + ids + " - 1|0|0"),
      kSeparator,
      At(t + 1000, "LineShutDown: OK"),
      At(t + 1000, "TAPI - Logoff"),
  };
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

TEST_F(E2eFile, TwoTracesInOneBackgroundFile) {
  const auto path = dir_ / "trace.log";
  std::string bytes;
  {
    Rig rig(kOfficeCall);
    rig.log.SetBackgroundFileName(path.string());
    rig.log.OpenBackgroundFile();
    rig.Trace(0, 1000);
    rig.Logon(0);  // a second trace appends another header and so on
    rig.Run(1000);
    rig.Logoff();
    rig.log.CloseBackgroundFile();
    EXPECT_TRUE(rig.screen.lines.empty()) << "nothing reaches the on-screen log";
  }
  std::string expected;
  for (const auto& line : CycleLines(0)) expected += line + "\r\n";
  for (const auto& line : CycleLines(1000)) expected += line + "\r\n";
  bytes = ReadBytes(path);
  EXPECT_EQ(bytes, expected);
  // The empty fourth header line is a bare CR LF.
  EXPECT_NE(bytes.find("================================================\r\n\r\n10:15:02:117 | Initialise"),
            std::string::npos);
}

TEST_F(E2eFile, TheScreenAndTheFileGetTheSameLines) {
  std::vector<std::string> onScreen;
  {
    Rig rig(kOfficeCall);
    onScreen = rig.Trace(0, 1000);
  }
  const auto path = dir_ / "same.log";
  {
    Rig rig(kOfficeCall);
    rig.log.SetBackgroundFileName(path.string());
    rig.log.OpenBackgroundFile();
    rig.Trace(0, 1000);
    rig.log.CloseBackgroundFile();
  }
  std::string expected;
  for (const auto& line : onScreen) expected += line + "\r\n";
  EXPECT_EQ(onScreen, CycleLines(0));
  EXPECT_EQ(ReadBytes(path), expected);
}

TEST_F(E2eFile, AnExistingFileIsEmptiedFirst) {
  const auto path = dir_ / "old.log";
  {
    std::ofstream old(path, std::ios::binary);
    old << std::string(5000, 'x');
  }
  {
    Rig rig(kOfficeCall);
    rig.log.SetBackgroundFileName(path.string());
    rig.log.OpenBackgroundFile();
    rig.Trace(0, 1000);
    rig.log.CloseBackgroundFile();
  }
  const std::string bytes = ReadBytes(path);
  EXPECT_EQ(bytes.find('x'), std::string::npos);
  EXPECT_EQ(bytes.rfind("Ordalyn - ", 0), 0u);
  const std::string end = "\r\n10:15:03:117 | TAPI - Logoff\r\n";
  ASSERT_GT(bytes.size(), end.size());
  EXPECT_EQ(bytes.substr(bytes.size() - end.size()), end);
}

}  // namespace
}  // namespace ordalyn::e2e
