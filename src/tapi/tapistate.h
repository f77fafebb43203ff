// The process-wide TAPI values shared by logon, logoff, the event trace and
// the line inventory.
#pragma once

#include <cstdint>

#include "tapi/tapidefs.h"

namespace ordalyn {

// The range of API versions Ordalyn negotiates: 1.3 to 2.2.
constexpr DWORD kTapiLowVersion = 0x00010003;
constexpr DWORD kTapiHighVersion = 0x00020002;
constexpr const char* kTapiAppName = "Ordalyn";

struct TapiState {
  HLINEAPP appHandle{};
  HLINE lineHandle{};
  // The call the trace follows: set by every LINE_APPNEWCALL, never reset.
  HCALL currentCall{};
  // The API version negotiated for the traced line.
  DWORD lineApiVersion = 0;
  // Line devices reported by the last initialisation.
  DWORD deviceCount = 0;
  bool loggedOn = false;
  // In-out version of every initialisation: TAPI writes its own back.
  DWORD tapiVersion = 0;
  LINEINITIALIZEEXPARAMS initParams{};
  // The line to trace; -1 when none could be read.
  std::int32_t selectedDevice = 0;
};

// Zero-fills the initialisation parameters and asks for the hidden-window
// mechanism. dwTotalSize is the structure's real size in this build: 24 bytes
// in 32-bit builds, 28 in 64-bit ones.
void FillInitParams(LINEINITIALIZEEXPARAMS& params);

// Calls lineInitializeExA with the state's handle, count, version and
// parameters, the program's module handle, the line callback and the name.
class TapiPlatform;
LONG InitializeTapi(TapiPlatform& platform, TapiState& state);

}  // namespace ordalyn
