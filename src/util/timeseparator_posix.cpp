#include <langinfo.h>
#include <locale.h>

#include "util/timeseparator.h"

namespace ordalyn {

std::string TimeSeparator() {
  // A locale object of its own reads the user's time format from the
  // environment without touching the process's global locale.
  locale_t userLocale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (userLocale == static_cast<locale_t>(nullptr)) {
    return ":";
  }
  const char* format = nl_langinfo_l(T_FMT, userLocale);
  std::string separator = TimeSeparatorFromFormat(format != nullptr ? format : "");
  freelocale(userLocale);
  return separator;
}

}  // namespace ordalyn
