// Shared pieces of the load tests: a clock that shows the pump's virtual time,
// the flood scenario with the trace line each of its messages must give, and
// the trace chain into a background file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "log/tracelog.h"
#include "tapi/linetrace.h"
#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

namespace ordalyn::load {

// The local time is the pump's virtual milliseconds after midnight, so each
// stamp tells exactly when the pump delivered a line.
class PumpClock : public Clock {
 public:
  explicit PumpClock(const ManualMessagePump& pump) : pump_(pump) {}
  LocalDateTime Now() const override;

 private:
  const ManualMessagePump& pump_;
};

// "hh:nn:ss:zzz" of a number of milliseconds after midnight.
std::string StampAt(std::uint64_t ms);

// The flood: one line, "Flood Line", and a script of kFloodScript messages,
// one every millisecond, repeated `runs` times. Message i of the script
// carries param3 = i; the kinds take turns: LINE_APPNEWCALL for call
// kFloodCall, LINE_CALLSTATE, LINE_CALLINFO, LINE_LINEDEVSTATE and an unknown
// message number. Message k of the whole flood arrives at virtual time k + 1.
inline constexpr std::size_t kFloodScript = 1000;
inline constexpr std::uint32_t kFloodCall = 0x10A2C;
SimScenario FloodScenario(std::uint32_t runs);

// The trace text (without stamp) that message i of the flood script gives,
// spelt out by hand.
std::string FloodLineText(std::size_t i);

// The trace chain of the program into a background file: the simulated
// platform, the line callback, the event trace, the trace log.
class FileTrace {
 public:
  FileTrace(std::unique_ptr<SimTapiPlatform> platform, ManualMessagePump& pump, const std::string& fileName,
            std::int32_t device = 0);
  ~FileTrace();
  // Delivers every message that falls due within ms milliseconds.
  std::size_t RunFor(std::uint64_t ms) { return pump_.RunFor(ms); }
  // Logoff and closing the file.
  void Finish();
  SimTapiPlatform& Platform() { return *platform_; }
  std::size_t CallbackErrors() const { return callbackErrors_; }

 private:
  ManualMessagePump& pump_;
  std::unique_ptr<SimTapiPlatform> platform_;
  PumpClock clock_;
  TapiState state_;
  class NoScreen : public ScreenLog {
   public:
    void AppendLine(const std::string&) override {}
  } noScreen_;
  TraceLog log_;
  LineEventTrace trace_;
  TapiSession session_;
  std::size_t callbackErrors_ = 0;
  bool finished_ = false;
};

// The lines of a file, each without its CR LF; a line that lacks its CR is
// kept with a "<no CR>" mark so that comparisons fail visibly.
std::vector<std::string> ReadLines(const std::string& fileName);

// The header, result and logon lines a logon writes, in order, as expected
// with the pump's clock at 0.
std::vector<std::string> LogonLines(const std::string& lineName, const std::string& version = "2.2");

// The process's peak resident memory in MiB.
double PeakRssMiB();

}  // namespace ordalyn::load
