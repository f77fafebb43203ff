#include "util/ioerror.h"

#include <utility>

namespace ordalyn {

namespace {

std::string Compose(int errorCode, std::string_view action, std::string_view fileName,
                    std::string_view reason) {
  std::string text(action);
  if (!fileName.empty()) {
    text += " \"";
    text += fileName;
    text += '"';
  }
  text += ": ";
  text += reason;
  text += " (OS error ";
  text += std::to_string(errorCode);
  text += ')';
  return text;
}

}  // namespace

IoError::IoError(int errorCode, const std::string& message, std::string fileName)
    : std::runtime_error(message), errorCode_(errorCode), fileName_(std::move(fileName)) {}

IoError IoError::FromOs(int errorCode, std::string_view action, std::string_view fileName) {
  return IoError(errorCode, Compose(errorCode, action, fileName, OsErrorText(errorCode)),
                 std::string(fileName));
}

IoError IoError::WithReason(int errorCode, std::string_view action, std::string_view fileName,
                            std::string_view reason) {
  return IoError(errorCode, Compose(errorCode, action, fileName, reason), std::string(fileName));
}

IoError IoError::NotOpenForOutput(std::string_view fileName) {
  return WithReason(NotOpenErrorCode(), "Cannot write to file", fileName, "File not open for output");
}

}  // namespace ordalyn
