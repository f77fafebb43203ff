#include "loadsupport.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

namespace ordalyn::load {

namespace {
constexpr DWORD kUnknownMessage = 0x1234;
constexpr const char* kBuild = "Build: 1.0.0.1";
constexpr const char* kCopyright = "(c) Flood Test";
}  // namespace

LocalDateTime PumpClock::Now() const {
  const std::uint64_t ms = pump_.Now();
  LocalDateTime now{2024, 5, 6, 0, 0, 0, 0};
  now.millisecond = static_cast<int>(ms % 1000);
  now.second = static_cast<int>(ms / 1000 % 60);
  now.minute = static_cast<int>(ms / 60000 % 60);
  now.hour = static_cast<int>(ms / 3600000 % 24);
  return now;
}

std::string StampAt(std::uint64_t ms) {
  char text[32];
  std::snprintf(text, sizeof text, "%02u:%02u:%02u:%03u", static_cast<unsigned>(ms / 3600000 % 24),
                static_cast<unsigned>(ms / 60000 % 60), static_cast<unsigned>(ms / 1000 % 60),
                static_cast<unsigned>(ms % 1000));
  return text;
}

SimScenario FloodScenario(std::uint32_t runs) {
  SimScenario scenario;
  SimLine line;
  line.name = "Flood Line";
  line.mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
  scenario.lines.push_back(line);
  SimCall call;
  call.handle = kFloodCall;
  call.info.callerID = " 5550100 ";
  call.info.calledIDName = " Reception ";
  call.info.origin = 0x4;  // LINECALLORIGIN_EXTERNAL
  call.info.reason = 0x1;  // LINECALLREASON_DIRECT
  scenario.calls.push_back(call);
  for (std::size_t i = 0; i < kFloodScript; ++i) {
    SimMessage message;
    message.delayMs = 1;
    message.param3 = static_cast<DWORD>(i);
    switch (i % 5) {
      case 0:
        message.message = LINE_APPNEWCALL;
        message.param2 = kFloodCall;
        break;
      case 1:
        message.message = LINE_CALLSTATE;
        message.param1 = 0x2;  // LINECALLSTATE_OFFERING
        message.param2 = 0x1;  // LINEOFFERINGMODE_ACTIVE
        message.call = kFloodCall;
        break;
      case 2:
        message.message = LINE_CALLINFO;
        message.param1 = 0x8000;  // LINECALLINFOSTATE_CALLERID
        message.call = kFloodCall;
        break;
      case 3:
        message.message = LINE_LINEDEVSTATE;
        message.param1 = static_cast<DWORD>(i);
        break;
      default:
        message.message = kUnknownMessage;
        message.param1 = 0xFFFFFFFF;
        break;
    }
    scenario.script.messages.push_back(message);
  }
  scenario.script.repeat.count = runs;
  return scenario;
}

std::string FloodLineText(std::size_t i) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "%X", static_cast<unsigned>(i));
  const std::string param3 = hex;
  const std::string call =
      " - hCall: 00010A2C - CallerID: 5550100 - CalledID:  Reception "
      " - (LINECALLORIGIN_EXTERNAL, LINECALLREASON_DIRECT)";
  switch (i % 5) {
    case 0:
      return "LINE_APPNEWCALL - hCall: 00010A2C - 0|10A2C|" + param3;
    case 1:
      return "LINE_CALLSTATE: LINECALLSTATE_OFFERING; ACTIVE" + call + " - 2|1|" + param3;
    case 2:
      return "LINE_CALLINFO: LINECALLINFOSTATE_CALLERID" + call + " - 8000|0|" + param3;
    case 3:
      return "LINE_LINEDEVSTATE - " + param3 + "|0|" + param3;
    default:
      return "Unknown (    1234) - FFFFFFFF|0|" + param3;
  }
}

FileTrace::FileTrace(std::unique_ptr<SimTapiPlatform> platform, ManualMessagePump& pump,
                     const std::string& fileName, std::int32_t device)
    : pump_(pump),
      platform_(std::move(platform)),
      clock_(pump),
      log_(
          noScreen_, clock_, ":", [] { return std::string(kBuild); }, [] { return std::string(kCopyright); }),
      trace_(*platform_, state_, log_),
      session_(*platform_, state_, log_) {
  state_.tapiVersion = kTapiHighVersion;
  state_.selectedDevice = device;
  SetLineCallbackTarget(&trace_);
  SetLineCallbackErrorHandler([this](std::exception_ptr) { ++callbackErrors_; });
  log_.SetBackgroundFileName(fileName);
  log_.OpenBackgroundFile();
  session_.Logon();
}

FileTrace::~FileTrace() {
  if (!finished_) {
    try {
      Finish();
    } catch (...) {
      // The test has failed already.
    }
  }
}

void FileTrace::Finish() {
  finished_ = true;
  session_.Logoff();
  log_.CloseBackgroundFile();
  SetLineCallbackTarget(nullptr);
  SetLineCallbackErrorHandler(nullptr);
}

std::vector<std::string> ReadLines(const std::string& fileName) {
  std::vector<std::string> lines;
  std::ifstream in(fileName, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    } else {
      line += "<no CR>";
    }
    lines.push_back(std::move(line));
  }
  return lines;
}

std::vector<std::string> LogonLines(const std::string& lineName, const std::string& version) {
  return {std::string("Ordalyn - ") + kBuild,
          kCopyright,
          std::string(48, '='),
          "",
          "00:00:00:000 | Initialise: OK",
          "00:00:00:000 | LineOpen: OK",
          "00:00:00:000 | TAPI - Logon (Version: " + version + ") - " + lineName + " (TAPI-Line: 0)",
          std::string(92, '-')};
}

double PeakRssMiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // ru_maxrss is in KiB on Linux
}

}  // namespace ordalyn::load
