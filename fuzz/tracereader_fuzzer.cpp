// The call report's reader over any bytes: no crash, the same report however
// the input is cut into pieces, and counts that add up.
//
// Input: u8 piece length (1 + value), then the trace bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <string_view>

#include "fuzzinput.h"
#include "report/reportwriters.h"
#include "report/tracereader.h"

namespace ordalyn::fuzz {
namespace {

std::string ReportOf(std::string_view trace, std::size_t piece, bool keepLines) {
  report::TraceReader reader(keepLines);
  for (std::size_t at = 0; at < trace.size(); at += piece) {
    reader.Feed(trace.substr(at, piece));
  }
  reader.EndInput();
  const report::Report result = reader.Finish();
  const report::Selection selection = report::Select(result, report::Filter{});
  const report::Summary summary = report::Summarise(selection);

  std::size_t byOutcome = 0;
  for (const std::size_t count : summary.byOutcome) byOutcome += count;
  FUZZ_CHECK(byOutcome == result.calls.size(), "outcomes do not add up to the calls");
  FUZZ_CHECK(result.traceLines + result.skipped + result.tooLong <= result.lines,
             "more lines counted than read: " + std::to_string(result.lines));
  FUZZ_CHECK(result.ambiguous + result.linesWithoutCall <= result.traceLines,
             "call lines beyond trace lines");
  for (const report::Call& call : result.calls) {
    const auto duration = report::Duration(call);
    FUZZ_CHECK(!duration || *duration >= 0, "negative duration " + std::to_string(*duration));
    FUZZ_CHECK(report::TimeConnected(call) >= 0, "negative connected time");
    FUZZ_CHECK(call.handle != 0, "a call with handle 0");
  }
  std::ostringstream out;
  report::WriteJson(out, result, selection);
  report::WriteTable(out, result, selection);
  report::WriteCsv(out, selection);
  if (keepLines) {
    report::WriteHtml(out, result, selection);
  }
  return out.str();
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) {
    return 0;
  }
  const std::size_t piece = 1 + data[0];
  const std::string_view trace(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string whole = ordalyn::fuzz::ReportOf(trace, trace.size() + 1, false);
  const std::string cut = ordalyn::fuzz::ReportOf(trace, piece, false);
  FUZZ_CHECK(whole == cut,
             "the report depends on how the input is cut (pieces of " + std::to_string(piece) + ")");
  if (ordalyn::fuzz::Verbose()) {
    std::fwrite(whole.data(), 1, whole.size(), stderr);
  }
  ordalyn::fuzz::ReportOf(trace, piece, true);
  return 0;
}
