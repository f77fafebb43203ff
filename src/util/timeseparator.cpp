#include "util/timeseparator.h"

namespace ordalyn {

namespace {

bool IsPunctuation(char c) {
  return (c >= '!' && c <= '/') || (c >= ':' && c <= '@') || (c >= '[' && c <= '`') || (c >= '{' && c <= '~');
}

}  // namespace

std::string TimeSeparatorFromFormat(std::string_view format) {
  const std::string colon = ":";
  bool afterHour = false;
  std::string between;
  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != '%') {
      if (afterHour) {
        between += format[i];
      }
      ++i;
      continue;
    }
    ++i;
    while (i < format.size() && std::string_view("_-0^#").find(format[i]) != std::string_view::npos) {
      ++i;
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      ++i;
    }
    if (i < format.size() && (format[i] == 'E' || format[i] == 'O')) {
      ++i;
    }
    if (i >= format.size()) {
      break;
    }
    const char conversion = format[i++];
    if (afterHour) {
      if (conversion == 'M' && !between.empty() && IsPunctuation(between.front())) {
        return std::string(1, between.front());
      }
      return colon;
    }
    if (conversion == 'H' || conversion == 'I' || conversion == 'k' || conversion == 'l') {
      afterHour = true;
    } else if (conversion == 'T' || conversion == 'R' || conversion == 'r') {
      return colon;
    }
  }
  return colon;
}

}  // namespace ordalyn
