#include "winehost.h"

#include <windows.h>

#include <cstdlib>
#include <stdexcept>

namespace ordalyn::wintest {

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool WineExpected() {
  const char* value = std::getenv("ORDALYN_EXPECT_WINE");
  return value != nullptr && std::string(value) == "1";
}

bool ReadWholeFile(const std::string& path, std::string& contents) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return false;
  }
  contents.clear();
  char buffer[4096];
  DWORD got = 0;
  bool ok = true;
  while ((ok = ReadFile(file, buffer, sizeof buffer, &got, nullptr) != FALSE) && got > 0) {
    contents.append(buffer, got);
  }
  CloseHandle(file);
  return ok;
}

}  // namespace ordalyn::wintest
