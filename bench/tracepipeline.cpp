#include "tracepipeline.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "tapi/tapidefs.h"

namespace ordalyn::bench {

namespace {
constexpr DWORD kOriginExternal = 0x4;  // LINECALLORIGIN_EXTERNAL
constexpr DWORD kReasonDirect = 0x1;    // LINECALLREASON_DIRECT
}  // namespace

CoalescingFile::CoalescingFile(std::size_t capacity, std::unique_ptr<OutputFile> inner)
    : capacity_(capacity), inner_(std::move(inner)) {
  held_.reserve(capacity_);
}

CoalescingFile::~CoalescingFile() { Close(); }

int CoalescingFile::Create(const std::string& fileName) {
  held_.clear();
  return inner_->Create(fileName);
}

OutputFile::WriteResult CoalescingFile::Write(const char* data, std::size_t size) {
  if (held_.size() + size > capacity_) {
    if (const int error = Drain(); error != 0) {
      return {0, error};
    }
  }
  if (size >= capacity_) {
    return inner_->Write(data, size);
  }
  held_.append(data, size);
  return {size, 0};
}

int CoalescingFile::Drain() {
  if (held_.empty()) return 0;
  const WriteResult result = inner_->Write(held_.data(), held_.size());
  held_.erase(0, result.written);
  return result.error;
}

int CoalescingFile::Close() {
  if (!inner_->IsOpen()) return 0;
  const int error = Drain();
  const int closeError = inner_->Close();
  return error != 0 ? error : closeError;
}

SimScenario TrafficScenario() { return DefaultSimScenario(); }

SimScenario ScriptedTrafficScenario(std::size_t messages) {
  SimScenario scenario = DefaultSimScenario();
  SimTrafficGenerator generator(scenario.traffic->seed, kTrafficDevice);
  scenario.traffic.reset();
  scenario.script.messages.reserve(messages);
  for (std::size_t i = 0; i < messages; ++i) {
    scenario.script.messages.push_back(generator.Next());
  }
  scenario.script.repeat.endless = true;
  return scenario;
}

SimScenario OneCallScenario(std::size_t devSpecificBytes) {
  SimScenario scenario;
  SimLine line;
  line.name = "Office Extension 214";
  line.mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE;
  scenario.lines.push_back(line);
  SimCall call;
  call.handle = kOneCall;
  call.info.callerID = " 5550100 ";
  call.info.callerIDName = "Dr. M\xFCller";
  call.info.calledID = "200";
  call.info.calledIDName = "Reception";
  call.info.connectedID = "5550100";
  call.info.origin = kOriginExternal;
  call.info.reason = kReasonDirect;
  for (std::size_t i = 0; i < devSpecificBytes; ++i) {
    call.info.devSpecific.push_back(static_cast<std::uint8_t>(i));
  }
  scenario.calls.push_back(call);
  return scenario;
}

Pipeline::Pipeline(SimScenario scenario, DWORD device, const Clock& clock, std::unique_ptr<OutputFile> file,
                   const std::string& fileName, ScreenLog* screen)
    : platform(pump, std::move(scenario)),
      log(
          screen != nullptr ? *screen : ownScreen, clock, ":", [] { return std::string("Build: 1.0.0.1"); },
          [] { return std::string("Copyright (c) Ordalyn"); },
          file ? std::move(file) : MakeSystemOutputFile()),
      trace(platform, state, log),
      session(platform, state, log) {
  state.tapiVersion = kTapiHighVersion;
  state.selectedDevice = static_cast<std::int32_t>(device);
  SetLineCallbackTarget(&trace);
  SetLineCallbackErrorHandler([this](std::exception_ptr) { ++callbackErrors; });
  if (!fileName.empty()) {
    log.SetBackgroundFileName(fileName);
    log.OpenBackgroundFile();
  }
  session.Logon();
}

Pipeline::~Pipeline() {
  if (LineCallbackTarget() == &trace) {
    SetLineCallbackTarget(nullptr);
    SetLineCallbackErrorHandler(nullptr);
  }
}

std::vector<std::string> TrafficLines(std::size_t count) {
  const SystemClock clock;
  CollectingScreen screen;
  Pipeline pipeline(TrafficScenario(), kTrafficDevice, clock, nullptr, std::string(), &screen);
  screen.Lines().clear();
  screen.Lines().reserve(count);
  pipeline.Run(count);
  return std::move(screen.Lines());
}

std::string TempFileName(const std::string& stem) {
  const char* folder = std::getenv("TMPDIR");
  std::string name = folder != nullptr && *folder != '\0' ? folder : "/tmp";
  return name + "/ordalyn-bench-" + std::to_string(::getpid()) + "-" + stem;
}

}  // namespace ordalyn::bench
