#include "app/core/commandline.h"

#include <cstdio>

#include "util/utools.h"

namespace ordalyn {

std::optional<BackgroundRequest> ReadCommandLine(const std::vector<std::string>& arguments) {
  if (arguments.size() < 2) {
    return std::nullopt;
  }
  return BackgroundRequest{arguments[0], arguments[1]};
}

std::int32_t ReadSelectedDevice(std::string_view argument) {
  if (!argument.empty()) {
    const auto withoutSwitch = ReadInteger(argument.substr(1));
    if (withoutSwitch && *withoutSwitch >= 0) {
      return *withoutSwitch;
    }
  }
  const auto whole = ReadInteger(argument);
  if (whole && *whole >= 0) {
    return *whole;
  }
  return -1;
}

void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement) {
  constexpr std::size_t kMaxTail = 65000;
  if (pattern.empty()) {
    return;
  }
  std::size_t from = 0;
  for (;;) {
    const std::size_t at = text.find(pattern, from);
    if (at == std::string::npos) {
      return;
    }
    std::string tail = text.substr(at + pattern.size(), kMaxTail);
    text.resize(at);
    text.append(replacement);
    from = text.size();
    text.append(tail);
  }
}

namespace {

std::string TwoDigits(int value) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d", value);
  return buffer;
}

}  // namespace

std::string ExpandMacros(std::string fileName, const Clock& clock,
                         const std::function<std::string()>& computerName) {
  if (fileName.find("#date#") != std::string::npos) {
    const LocalDateTime now = clock.Now();
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", now.year, now.month, now.day);
    ReplaceAll(fileName, "#date#", buffer);
  }
  if (fileName.find("#time#") != std::string::npos) {
    const LocalDateTime now = clock.Now();
    ReplaceAll(fileName, "#time#", TwoDigits(now.hour) + "-" + TwoDigits(now.minute));
  }
  if (fileName.find("#computer#") != std::string::npos) {
    ReplaceAll(fileName, "#computer#", computerName());
  }
  return fileName;
}

}  // namespace ordalyn
