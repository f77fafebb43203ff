#include <windows.h>

#include "util/ioerror.h"

namespace ordalyn {

std::string OsErrorText(int errorCode) {
  char buffer[512] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(errorCode), 0, buffer, sizeof buffer, nullptr);
  std::string text(buffer, length);
  while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == '\r' ||
                           text.back() == ' ')) {
    text.pop_back();
  }
  if (text.empty()) {
    text = "Unknown error " + std::to_string(errorCode);
  }
  return text;
}

int LastOsError() { return static_cast<int>(GetLastError()); }

int NotOpenErrorCode() { return ERROR_INVALID_HANDLE; }

}  // namespace ordalyn
