#include "tapi/sim/simscenario.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ordalyn {

void SimCallUpdate::ApplyTo(SimCallInfo& info) const {
  if (fields & kSimCallerID) info.callerID = values.callerID;
  if (fields & kSimCallerIDName) info.callerIDName = values.callerIDName;
  if (fields & kSimCalledID) info.calledID = values.calledID;
  if (fields & kSimCalledIDName) info.calledIDName = values.calledIDName;
  if (fields & kSimConnectedID) info.connectedID = values.connectedID;
  if (fields & kSimConnectedIDName) info.connectedIDName = values.connectedIDName;
  if (fields & kSimCallerIDFlags) info.callerIDFlags = values.callerIDFlags;
  if (fields & kSimCalledIDFlags) info.calledIDFlags = values.calledIDFlags;
  if (fields & kSimConnectedIDFlags) info.connectedIDFlags = values.connectedIDFlags;
  if (fields & kSimOrigin) info.origin = values.origin;
  if (fields & kSimReason) info.reason = values.reason;
  if (fields & kSimAddressID) info.addressID = values.addressID;
  if (fields & kSimBearerMode) info.bearerMode = values.bearerMode;
  if (fields & kSimMediaMode) info.mediaMode = values.mediaMode;
  if (fields & kSimCallID) info.callID = values.callID;
  if (fields & kSimDevSpecific) info.devSpecific = values.devSpecific;
}

std::string SimScenarioError::Text() const {
  std::string text = source;
  if (!location.empty()) text += ": " + location;
  text += ": " + reason;
  return text;
}

namespace {

// Code page 1252 bytes 0x80 to 0x9F and the characters they stand for; 0 marks
// the five bytes that code page 1252 leaves unassigned.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

std::optional<char> Cp1252Byte(char32_t code) {
  if (code < 0x80 || (code >= 0xA0 && code <= 0xFF)) return static_cast<char>(code);
  for (int i = 0; i < 32; ++i) {
    if (kCp1252High[i] != 0 && kCp1252High[i] == code) return static_cast<char>(0x80 + i);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::string> Utf8ToCp1252(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    std::size_t length = 0;
    char32_t code = 0;
    if (lead < 0x80) {
      length = 1;
      code = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2;
      code = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3;
      code = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4;
      code = lead & 0x07;
    } else {
      return std::nullopt;
    }
    if (i + length > utf8.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms encode nothing that code page 1252 could hold anyway,
    // except for the ASCII range, which they must not reach.
    if ((length == 2 && code < 0x80) || (length == 3 && code < 0x800) || (length == 4 && code < 0x10000)) {
      return std::nullopt;
    }
    const std::optional<char> byte = Cp1252Byte(code);
    if (!byte) return std::nullopt;
    out += *byte;
    i += length;
  }
  return out;
}

SimScenarioResult LoadSimScenarioFile(const std::string& path) {
  SimScenarioResult result;
  errno = 0;
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
  if (!file) {
    const int error = errno;
    result.error = SimScenarioError{
        path, "",
        std::string("cannot be read: ") + (error != 0 ? std::strerror(error) : "the file cannot be opened")};
    return result;
  }
  std::string text;
  char buffer[65536];
  for (;;) {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    if (std::ferror(file.get())) {
      const int error = errno;
      result.error = SimScenarioError{
          path, "",
          std::string("cannot be read: ") + (error != 0 ? std::strerror(error) : "a read error occurred")};
      return result;
    }
    text.append(buffer, got);
    if (text.size() > SimLimits::kMaxFileBytes) {
      result.error = SimScenarioError{
          path, "", "the file is larger than " + std::to_string(SimLimits::kMaxFileBytes) + " bytes"};
      return result;
    }
    if (got < sizeof buffer) break;
  }
  return ParseSimScenario(text, path);
}

}  // namespace ordalyn
