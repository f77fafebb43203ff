#include "tapi/win32/tapi32platform.h"

#include <array>
#include <cstring>

namespace ordalyn {

LONG Tapi32Platform::lineInitializeExA(HLINEAPP* lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                       LPCSTR lpszFriendlyAppName, DWORD* lpdwNumDevs, DWORD* lpdwAPIVersion,
                                       LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
  return ::lineInitializeExA(lphLineApp, hInstance, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs,
                             lpdwAPIVersion, lpLineInitializeExParams);
}

LONG Tapi32Platform::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                             DWORD dwAPIHighVersion, DWORD* lpdwAPIVersion,
                                             LINEEXTENSIONID* lpExtensionID) {
  return ::lineNegotiateAPIVersion(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                                   lpExtensionID);
}

LONG Tapi32Platform::lineGetDevCapsA(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                     DWORD dwExtVersion, LINEDEVCAPS* lpLineDevCaps) {
  return ::lineGetDevCapsA(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
}

LONG Tapi32Platform::lineOpenA(HLINEAPP hLineApp, DWORD dwDeviceID, HLINE* lphLine, DWORD dwAPIVersion,
                               DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivileges,
                               DWORD dwMediaModes, const LINECALLPARAMS* lpCallParams) {
  // tapi32 declares the call parameters as a non-const pointer but only reads them.
  return ::lineOpenA(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                     dwPrivileges, dwMediaModes, const_cast<LINECALLPARAMS*>(lpCallParams));
}

LONG Tapi32Platform::lineGetCallInfoA(HCALL hCall, LINECALLINFO* lpCallInfo) {
  return ::lineGetCallInfoA(hCall, lpCallInfo);
}

LONG Tapi32Platform::lineShutdown(HLINEAPP hLineApp) { return ::lineShutdown(hLineApp); }

std::optional<std::string> Tapi32Platform::MessageTableText(DWORD messageId) {
  const HMODULE module = ::GetModuleHandleA("tapi32.dll");
  if (module == nullptr) {
    return std::nullopt;
  }
  std::array<char, 513> buffer{};
  const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE, module, messageId, 0, buffer.data(),
                                        static_cast<DWORD>(buffer.size()), nullptr);
  if (length == 0) {
    return std::nullopt;
  }
  // The text runs to its first NUL; the zero-filled buffer always holds one.
  buffer.back() = '\0';
  return std::string(buffer.data(), std::strlen(buffer.data()));
}

HINSTANCE Tapi32Platform::ModuleHandle() { return ::GetModuleHandleA(nullptr); }

}  // namespace ordalyn
