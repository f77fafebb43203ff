// The telephony platform: exactly the TAPI calls Ordalyn makes, behind one
// interface, so the trace code runs on tapi32 (Windows), on the simulated
// platform that ships with the program, or on a scripted fake in tests.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tapi/messagepump.h"
#include "tapi/tapidefs.h"

namespace ordalyn {

class TapiPlatform {
 public:
  virtual ~TapiPlatform() = default;

  virtual LONG lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                 LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                                 LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) = 0;
  virtual LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                       DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                                       LINEEXTENSIONID* lpExtensionID) = 0;
  virtual LONG lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                               LINEDEVCAPS* lpLineDevCaps) = 0;
  virtual LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion,
                         DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                         DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams) = 0;
  virtual LONG lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) = 0;
  virtual LONG lineShutdown(HLINEAPP hLineApp) = 0;

  // The text of a message identifier in the TAPI library's message table
  // (GetModuleHandleA("tapi32.dll") + FormatMessageA on Windows). No value when
  // the platform has no such table or the table has no text for the identifier.
  virtual std::optional<std::string> MessageTableText(DWORD messageId) = 0;

  // The program's own module handle, handed to lineInitializeExA.
  virtual HINSTANCE ModuleHandle() = 0;
};

// The platform the program runs on: tapi32 on Windows, the simulated
// telephony platform elsewhere (the build links exactly one of them). The
// simulated platform posts its messages through the pump; tapi32 delivers
// them through its own hidden window and does not use it.
std::unique_ptr<TapiPlatform> CreateDefaultTapiPlatform(MessagePump& pump);

}  // namespace ordalyn
