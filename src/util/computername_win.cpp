#include <windows.h>

#include "util/utools.h"

namespace ordalyn {

std::string ComputerName() {
  // Room for the longest name of 15 characters and its terminator.
  char buffer[16] = {};
  DWORD size = sizeof buffer;
  if (!GetComputerNameA(buffer, &size)) {
    return {};
  }
  return std::string(buffer, size);
}

}  // namespace ordalyn
