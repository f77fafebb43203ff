// The prototype of a cheaper trace chain, to show what the fixes proposed in
// docs/performance.md gain: the same trace text, byte for byte, composed into
// one reused buffer (no temporary strings, no snprintf) and written through a
// buffer of a chosen size. Not used by the program.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>

#include "log/outputfile.h"
#include "log/tracesink.h"
#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

namespace ordalyn::bench {

// Stamped lines, separators and the header into a file, through a buffer
// written out in whole multiples of bufferSize (as the trace log does with
// 128 bytes), and all of it at Close.
class LeanFileLog : public TraceSink {
 public:
  LeanFileLog(const Clock& clock, std::size_t bufferSize, std::unique_ptr<OutputFile> file);
  ~LeanFileLog() override;
  void LogLine(const std::string& text) override;
  void LogSeparator() override;
  void LogHeader() override;
  // Takes one whole line without its stamp and line end.
  void LogText(const char* text, std::size_t size);
  int Open(const std::string& fileName);
  int Close();

 private:
  void WriteOut();

  const Clock& clock_;
  std::size_t bufferSize_;
  std::unique_ptr<OutputFile> file_;
  std::string waiting_;
  std::size_t errors_ = 0;
};

// The line callback's text into one reused buffer.
class LeanLineTrace {
 public:
  LeanLineTrace(TapiPlatform& platform, TapiState& state, LeanFileLog* log);
  // The line for a message (the buffer is reused by the next call).
  const std::string& Compose(DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3);
  void HandleMessage(DWORD message, DWORD_PTR param1, DWORD_PTR param2, DWORD_PTR param3);

 private:
  TapiPlatform& platform_;
  TapiState& state_;
  LeanFileLog* log_;
  std::string line_;
};

// The prototype chain: the simulated platform (on the default traffic unless
// told otherwise) calls the lean trace, which writes through the lean log.
struct LeanPipeline {
  LeanPipeline(const Clock& clock, std::size_t bufferSize, std::unique_ptr<OutputFile> file,
               const std::string& fileName, std::optional<SimScenario> scenario = std::nullopt);
  ~LeanPipeline();
  std::size_t Run(std::size_t messages) { return pump.RunUntilIdle(messages); }

  ManualMessagePump pump;
  SimTapiPlatform platform;
  TapiState state;
  LeanFileLog log;
  LeanLineTrace trace;
  bool opened = false;
};

}  // namespace ordalyn::bench
