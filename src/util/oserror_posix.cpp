#include <cerrno>
#include <system_error>

#include "util/ioerror.h"

namespace ordalyn {

std::string OsErrorText(int errorCode) {
  // The generic category reads the C library's text in a thread-safe way.
  std::string text = std::generic_category().message(errorCode);
  while (!text.empty() && (text.back() == '.' || text.back() == '\n' || text.back() == '\r')) {
    text.pop_back();
  }
  if (text.empty()) {
    text = "Unknown error " + std::to_string(errorCode);
  }
  return text;
}

int LastOsError() { return errno; }

int NotOpenErrorCode() { return EBADF; }

}  // namespace ordalyn
