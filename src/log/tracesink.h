// The three writes every producer of trace text uses.
#pragma once

#include <string>

namespace ordalyn {

class TraceSink {
 public:
  virtual ~TraceSink() = default;
  // One time-stamped line: "hh:nn:ss:zzz | " + text.
  virtual void LogLine(const std::string& text) = 0;
  // The unstamped line of 92 dashes.
  virtual void LogSeparator() = 0;
  // The four unstamped header lines.
  virtual void LogHeader() = 0;
};

}  // namespace ordalyn
