#include <windows.h>

#include "util/clock.h"

namespace ordalyn {

LocalDateTime SystemClock::Now() const {
  SYSTEMTIME local{};
  GetLocalTime(&local);
  LocalDateTime result;
  result.year = local.wYear;
  result.month = local.wMonth;
  result.day = local.wDay;
  result.hour = local.wHour;
  result.minute = local.wMinute;
  result.second = local.wSecond;
  result.millisecond = local.wMilliseconds;
  return result;
}

}  // namespace ordalyn
