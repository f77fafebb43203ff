#include <unistd.h>

#include "util/utools.h"

namespace ordalyn {

std::string ComputerName() {
  char buffer[256] = {};
  if (gethostname(buffer, sizeof buffer - 1) != 0) {
    return {};
  }
  return HostNameBeforeFirstDot(buffer);
}

}  // namespace ordalyn
