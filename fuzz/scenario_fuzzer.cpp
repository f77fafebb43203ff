// The scenario reader over any text, and the simulated platform built from
// whatever it accepts: the line inventory, a logon of one line, a few hundred
// delivered messages through the line callback, and the logoff.
//
// Input: the scenario's JSON text. The line to open follows from a hash of the
// input (sometimes one that does not exist).
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzinput.h"
#include "log/tracesink.h"
#include "tapi/lineinventory.h"
#include "tapi/linetrace.h"
#include "tapi/sim/manualmessagepump.h"
#include "tapi/sim/simscenario.h"
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapisession.h"
#include "util/cp1252map.h"

namespace ordalyn::fuzz {
namespace {

// Messages delivered per input; an endless stream or a repeated script never
// runs dry, so the pump is stopped after this many.
constexpr std::size_t kMaxDeliveries = 400;

class CountingSink final : public TraceSink {
 public:
  void LogLine(const std::string& text) override {
    FUZZ_CHECK(text.find('\0') == std::string::npos, "a NUL inside a trace line");
    ++lines;
  }
  void LogSeparator() override {}
  void LogHeader() override {}
  std::size_t lines = 0;
};

// A text the reader converts to code page 1252 must come back unchanged when
// converted to UTF-8 again through the code page table of the version texts.
void CheckCodePage(std::string_view text) {
  const std::optional<std::string> converted = Utf8ToCp1252(text);
  if (!converted) return;
  FUZZ_CHECK(converted->size() <= text.size(), "conversion made the text longer");
  FUZZ_CHECK(Cp1252ToUtf8(*converted) == text, "UTF-8 to code page 1252 does not round-trip");
}

void CheckLimits(const SimScenario& scenario) {
  FUZZ_CHECK(scenario.lines.size() <= SimLimits::kMaxLines, "too many lines accepted");
  FUZZ_CHECK(scenario.calls.size() <= SimLimits::kMaxCalls, "too many calls accepted");
  FUZZ_CHECK(scenario.script.messages.size() <= SimLimits::kMaxScriptMessages, "too long a script accepted");
  FUZZ_CHECK(scenario.messageTable.size() <= SimLimits::kMaxMessageTableEntries, "too big a message table");
  FUZZ_CHECK(!scenario.deviceCount || *scenario.deviceCount <= SimLimits::kMaxDeviceCount, "device count");
  for (const SimLine& line : scenario.lines) {
    FUZZ_CHECK(line.name.size() <= SimLimits::kMaxTextBytes, "too long a line name accepted");
    FUZZ_CHECK(line.name.find('\0') == std::string::npos, "a NUL inside a line name");
    FUZZ_CHECK(line.minApiVersion <= line.maxApiVersion, "an empty version range accepted");
    FUZZ_CHECK(line.devSpecific.size() <= SimLimits::kMaxDataBytes, "too much device-specific data");
    if (line.script) {
      FUZZ_CHECK(line.script->messages.size() <= SimLimits::kMaxScriptMessages, "too long a line script");
    }
  }
}

void CheckRejected(const SimScenarioError& error) {
  FUZZ_CHECK(!error.reason.empty(), "an error without a reason");
  FUZZ_CHECK(error.source == "fuzz", "the error names another source: " + error.source);
  // The platform of a rejected scenario fails every initialisation and says
  // why, once.
  ManualMessagePump pump;
  std::ostringstream diagnostics;
  SimTapiPlatform platform(pump, error, &diagnostics);
  TapiState state;
  for (int i = 0; i < 2; ++i) {
    FUZZ_CHECK(InitializeTapi(platform, state) == LINEERR_INIFILECORRUPT, "a rejected scenario initialises");
  }
  FUZZ_CHECK(diagnostics.str() == "Ordalyn: TAPI scenario rejected: " + error.Text() + "\n",
             "diagnostics: " + diagnostics.str());
}

void Drive(SimScenario scenario, std::uint64_t hash) {
  const std::size_t lineCount = scenario.lines.size();
  const DWORD reported = scenario.deviceCount.value_or(static_cast<DWORD>(lineCount));
  const bool initFails = scenario.initializeResult.has_value();
  ManualMessagePump pump;
  SimTapiPlatform platform(pump, std::move(scenario));
  TapiState state;
  CountingSink sink;

  // The inventory: one entry per reported device, each initialisation shut down.
  for (bool longForm : {true, false}) {
    std::vector<std::string> list;
    EnumerateLines(platform, state, list, longForm);
    FUZZ_CHECK(platform.ApplicationCount() == 0, "the inventory left TAPI initialised");
    if (initFails || reported == 0) {
      FUZZ_CHECK(list.empty(), "lines listed without an initialisation");
      continue;
    }
    const bool legend = !list.empty() && list.back() == kSuggestedLineLegend;
    FUZZ_CHECK(list.size() == reported + (legend ? 1 : 0),
               "inventory of " + std::to_string(list.size()) + " entries for " + std::to_string(reported));
    if (!longForm) {
      for (std::size_t i = 0; i < list.size(); ++i) {
        FUZZ_CHECK(LineNumberOfEntry(list[i]) == static_cast<std::int32_t>(i), "entry reads as another line");
      }
    }
  }

  // One line traced for a while, then closed.
  LineEventTrace trace(platform, state, sink);
  SetLineCallbackTarget(&trace);
  state.selectedDevice = static_cast<std::int32_t>(hash % (lineCount + 2)) - 1;
  TapiSession session(platform, state, sink);
  session.Logon();
  pump.RunUntilIdle(kMaxDeliveries);
  session.Logoff();
  FUZZ_CHECK(platform.ApplicationCount() == 0 && platform.OpenLineCount() == 0 && platform.CallCount() == 0,
             "the logoff left something open");
  const std::size_t linesAtLogoff = sink.lines;
  pump.RunUntilIdle(kMaxDeliveries);
  FUZZ_CHECK(sink.lines == linesAtLogoff, "a message arrived after the logoff");
  SetLineCallbackTarget(nullptr);
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ordalyn;
  using namespace ordalyn::fuzz;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  CheckCodePage(text);

  SimScenarioResult result = ParseSimScenario(text, "fuzz");
  FUZZ_CHECK(result.scenario.has_value() != result.error.has_value(),
             "not exactly one of scenario and error");
  if (result.error) {
    CheckRejected(*result.error);
    return 0;
  }
  CheckLimits(*result.scenario);
  std::uint64_t hash = 14695981039346656037ull;
  for (std::size_t i = 0; i < size; ++i) hash = (hash ^ data[i]) * 1099511628211ull;
  Drive(std::move(*result.scenario), hash);
  return 0;
}
