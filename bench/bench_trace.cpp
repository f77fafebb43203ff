// The cost of composing trace lines and the throughput of the whole chain into
// the background file, each against a reference measured in the same run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include <fstream>
#include <sstream>

#include "leantrace.h"
#include "ratioreport.h"
#include "tracepipeline.h"

namespace ordalyn::bench {
namespace {

constexpr DWORD kCallStateOffering = 0x2;    // LINECALLSTATE_OFFERING
constexpr DWORD kOfferingModeActive = 0x1;   // LINEOFFERINGMODE_ACTIVE
constexpr DWORD kLineDevStateRinging = 0x4;  // LINEDEVSTATE_RINGING
// Messages per benchmark iteration of the file sink, and iterations between
// two restarts of the file (so a long run does not fill the disk).
constexpr std::size_t kBatch = 10000;
constexpr std::size_t kBatchesPerFile = 100;
// Messages of the traffic played as a script.
constexpr std::size_t kScriptedTraffic = 20000;

// A LINE_CALLSTATE line with its call information query against a
// LINE_LINEDEVSTATE line, which queries nothing.
void ComposeCallState(benchmark::State& state, std::size_t devSpecificBytes) {
  const SystemClock clock;
  Pipeline pipeline(OneCallScenario(devSpecificBytes), 0, clock);
  pipeline.state.currentCall = kOneCall;
  const std::string check =
      pipeline.trace.ComposeLine(LINE_CALLSTATE, kCallStateOffering, kOfferingModeActive, 0);
  if (check.find(" - CallerID: 5550100 - CalledID: 200 - ConnectedID: 5550100 - (") == std::string::npos) {
    state.SkipWithError(("the call information did not arrive: " + check).c_str());
    return;
  }
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string line = pipeline.trace.ComposeLine(LINE_CALLSTATE, kCallStateOffering, kOfferingModeActive, 0);
    bytes += line.size();
    benchmark::DoNotOptimize(line);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_line"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

void ComposeLineDevState(benchmark::State& state) {
  const SystemClock clock;
  Pipeline pipeline(OneCallScenario(), 0, clock);
  pipeline.state.currentCall = kOneCall;
  std::size_t bytes = 0;
  for (auto _ : state) {
    std::string line = pipeline.trace.ComposeLine(LINE_LINEDEVSTATE, kLineDevStateRinging, 0, 1);
    bytes += line.size();
    benchmark::DoNotOptimize(line);
  }
  state.SetItemsProcessed(state.iterations());
  state.counters["bytes_per_line"] = static_cast<double>(bytes) / static_cast<double>(state.iterations());
}

enum class FileKind { kSystem, kDiscard, kCoalescing };

std::unique_ptr<OutputFile> MakeFile(FileKind kind) {
  switch (kind) {
    case FileKind::kDiscard:
      return std::make_unique<DiscardFile>();
    case FileKind::kCoalescing:
      return std::make_unique<CoalescingFile>(64 * 1024, MakeSystemOutputFile());
    case FileKind::kSystem:
      break;
  }
  return MakeSystemOutputFile();
}

// Messages per second from the platform into the background file: the
// default environment's call traffic, the real line callback, event trace,
// system clock and trace log.
void FileSinkEndToEnd(benchmark::State& state, FileKind kind, bool scripted) {
  const SystemClock clock;
  const std::string fileName = TempFileName("sink.log");
  Pipeline pipeline(scripted ? ScriptedTrafficScenario(kScriptedTraffic) : TrafficScenario(), kTrafficDevice,
                    clock, MakeFile(kind), fileName);
  std::size_t batches = 0;
  for (auto _ : state) {
    if (pipeline.Run(kBatch) != kBatch || pipeline.callbackErrors != 0) {
      state.SkipWithError("the chain stopped or the file refused a write");
      break;
    }
    if (++batches % kBatchesPerFile == 0) {
      state.PauseTiming();
      pipeline.log.OpenBackgroundFile();
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBatch));
  pipeline.log.CloseBackgroundFile();
  std::remove(fileName.c_str());
}

// A sink that takes every line and keeps none: the chain without the trace log.
class NullSink : public TraceSink {
 public:
  void LogLine(const std::string&) override {}
  void LogSeparator() override {}
  void LogHeader() override {}
};

// The stages of the chain on the same traffic: the platform and the pump
// alone (the callback traces nothing), with the event trace composing lines
// for a sink that drops them, and with the trace log stamping them.
enum class Stage { kPlatformOnly, kComposeOnly };

void ChainStage(benchmark::State& state, Stage stage, bool scripted) {
  const SystemClock clock;
  Pipeline pipeline(scripted ? ScriptedTrafficScenario(kScriptedTraffic) : TrafficScenario(), kTrafficDevice,
                    clock, std::make_unique<DiscardFile>(), TempFileName("unused.log"));
  NullSink sink;
  LineEventTrace composeOnly(pipeline.platform, pipeline.state, sink);
  SetLineCallbackTarget(stage == Stage::kPlatformOnly ? nullptr : &composeOnly);
  for (auto _ : state) {
    if (pipeline.Run(kBatch) != kBatch) {
      state.SkipWithError("the chain stopped");
      break;
    }
  }
  SetLineCallbackTarget(&pipeline.trace);
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBatch));
}

std::string ReadAll(const std::string& fileName) {
  std::ifstream in(fileName, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// What follows the first separator line.
std::string AfterSeparator(const std::string& text) {
  const std::string separator = std::string(92, '-') + "\r\n";
  const std::size_t at = text.find(separator);
  return at == std::string::npos ? std::string() : text.substr(at + separator.size());
}

// The prototype must write the very bytes the program writes.
bool LeanWritesTheSameTrace(std::string& why) {
  const FakeClock clock(LocalDateTime{2024, 5, 6, 10, 16, 5, 412});
  const std::string original = TempFileName("original.log");
  const std::string lean = TempFileName("lean.log");
  constexpr std::size_t kMessages = 50000;
  {
    Pipeline pipeline(TrafficScenario(), kTrafficDevice, clock, nullptr, original);
    pipeline.Run(kMessages);
  }
  {
    LeanPipeline pipeline(clock, 64 * 1024, MakeSystemOutputFile(), lean);
    pipeline.Run(kMessages);
  }
  const std::string expected = AfterSeparator(ReadAll(original));
  const std::string actual = AfterSeparator(ReadAll(lean));
  std::remove(original.c_str());
  std::remove(lean.c_str());
  if (expected.empty() || expected != actual) {
    const std::size_t at =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first -
        expected.begin();
    why = "the prototype's trace differs from the program's at byte " + std::to_string(at) + ": " +
          expected.substr(at > 60 ? at - 60 : 0, 160);
    return false;
  }
  return true;
}

// The prototype chain: lean composition, and the lean log with a buffer of
// bufferSize bytes into the system file.
void LeanChain(benchmark::State& state, std::size_t bufferSize, bool scripted) {
  static std::string failure;
  static const bool same = LeanWritesTheSameTrace(failure);
  if (!same) {
    state.SkipWithError(failure.c_str());
    return;
  }
  const SystemClock clock;
  const std::string fileName = TempFileName("lean.log");
  LeanPipeline pipeline(
      clock, bufferSize, MakeSystemOutputFile(), fileName,
      scripted ? std::optional<SimScenario>(ScriptedTrafficScenario(kScriptedTraffic)) : std::nullopt);
  std::size_t batches = 0;
  for (auto _ : state) {
    if (pipeline.Run(kBatch) != kBatch) {
      state.SkipWithError("the chain stopped");
      break;
    }
    if (++batches % kBatchesPerFile == 0) {
      state.PauseTiming();
      pipeline.log.Close();
      pipeline.log.Open(fileName);
      state.ResumeTiming();
    }
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBatch));
  pipeline.log.Close();
  std::remove(fileName.c_str());
}

const std::vector<std::string>& PoolOfLines() {
  static const std::vector<std::string> lines = TrafficLines(100000);
  return lines;
}

// The same bytes (the traffic's stamped lines and CR LF) through a plain
// stdio loop; bufferSize 0 keeps stdio's own buffer.
void FileSinkStdio(benchmark::State& state, std::size_t bufferSize) {
  const std::vector<std::string>& lines = PoolOfLines();
  const std::string fileName = TempFileName("stdio.log");
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (file == nullptr) {
    state.SkipWithError("cannot create the file");
    return;
  }
  // glibc takes the size only together with a buffer.
  std::vector<char> buffer(bufferSize);
  if (bufferSize != 0) {
    std::setvbuf(file, buffer.data(), _IOFBF, bufferSize);
  }
  std::size_t next = 0;
  std::size_t batches = 0;
  std::size_t bytes = 0;
  for (auto _ : state) {
    for (std::size_t i = 0; i < kBatch; ++i) {
      const std::string& line = lines[next];
      next = next + 1 == lines.size() ? 0 : next + 1;
      std::fwrite(line.data(), 1, line.size(), file);
      std::fwrite("\r\n", 1, 2, file);
      bytes += line.size() + 2;
    }
    if (++batches % kBatchesPerFile == 0) {
      state.PauseTiming();
      file = std::freopen(fileName.c_str(), "wb", file);
      if (file == nullptr) {
        state.SkipWithError("cannot create the file again");
        state.ResumeTiming();
        break;
      }
      if (bufferSize != 0) {
        std::setvbuf(file, buffer.data(), _IOFBF, bufferSize);
      }
      state.ResumeTiming();
    }
  }
  if (file != nullptr) {
    std::fclose(file);
  }
  state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * static_cast<std::int64_t>(kBatch));
  state.counters["bytes_per_line"] =
      static_cast<double>(bytes) / static_cast<double>(state.iterations() * kBatch);
  std::remove(fileName.c_str());
}

}  // namespace
}  // namespace ordalyn::bench

int main(int argc, char** argv) {
  using namespace ordalyn::bench;
  benchmark::RegisterBenchmark("Compose/LineCallState", ComposeCallState, std::size_t{0});
  benchmark::RegisterBenchmark("Compose/LineCallStateTwoQueries", ComposeCallState, std::size_t{1024});
  benchmark::RegisterBenchmark("Compose/LineLineDevState", ComposeLineDevState);
  benchmark::RegisterBenchmark("FileSink/EndToEnd", FileSinkEndToEnd, FileKind::kSystem, false);
  benchmark::RegisterBenchmark("FileSink/EndToEndDiscardingFile", FileSinkEndToEnd, FileKind::kDiscard,
                               false);
  benchmark::RegisterBenchmark("FileSink/EndToEndCoalescing64K", FileSinkEndToEnd, FileKind::kCoalescing,
                               false);
  benchmark::RegisterBenchmark("FileSink/PlatformOnly", ChainStage, Stage::kPlatformOnly, false);
  benchmark::RegisterBenchmark("FileSink/ComposeOnly", ChainStage, Stage::kComposeOnly, false);
  benchmark::RegisterBenchmark("FileSink/PrototypeLean128", LeanChain, std::size_t{128}, false);
  benchmark::RegisterBenchmark("FileSink/PrototypeLean64K", LeanChain, std::size_t{64 * 1024}, false);
  benchmark::RegisterBenchmark("FileSink/Scripted/PlatformOnly", ChainStage, Stage::kPlatformOnly, true);
  benchmark::RegisterBenchmark("FileSink/Scripted/EndToEnd", FileSinkEndToEnd, FileKind::kSystem, true);
  benchmark::RegisterBenchmark("FileSink/Scripted/PrototypeLean64K", LeanChain, std::size_t{64 * 1024}, true);
  benchmark::RegisterBenchmark("FileSink/Stdio", FileSinkStdio, std::size_t{0});
  benchmark::RegisterBenchmark("FileSink/Stdio128ByteBuffer", FileSinkStdio, std::size_t{128});
  return RunWithRatios(
      argc, argv,
      {
          {"LINE_CALLSTATE line (one query) dearer than LINE_LINEDEVSTATE line", "Compose/LineCallState",
           "Compose/LineLineDevState", "", true},
          {"LINE_CALLSTATE line (two queries) dearer than LINE_LINEDEVSTATE line",
           "Compose/LineCallStateTwoQueries", "Compose/LineLineDevState", "", true},
          {"file sink messages per second", "FileSink/EndToEnd", "", ">= 100000"},
          {"file sink vs stdio loop of the same bytes", "FileSink/EndToEnd", "FileSink/Stdio", ">= 0.3"},
          {"chain with a file that writes nothing vs stdio loop", "FileSink/EndToEndDiscardingFile",
           "FileSink/Stdio", ""},
          {"file sink vs the same chain writing nothing", "FileSink/EndToEnd",
           "FileSink/EndToEndDiscardingFile", ""},
          {"platform and pump alone vs stdio loop", "FileSink/PlatformOnly", "FileSink/Stdio", ""},
          {"platform, pump and composing vs stdio loop", "FileSink/ComposeOnly", "FileSink/Stdio", ""},
          {"prototype: 64 KiB coalescing file vs stdio loop", "FileSink/EndToEndCoalescing64K",
           "FileSink/Stdio", ">= 0.3"},
          {"prototype: lean composing and log, 128-byte buffer, vs stdio loop", "FileSink/PrototypeLean128",
           "FileSink/Stdio", ">= 0.3"},
          {"prototype: lean composing and log, 64 KiB buffer, vs stdio loop", "FileSink/PrototypeLean64K",
           "FileSink/Stdio", ">= 0.3"},
          {"prototype: lean, 64 KiB buffer, messages per second", "FileSink/PrototypeLean64K", "",
           ">= 100000"},
          {"scripted traffic: platform and pump alone vs stdio loop", "FileSink/Scripted/PlatformOnly",
           "FileSink/Stdio", ""},
          {"scripted traffic: file sink vs stdio loop", "FileSink/Scripted/EndToEnd", "FileSink/Stdio",
           ">= 0.3"},
          {"scripted traffic + lean composing and log, 64 KiB buffer, vs stdio loop",
           "FileSink/Scripted/PrototypeLean64K", "FileSink/Stdio", ">= 0.3"},
          {"stdio with a 128-byte buffer vs stdio", "FileSink/Stdio128ByteBuffer", "FileSink/Stdio", ""},
      });
}
