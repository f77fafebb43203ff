// The error raised when a file cannot be created, written or closed.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace ordalyn {

class IoError : public std::runtime_error {
 public:
  // message is the complete text shown to the user.
  IoError(int errorCode, const std::string& message, std::string fileName = {});

  // "<action> "<file name>": <operating system's text> (OS error <code>)"; the
  // quoted file name is left out when it is empty.
  static IoError FromOs(int errorCode, std::string_view action, std::string_view fileName);

  // The same form with a reason of the program's own instead of the system's text.
  static IoError WithReason(int errorCode, std::string_view action, std::string_view fileName,
                            std::string_view reason);

  // Writing while no file is open: "Cannot write to file "<file name>": File
  // not open for output (OS error <code>)", with the system's code for a bad
  // file handle.
  static IoError NotOpenForOutput(std::string_view fileName);

  // The operating system's error code (errno on POSIX, GetLastError() on Windows).
  int ErrorCode() const noexcept { return errorCode_; }
  const std::string& FileName() const noexcept { return fileName_; }

 private:
  int errorCode_;
  std::string fileName_;
};

// The operating system's text for an error code, without a trailing full stop
// or line break; "Unknown error <code>" when the system has none.
std::string OsErrorText(int errorCode);

// The code of the last failed system call of this thread.
int LastOsError();

// The system's code for an operation on a handle that is not open.
int NotOpenErrorCode();

}  // namespace ordalyn
