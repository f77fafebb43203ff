// The trace chain as the program runs it, on the simulated platform and a
// message pump on virtual time: platform -> line callback -> event trace ->
// trace log -> on-screen log or background file. Plain C++.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "log/outputfile.h"
#include "log/tracelog.h"
#include "tapi/linetrace.h"
#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/sim/simtraffic.h"
#include "tapi/tapisession.h"
#include "tapi/tapistate.h"
#include "util/clock.h"

namespace ordalyn::bench {

// An on-screen log that keeps its lines (or only counts them).
class CollectingScreen : public ScreenLog {
 public:
  explicit CollectingScreen(bool keep = true) : keep_(keep) {}
  void AppendLine(const std::string& line) override {
    ++count_;
    if (keep_) lines_.push_back(line);
  }
  std::vector<std::string>& Lines() { return lines_; }
  std::size_t Count() const { return count_; }

 private:
  bool keep_;
  std::size_t count_ = 0;
  std::vector<std::string> lines_;
};

// A file that takes every byte and keeps none: the chain without the system's write.
class DiscardFile : public OutputFile {
 public:
  int Create(const std::string&) override {
    open_ = true;
    return 0;
  }
  WriteResult Write(const char*, std::size_t size) override {
    ++writes_;
    return {size, 0};
  }
  int Close() override {
    open_ = false;
    return 0;
  }
  bool IsOpen() const override { return open_; }
  std::size_t Writes() const { return writes_; }

 private:
  bool open_ = false;
  std::size_t writes_ = 0;
};

// The prototype of a fix: the system file behind a larger buffer, so that the
// trace log's small buffers reach the system in big writes. What it holds is
// written out when it fills and at closing (in the program also when the event
// loop falls idle, so a reader never waits for a quiet line).
class CoalescingFile : public OutputFile {
 public:
  CoalescingFile(std::size_t capacity, std::unique_ptr<OutputFile> inner);
  ~CoalescingFile() override;
  int Create(const std::string& fileName) override;
  WriteResult Write(const char* data, std::size_t size) override;
  int Close() override;
  bool IsOpen() const override { return inner_->IsOpen(); }
  // Hands what is held to the system file; 0 or the error.
  int Drain();

 private:
  std::size_t capacity_;
  std::unique_ptr<OutputFile> inner_;
  std::string held_;
};

// The built-in default environment's endless call traffic, with the line that
// is suited to voice monitoring (device 3).
SimScenario TrafficScenario();
inline constexpr DWORD kTrafficDevice = 3;

// The same traffic's first `messages` messages as a script repeated without
// end: the platform then keeps every call it has seen and never searches for
// the oldest one to forget, which the generated traffic does at every message.
SimScenario ScriptedTrafficScenario(std::size_t messages);

// One line with one call 0x10A2C whose information is typical (caller, called
// and connected numbers, origin and reason: 112 bytes of variable data, one
// query) or, with devSpecificBytes, larger than the first block (two queries).
SimScenario OneCallScenario(std::size_t devSpecificBytes = 0);
inline constexpr HCALL kOneCall = 0x10A2C;

struct Pipeline {
  // Logs on to the device (header, result lines, logon line and separator go
  // to the screen, or, with a file name, into the file).
  Pipeline(SimScenario scenario, DWORD device, const Clock& clock, std::unique_ptr<OutputFile> file = nullptr,
           const std::string& fileName = std::string(), ScreenLog* screen = nullptr);
  ~Pipeline();
  Pipeline(const Pipeline&) = delete;
  Pipeline& operator=(const Pipeline&) = delete;

  // Delivers up to `messages` messages; returns how many ran.
  std::size_t Run(std::size_t messages) { return pump.RunUntilIdle(messages); }

  ManualMessagePump pump;
  SimTapiPlatform platform;
  TapiState state;
  CollectingScreen ownScreen{false};
  TraceLog log;
  LineEventTrace trace;
  TapiSession session;
  // Failures the callback met (a write the file refused); the benchmarks stop on any.
  std::size_t callbackErrors = 0;
};

// The stamped lines of the first `count` traffic messages, as the trace log
// writes them (without line ends).
std::vector<std::string> TrafficLines(std::size_t count);

// A fresh file name in the system's temporary folder.
std::string TempFileName(const std::string& stem);

}  // namespace ordalyn::bench
