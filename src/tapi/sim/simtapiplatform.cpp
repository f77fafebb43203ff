#include "tapi/sim/simtapiplatform.h"

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "tapi/sim/simtraffic.h"

namespace ordalyn {
namespace {

// TAPI values that tapidefs.h does not carry (named apart from the TAPI
// header macros).
constexpr LONG kErrIncompatibleExtVersion = static_cast<LONG>(0x8000000D);
constexpr LONG kErrInvalMediaMode = static_cast<LONG>(0x8000002F);
constexpr LONG kErrInvalPrivSelect = static_cast<LONG>(0x80000036);
constexpr DWORD kStringFormatAscii = 0x1;
constexpr DWORD kAddressModeAddressId = 0x1;
constexpr DWORD kDevCapFlagsCloseDrop = 0x20;
constexpr DWORD kPartyIdName = 0x4;
constexpr DWORD kPartyIdAddress = 0x8;
constexpr DWORD kPartyIdUnknown = 0x20;
// The call states a simulated call goes through: IDLE, OFFERING, ACCEPTED,
// CONNECTED, DISCONNECTED and UNKNOWN.
constexpr DWORD kSimCallStates = 0x1 | 0x2 | 0x4 | 0x100 | 0x4000 | 0x8000;
// The line states the simulated lines report.
constexpr DWORD kSimLineStates = 0x1 | 0x2 | 0x4 | 0x8 | 0x40 | 0x80 | 0x200 | 0x400 | 0x40000 | 0x1000000;

// The fixed part of a structure grows with the API version: TAPI fills (and
// asks the caller's block to hold) only the part that the version knows.
constexpr DWORD kDevCapsSize14 = 240;   // up to dwLineFeatures
constexpr DWORD kDevCapsSize20 = 252;   // up to dwDeviceClassesOffset
constexpr DWORD kDevCapsSize22 = 268;   // up to PermanentLineGuid
constexpr DWORD kCallInfoSize14 = 296;  // up to dwDevSpecificOffset
constexpr DWORD kCallInfoSize20 = 324;  // up to dwReceivingFlowspecOffset
#ifndef _MSC_VER
static_assert(offsetof(LINEDEVCAPS, dwSettableDevStatus) == kDevCapsSize14);
static_assert(offsetof(LINEDEVCAPS, PermanentLineGuid) == kDevCapsSize20);
static_assert(offsetof(LINEDEVCAPS, dwAddressTypes) == kDevCapsSize22);
static_assert(offsetof(LINECALLINFO, dwCallTreatment) == kCallInfoSize14);
static_assert(offsetof(LINECALLINFO, dwCallerIDAddressType) == kCallInfoSize20);
#endif

DWORD DevCapsFixedSize(DWORD version) {
  if (version < kSimTapiVersion20) return kDevCapsSize14;
  if (version < kSimTapiVersion22) return kDevCapsSize20;
  if (version < 0x00030000) return kDevCapsSize22;
  return sizeof(LINEDEVCAPS);
}

DWORD CallInfoFixedSize(DWORD version) {
  if (version < kSimTapiVersion20) return kCallInfoSize14;
  if (version < 0x00030000) return kCallInfoSize20;
  return sizeof(LINECALLINFO);
}

void PutDword(void* block, std::size_t offset, DWORD value) {
  std::memcpy(static_cast<unsigned char*>(block) + offset, &value, sizeof value);
}

// The variable part of a structure: pieces appended after the fixed part,
// each with the offsets of its size and offset fields. TAPI writes all of
// them or, when the caller's block is too small, none.
class VariablePart {
 public:
  // A text with its terminating NUL. The pieces refer to the caller's strings,
  // which must outlive the VariablePart.
  void AddText(std::size_t sizeField, std::size_t offsetField, const std::string& text) {
    Add(sizeField, offsetField, std::string_view(text.c_str(), text.size() + 1));
  }
  void AddText(std::size_t sizeField, std::size_t offsetField, const std::optional<std::string>& text) {
    if (text) AddText(sizeField, offsetField, *text);
  }
  void AddText(std::size_t, std::size_t, std::string&&) = delete;
  void AddText(std::size_t, std::size_t, std::optional<std::string>&&) = delete;
  void Add(std::size_t sizeField, std::size_t offsetField, std::string_view bytes) {
    if (!bytes.empty()) pieces_.push_back({sizeField, offsetField, bytes});
  }
  DWORD Size() const {
    std::size_t size = 0;
    for (const Piece& piece : pieces_) size += piece.bytes.size();
    return static_cast<DWORD>(size);
  }
  // Writes the pieces after `fixed` bytes and sets dwNeededSize and dwUsedSize
  // (the block's first three DWORDs are dwTotalSize, dwNeededSize, dwUsedSize).
  void WriteInto(void* block, DWORD total, DWORD fixed) const {
    const DWORD needed = fixed + Size();
    PutDword(block, 4, needed);
    if (needed > total) {
      PutDword(block, 8, fixed);
      return;
    }
    DWORD offset = fixed;
    for (const Piece& piece : pieces_) {
      std::memcpy(static_cast<unsigned char*>(block) + offset, piece.bytes.data(), piece.bytes.size());
      PutDword(block, piece.sizeField, static_cast<DWORD>(piece.bytes.size()));
      PutDword(block, piece.offsetField, offset);
      offset += static_cast<DWORD>(piece.bytes.size());
    }
    PutDword(block, 8, needed);
  }

 private:
  struct Piece {
    std::size_t sizeField;
    std::size_t offsetField;
    std::string_view bytes;
  };
  std::vector<Piece> pieces_;
};

std::string_view BytesOf(const std::vector<std::uint8_t>& bytes) {
  return std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

DWORD PartyFlags(const std::optional<DWORD>& forced, const std::optional<std::string>& number,
                 const std::optional<std::string>& name) {
  if (forced) return *forced;
  DWORD flags = 0;
  if (number) flags |= kPartyIdAddress;
  if (name) flags |= kPartyIdName;
  return flags == 0 ? kPartyIdUnknown : flags;
}

// The device classes a simulated line offers, a list of NUL-terminated names
// closed by an empty one.
constexpr char kDeviceClasses[] = "tapi/line\0wave/in\0wave/out\0";

}  // namespace

struct SimTapiPlatform::Core {
  Core(MessagePump& messagePump, std::optional<SimScenario> simScenario, std::optional<SimScenarioError> why,
       std::ostream* stream)
      : pump(messagePump), scenario(std::move(simScenario)), error(std::move(why)), diagnostics(stream) {}

  struct Application {
    LINECALLBACK callback = nullptr;
  };

  // One opened line and what it delivers: a script, or the generated traffic.
  struct OpenLine {
    HLINEAPP app = 0;
    DWORD device = 0;
    HLINE handle = 0;
    DWORD version = 0;
    DWORD_PTR instance = 0;
    LINECALLBACK callback = nullptr;
    const SimScript* script = nullptr;
    std::size_t index = 0;      // next message of the script
    std::uint64_t runs = 0;     // finished runs of the script
    std::uint64_t elapsed = 0;  // ms into the current run
    std::unique_ptr<SimTrafficGenerator> traffic;
  };

  struct CallState {
    SimCallInfo info;
    HLINE line = 0;
    DWORD device = 0;
    DWORD version = 0;
    bool generated = false;
  };

  // A message on its way through the pump.
  struct Delivery {
    SimMessage message;
    bool resetCalls = false;
  };

  MessagePump& pump;
  std::optional<SimScenario> scenario;
  std::optional<SimScenarioError> error;
  std::ostream* diagnostics;
  bool errorReported = false;

  std::map<HLINEAPP, Application> applications;
  std::map<std::uint64_t, OpenLine> openLines;  // by a number that is never reused
  std::map<HCALL, CallState> calls;
  std::deque<HCALL> trafficCalls;  // the generated calls among them, oldest first
  std::uint32_t applicationCounter = 0;
  std::uint32_t lineCounter = 0;
  std::uint64_t openCounter = 0;

  const SimLine* Line(DWORD device) const {
    return device < scenario->lines.size() ? &scenario->lines[device] : nullptr;
  }

  void RestoreDeclaredCalls(const OpenLine& line) {
    for (const SimCall& call : scenario->calls) {
      CallState& state = calls[call.handle];
      if (state.generated) std::erase(trafficCalls, call.handle);
      state.info = call.info;
      state.line = line.handle;
      state.device = line.device;
      state.version = line.version;
      state.generated = false;
    }
  }

  // The generated traffic makes calls without end: only the newest are kept.
  void AddTrafficCall(HCALL handle) {
    trafficCalls.push_back(handle);
    while (trafficCalls.size() > kMaxTrafficCalls) {
      calls.erase(trafficCalls.front());
      trafficCalls.pop_front();
    }
  }

  // The next message of the line and its delay; none when the script is over.
  std::optional<std::pair<std::uint32_t, Delivery>> NextMessage(OpenLine& line) {
    if (line.traffic) {
      Delivery delivery{line.traffic->Next(), false};
      const std::uint32_t delay = delivery.message.delayMs;
      return std::make_pair(delay, std::move(delivery));
    }
    if (line.script == nullptr || line.script->messages.empty()) return std::nullopt;
    const SimScript& script = *line.script;
    std::uint64_t pause = 0;
    bool resetCalls = false;
    if (line.index == script.messages.size()) {
      ++line.runs;
      if (!script.repeat.endless && line.runs >= script.repeat.count) return std::nullopt;
      // A run that takes no time still repeats at most once a millisecond.
      const std::uint64_t period =
          std::max<std::uint64_t>({script.repeat.periodMs.value_or(0), line.elapsed, 1});
      pause = period - line.elapsed;
      line.index = 0;
      line.elapsed = 0;
      resetCalls = true;
    }
    const SimMessage& message = script.messages[line.index++];
    line.elapsed += message.delayMs;
    const std::uint64_t delay = std::min<std::uint64_t>(pause + message.delayMs, UINT32_MAX);
    return std::make_pair(static_cast<std::uint32_t>(delay), Delivery{message, resetCalls});
  }

  static void ScheduleNext(const std::shared_ptr<Core>& core, std::uint64_t lineId) {
    auto found = core->openLines.find(lineId);
    if (found == core->openLines.end()) return;
    auto next = core->NextMessage(found->second);
    if (!next) return;
    std::weak_ptr<Core> weak = core;
    core->pump.Post(next->first, [weak, lineId, delivery = std::move(next->second)]() {
      if (std::shared_ptr<Core> alive = weak.lock()) Deliver(alive, lineId, delivery);
    });
  }

  static void Deliver(const std::shared_ptr<Core>& core, std::uint64_t lineId, const Delivery& delivery) {
    // A shutdown (or the platform's end) since the message was posted drops it.
    auto found = core->openLines.find(lineId);
    if (found == core->openLines.end()) return;
    OpenLine& line = found->second;
    const LINECALLBACK callback = line.callback;
    const DWORD_PTR instance = line.instance;
    const HLINE lineHandle = line.handle;
    const SimMessage& message = delivery.message;

    if (delivery.resetCalls) core->RestoreDeclaredCalls(line);
    if (message.call != 0) {
      auto call = core->calls.find(message.call);
      if (call == core->calls.end() && !message.update.Empty()) {
        call = core->calls.emplace(message.call, CallState{}).first;
        call->second.generated = line.traffic != nullptr;
        if (line.traffic) core->AddTrafficCall(message.call);
      }
      if (call != core->calls.end()) {
        message.update.ApplyTo(call->second.info);
        call->second.line = line.handle;
        call->second.device = line.device;
        call->second.version = line.version;
      }
    }
    DWORD hDevice = message.hDevice;
    if (message.target == SimDeviceTarget::kLine) hDevice = lineHandle;
    if (message.target == SimDeviceTarget::kCall) hDevice = message.call;

    // The next message is on its way before this one is delivered, so a
    // callback that runs a nested event loop (a modal dialog) keeps receiving.
    ScheduleNext(core, lineId);
    callback(hDevice, message.message, instance, message.param1, message.param2, message.param3);
  }
};

SimTapiPlatform::SimTapiPlatform(MessagePump& pump, SimScenario scenario)
    : core_(std::make_shared<Core>(pump, std::move(scenario), std::nullopt, nullptr)) {}

SimTapiPlatform::SimTapiPlatform(MessagePump& pump, SimScenarioError error, std::ostream* diagnostics)
    : core_(std::make_shared<Core>(pump, std::nullopt, std::move(error), diagnostics)) {}

SimTapiPlatform::~SimTapiPlatform() = default;

std::unique_ptr<SimTapiPlatform> SimTapiPlatform::FromResult(MessagePump& pump, SimScenarioResult result,
                                                             std::ostream* diagnostics) {
  if (result.scenario) return std::make_unique<SimTapiPlatform>(pump, std::move(*result.scenario));
  return std::make_unique<SimTapiPlatform>(
      pump, result.error.value_or(SimScenarioError{"scenario", "", "no scenario"}), diagnostics);
}

std::unique_ptr<SimTapiPlatform> SimTapiPlatform::FromJson(MessagePump& pump, std::string_view jsonText,
                                                           std::string_view sourceName,
                                                           std::ostream* diagnostics) {
  return FromResult(pump, ParseSimScenario(jsonText, sourceName), diagnostics);
}

std::unique_ptr<SimTapiPlatform> SimTapiPlatform::FromFile(MessagePump& pump, const std::string& path,
                                                           std::ostream* diagnostics) {
  return FromResult(pump, LoadSimScenarioFile(path), diagnostics);
}

LONG SimTapiPlatform::lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE, LINECALLBACK lpfnCallback, LPCSTR,
                                        DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                                        LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
  Core& core = *core_;
  if (core.error) {
    if (!core.errorReported) {
      core.errorReported = true;
      std::ostream& out = core.diagnostics != nullptr ? *core.diagnostics : std::cerr;
      out << "Ordalyn: TAPI scenario rejected: " << core.error->Text() << std::endl;
    }
    return LINEERR_INIFILECORRUPT;
  }
  const SimScenario& scenario = *core.scenario;
  if (scenario.initializeResult) return *scenario.initializeResult;
  if (lphLineApp == nullptr || lpdwNumDevs == nullptr || lpdwAPIVersion == nullptr ||
      lpfnCallback == nullptr) {
    return LINEERR_INVALPOINTER;
  }
  if (lpLineInitializeExParams != nullptr) {
    // Only dwOptions is read, so a block of 16 bytes is enough.
    DWORD total = 0;
    DWORD options = 0;
    std::memcpy(&total, lpLineInitializeExParams, sizeof total);
    if (total < 4 * sizeof(DWORD)) return LINEERR_STRUCTURETOOSMALL;
    std::memcpy(&options, reinterpret_cast<const unsigned char*>(lpLineInitializeExParams) + 12,
                sizeof options);
    // The simulated platform delivers through the event loop only: the hidden
    // window mechanism (call-hub tracking may be asked for beside it).
    if ((options & 0x7FFFFFFF) != LINEINITIALIZEEXOPTION_USEHIDDENWINDOW) return LINEERR_INVALPARAM;
  }
  const HLINEAPP handle = 0x7A000000u | (++core.applicationCounter & 0x00FFFFFFu);
  core.applications[handle] = Core::Application{lpfnCallback};
  *lphLineApp = handle;
  *lpdwNumDevs = scenario.deviceCount.value_or(static_cast<DWORD>(scenario.lines.size()));
  *lpdwAPIVersion = scenario.tapiVersion;
  return 0;
}

LONG SimTapiPlatform::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                              DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                                              LINEEXTENSIONID* lpExtensionID) {
  Core& core = *core_;
  if (core.applications.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
  const SimLine* line = core.Line(dwDeviceID);
  if (line == nullptr) return LINEERR_BADDEVICEID;
  if (lpdwAPIVersion == nullptr || lpExtensionID == nullptr) return LINEERR_INVALPOINTER;
  if (line->negotiateResult) return *line->negotiateResult;
  const DWORD low = std::max(dwAPILowVersion, line->minApiVersion);
  const DWORD high = std::min(dwAPIHighVersion, line->maxApiVersion);
  if (dwAPILowVersion > dwAPIHighVersion || low > high) return LINEERR_INCOMPATIBLEAPIVERSION;
  *lpdwAPIVersion = high;
  std::memset(lpExtensionID, 0, sizeof(LINEEXTENSIONID));
  return 0;
}

LONG SimTapiPlatform::lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                      DWORD dwExtVersion, LINEDEVCAPS* lpLineDevCaps) {
  Core& core = *core_;
  if (core.applications.count(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
  const SimLine* line = core.Line(dwDeviceID);
  if (line == nullptr) return LINEERR_BADDEVICEID;
  if (lpLineDevCaps == nullptr) return LINEERR_INVALPOINTER;
  if (line->devCapsResult) return *line->devCapsResult;
  if (dwAPIVersion < line->minApiVersion || dwAPIVersion > line->maxApiVersion) {
    return LINEERR_INCOMPATIBLEAPIVERSION;
  }
  if (dwExtVersion != 0) return kErrIncompatibleExtVersion;

  const DWORD total = lpLineDevCaps->dwTotalSize;
  const DWORD fixed = DevCapsFixedSize(dwAPIVersion);
  if (total < fixed) return LINEERR_STRUCTURETOOSMALL;
  std::memset(lpLineDevCaps, 0, fixed);
  LINEDEVCAPS& caps = *lpLineDevCaps;
  caps.dwTotalSize = total;
  caps.dwPermanentLineID = line->permanentLineId.value_or(0x00010000u + dwDeviceID);
  caps.dwStringFormat = kStringFormatAscii;
  caps.dwAddressModes = kAddressModeAddressId;
  caps.dwNumAddresses = 1;
  caps.dwBearerModes = line->bearerModes;
  caps.dwMaxRate = (line->bearerModes & 0x8) != 0 ? 64000 : 0;
  caps.dwMediaModes = line->mediaModes;
  caps.dwDevCapFlags = kDevCapFlagsCloseDrop;
  caps.dwMaxNumActiveCalls = 1;
  caps.dwRingModes = 1;
  caps.dwLineStates = kSimLineStates;

  VariablePart variable;
  variable.AddText(offsetof(LINEDEVCAPS, dwProviderInfoSize), offsetof(LINEDEVCAPS, dwProviderInfoOffset),
                   line->providerInfo);
  if (!line->name.empty()) {
    variable.AddText(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset),
                     line->name);
  }
  variable.Add(offsetof(LINEDEVCAPS, dwDevSpecificSize), offsetof(LINEDEVCAPS, dwDevSpecificOffset),
               BytesOf(line->devSpecific));
  if (dwAPIVersion >= kSimTapiVersion20) {
    variable.Add(offsetof(LINEDEVCAPS, dwDeviceClassesSize), offsetof(LINEDEVCAPS, dwDeviceClassesOffset),
                 std::string_view(kDeviceClasses, sizeof kDeviceClasses));
  }
  variable.WriteInto(lpLineDevCaps, total, fixed);
  return 0;
}

LONG SimTapiPlatform::lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion,
                                DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                                DWORD dwMediaModes, const LINECALLPARAMS*) {
  Core& core = *core_;
  auto application = core.applications.find(hLineApp);
  if (application == core.applications.end()) return LINEERR_INVALAPPHANDLE;
  const SimLine* line = core.Line(dwDeviceID);
  if (line == nullptr) return LINEERR_BADDEVICEID;
  if (lphLine == nullptr) return LINEERR_INVALPOINTER;
  if (line->openResult) return *line->openResult;
  if (dwAPIVersion < line->minApiVersion || dwAPIVersion > line->maxApiVersion) {
    return LINEERR_INCOMPATIBLEAPIVERSION;
  }
  if (dwExtVersion != 0) return kErrIncompatibleExtVersion;
  constexpr DWORD kNone = 0x1, kMonitor = 0x2, kOwner = 0x4;
  if (dwPrivileges != kNone && dwPrivileges != kMonitor && dwPrivileges != kOwner &&
      dwPrivileges != (kMonitor | kOwner)) {
    return kErrInvalPrivSelect;
  }
  // Media modes matter only to an owner, who must name modes the line has.
  if ((dwPrivileges & kOwner) != 0 && (dwMediaModes == 0 || (dwMediaModes & ~line->mediaModes) != 0)) {
    return kErrInvalMediaMode;
  }

  Core::OpenLine open;
  open.app = hLineApp;
  open.device = dwDeviceID;
  open.handle = 0x7B000000u | (++core.lineCounter & 0x00FFFFFFu);
  open.version = dwAPIVersion;
  open.instance = dwCallbackInstance;
  open.callback = application->second.callback;
  if (line->script) {
    open.script = &*line->script;
  } else if (!core.scenario->script.messages.empty()) {
    open.script = &core.scenario->script;
  } else if (core.scenario->traffic) {
    open.traffic = std::make_unique<SimTrafficGenerator>(core.scenario->traffic->seed, dwDeviceID);
  }
  // The scenario's calls exist while a line is open.
  if (core.openLines.empty()) core.RestoreDeclaredCalls(open);
  const std::uint64_t id = ++core.openCounter;
  core.openLines.emplace(id, std::move(open));
  *lphLine = core.openLines[id].handle;
  Core::ScheduleNext(core_, id);
  return 0;
}

LONG SimTapiPlatform::lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) {
  Core& core = *core_;
  if (core.applications.empty()) return LINEERR_UNINITIALIZED;
  auto found = core.calls.find(hCall);
  if (found == core.calls.end()) return LINEERR_INVALCALLHANDLE;
  if (lpCallInfo == nullptr) return LINEERR_INVALPOINTER;
  const Core::CallState& call = found->second;
  const SimCallInfo& info = call.info;

  const DWORD total = lpCallInfo->dwTotalSize;
  const DWORD fixed = CallInfoFixedSize(call.version);
  if (total < fixed) return LINEERR_STRUCTURETOOSMALL;
  std::memset(lpCallInfo, 0, fixed);
  LINECALLINFO& block = *lpCallInfo;
  block.dwTotalSize = total;
  block.hLine = call.line;
  block.dwLineDeviceID = call.device;
  block.dwAddressID = info.addressID;
  block.dwBearerMode = info.bearerMode;
  block.dwMediaMode = info.mediaMode;
  block.dwCallID = info.callID;
  block.dwCallStates = kSimCallStates;
  block.dwOrigin = info.origin;
  block.dwReason = info.reason;
  block.dwNumMonitors = 1;
  block.dwCallerIDFlags = PartyFlags(info.callerIDFlags, info.callerID, info.callerIDName);
  block.dwCalledIDFlags = PartyFlags(info.calledIDFlags, info.calledID, info.calledIDName);
  block.dwConnectedIDFlags = PartyFlags(info.connectedIDFlags, info.connectedID, info.connectedIDName);

  VariablePart variable;
  variable.AddText(offsetof(LINECALLINFO, dwCallerIDSize), offsetof(LINECALLINFO, dwCallerIDOffset),
                   info.callerID);
  variable.AddText(offsetof(LINECALLINFO, dwCallerIDNameSize), offsetof(LINECALLINFO, dwCallerIDNameOffset),
                   info.callerIDName);
  variable.AddText(offsetof(LINECALLINFO, dwCalledIDSize), offsetof(LINECALLINFO, dwCalledIDOffset),
                   info.calledID);
  variable.AddText(offsetof(LINECALLINFO, dwCalledIDNameSize), offsetof(LINECALLINFO, dwCalledIDNameOffset),
                   info.calledIDName);
  variable.AddText(offsetof(LINECALLINFO, dwConnectedIDSize), offsetof(LINECALLINFO, dwConnectedIDOffset),
                   info.connectedID);
  variable.AddText(offsetof(LINECALLINFO, dwConnectedIDNameSize),
                   offsetof(LINECALLINFO, dwConnectedIDNameOffset), info.connectedIDName);
  variable.Add(offsetof(LINECALLINFO, dwDevSpecificSize), offsetof(LINECALLINFO, dwDevSpecificOffset),
               BytesOf(info.devSpecific));
  variable.WriteInto(lpCallInfo, total, fixed);
  return 0;
}

LONG SimTapiPlatform::lineShutdown(HLINEAPP hLineApp) {
  Core& core = *core_;
  if (core.applications.erase(hLineApp) == 0) return LINEERR_INVALAPPHANDLE;
  // The application's lines close; messages still in the pump find no line
  // and are dropped. With the last open line the calls end too.
  std::erase_if(core.openLines, [hLineApp](const auto& entry) { return entry.second.app == hLineApp; });
  if (core.openLines.empty()) {
    core.calls.clear();
    core.trafficCalls.clear();
  }
  return core.scenario->shutdownResult.value_or(0);
}

std::optional<std::string> SimTapiPlatform::MessageTableText(DWORD messageId) {
  if (!core_->scenario) return std::nullopt;
  const auto& table = core_->scenario->messageTable;
  const auto found = table.find(messageId);
  if (found == table.end()) return std::nullopt;
  return found->second;
}

HINSTANCE SimTapiPlatform::ModuleHandle() {
  static char module = 0;
  return reinterpret_cast<HINSTANCE>(&module);
}

const SimScenario* SimTapiPlatform::Scenario() const { return core_->scenario ? &*core_->scenario : nullptr; }

const std::optional<SimScenarioError>& SimTapiPlatform::ScenarioError() const { return core_->error; }

std::size_t SimTapiPlatform::ApplicationCount() const { return core_->applications.size(); }

std::size_t SimTapiPlatform::OpenLineCount() const { return core_->openLines.size(); }

std::size_t SimTapiPlatform::CallCount() const { return core_->calls.size(); }

std::unique_ptr<SimTapiPlatform> CreateSimTapiPlatformFromEnvironment(MessagePump& pump,
                                                                      std::ostream* diagnostics) {
  const char* path = std::getenv(kSimScenarioVariable);
  if (path == nullptr || *path == '\0') return std::make_unique<SimTapiPlatform>(pump, DefaultSimScenario());
  return SimTapiPlatform::FromFile(pump, path, diagnostics);
}

}  // namespace ordalyn
