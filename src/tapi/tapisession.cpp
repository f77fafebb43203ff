#include "tapi/tapisession.h"

#include <cstring>

#include "tapi/linetrace.h"
#include "tapi/tapiblock.h"
#include "tapi/tapiutil.h"
#include "tapi/traceformat.h"
#include "util/utools.h"

namespace ordalyn {

void FillInitParams(LINEINITIALIZEEXPARAMS& params) {
  std::memset(&params, 0, sizeof params);
  params.dwTotalSize = static_cast<DWORD>(sizeof params);
  params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
}

LONG InitializeTapi(TapiPlatform& platform, TapiState& state) {
  FillInitParams(state.initParams);
  return platform.lineInitializeExA(&state.appHandle, platform.ModuleHandle(), &LineCallback, kTapiAppName,
                                    &state.deviceCount, &state.tapiVersion, &state.initParams);
}

std::string VersionText(DWORD version) {
  const std::string digits = PadLeft(HexUpper(version), 8, '0');
  const auto group = [&](std::size_t start) {
    const auto value = ReadInteger(digits.substr(start, 4));
    return std::to_string(value.value_or(0));
  };
  return group(0) + "." + group(4);
}

LONG LineQuery(TapiPlatform& platform, HLINEAPP appHandle, DWORD device, std::string& lineName,
               DWORD& apiVersion, DWORD& mediaModes, bool& suitedForVoice) {
  LINEEXTENSIONID extensionId{};
  LONG result = platform.lineNegotiateAPIVersion(appHandle, device, kTapiLowVersion, kTapiHighVersion,
                                                 &apiVersion, &extensionId);
  if (result != 0) {
    return result;
  }
  auto block = std::make_unique<TapiBlock>(sizeof(LINEDEVCAPS));
  block->as<LINEDEVCAPS>()->dwTotalSize = static_cast<DWORD>(block->size());
  result = platform.lineGetDevCapsA(appHandle, device, apiVersion, 0, block->as<LINEDEVCAPS>());
  const DWORD needed = block->as<LINEDEVCAPS>()->dwNeededSize;
  if (needed > block->size()) {
    if (needed > kMaxTapiBlockSize) {
      return LINEERR_NOMEM;
    }
    block = std::make_unique<TapiBlock>(needed);
    block->as<LINEDEVCAPS>()->dwTotalSize = needed;
    result = platform.lineGetDevCapsA(appHandle, device, apiVersion, 0, block->as<LINEDEVCAPS>());
  }
  if (result != 0) {
    return result;
  }
  const auto& caps = *block->as<LINEDEVCAPS>();
  suitedForVoice = (caps.dwMediaModes & LINEMEDIAMODE_INTERACTIVEVOICE) != 0 &&
                   (caps.dwMediaModes & LINEMEDIAMODE_UNKNOWN) == 0 &&
                   (caps.dwBearerModes & LINEBEARERMODE_VOICE) != 0 && apiVersion > kTapiLowVersion;
  mediaModes = caps.dwMediaModes;
  lineName = caps.dwLineNameSize != 0 ? block->TextAt(caps.dwLineNameOffset) : std::string();
  return 0;
}

TapiSession::TapiSession(TapiPlatform& platform, TapiState& state, TraceSink& sink)
    : platform_(platform), state_(state), sink_(sink) {}

std::string TapiSession::ResultText(const std::string& step, LONG result) {
  using namespace traceformat;
  std::string text = step;
  text += kResultSeparator;
  if (!IsTapiError(result)) {
    text += kResultOk;
    return text;
  }
  const MessageTableLookup lookup = [this](DWORD id) { return platform_.MessageTableText(id); };
  text += kResultError;
  text += std::to_string(static_cast<std::uint32_t>(result));
  text += kErrorTextOpen;
  text += TapiErrorText(result, lookup);
  text += kErrorTextClose;
  return text;
}

void TapiSession::ResultLine(const std::string& step, LONG result) {
  sink_.LogLine(ResultText(step, result));
}

void TapiSession::Logon() {
  sink_.LogHeader();
  ResultLine(std::string(traceformat::kStepInitialise), InitializeTapi(platform_, state_));

  std::string lineName;
  DWORD mediaModes = 0;
  bool suited = false;
  const auto device = static_cast<DWORD>(state_.selectedDevice);
  LineQuery(platform_, state_.appHandle, device, lineName, state_.lineApiVersion, mediaModes, suited);

  ResultLine(std::string(traceformat::kStepLineOpen),
             platform_.lineOpenA(state_.appHandle, device, &state_.lineHandle, state_.lineApiVersion, 0, 0,
                                 LINECALLPRIVILEGE_MONITOR, LINEMEDIAMODE_INTERACTIVEVOICE, nullptr));
  std::string logon(traceformat::kLogonStart);
  logon += VersionText(state_.lineApiVersion);
  logon += traceformat::kLogonName;
  logon += lineName;
  logon += traceformat::kLogonDevice;
  logon += std::to_string(state_.selectedDevice);
  logon += traceformat::kLogonEnd;
  sink_.LogLine(logon);
  sink_.LogSeparator();
  state_.loggedOn = true;
}

void TapiSession::Logoff() {
  if (state_.loggedOn) {
    sink_.LogSeparator();
    ResultLine(std::string(traceformat::kStepLineShutDown), platform_.lineShutdown(state_.appHandle));
    sink_.LogLine(std::string(traceformat::kLogoff));
  }
  state_.loggedOn = false;
}

}  // namespace ordalyn
