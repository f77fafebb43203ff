// The telephony platform of Windows: every call goes straight to tapi32.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "tapi/tapiplatform.h"

namespace ordalyn {

class Tapi32Platform : public TapiPlatform {
 public:
  LONG lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                         LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                         LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override;
  LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                               DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                               LINEEXTENSIONID* lpExtensionID) override;
  LONG lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                       LINEDEVCAPS* lpLineDevCaps) override;
  LONG lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                 DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                 const LINECALLPARAMS* lpCallParams) override;
  LONG lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) override;
  LONG lineShutdown(HLINEAPP hLineApp) override;

  // Reads tapi32.dll's message table: FormatMessageA into a 513-character
  // buffer. No value when the library is not loaded or has no text for the id.
  std::optional<std::string> MessageTableText(DWORD messageId) override;

  // The running executable's module handle.
  HINSTANCE ModuleHandle() override;
};

}  // namespace ordalyn
