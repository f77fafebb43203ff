#include <windows.h>

#include "util/timeseparator.h"

namespace ordalyn {

std::string TimeSeparator() {
  char buffer[8] = {};
  const int length = GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_STIME, buffer, sizeof buffer);
  if (length <= 1) {
    return ":";
  }
  return std::string(buffer);
}

}  // namespace ordalyn
