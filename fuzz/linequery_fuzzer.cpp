// The line query, the line inventory built on it and the logon over whatever
// a provider may answer: any LINEDEVCAPS bytes, offsets, sizes and
// dwNeededSize, failing negotiations and capabilities, any device count, and
// any message-table texts for the error lines.
//
// Input (see fuzzplatform.h for the answers the platform reads):
//   u32 application handle, u32 device, u8 (bit 0: suited-for-voice before
//   the query), then the answers of one direct LineQuery;
//   u8 (bit 0: long form), then the answers of one EnumerateLines;
//   u32 selected device, then the answers of one logon and logoff;
//   u32 result for one more result line, then its message-table answer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzzinput.h"
#include "fuzzplatform.h"
#include "tapi/lineinventory.h"
#include "tapi/tapiblock.h"
#include "tapi/tapisession.h"
#include "tapi/tapiutil.h"

namespace ordalyn::fuzz {
namespace {

void CheckLineQuery(FuzzTapiPlatform& platform, InputReader& input) {
  const HLINEAPP app = input.U32();
  const DWORD device = input.U32();
  const bool suitedBefore = (input.U8() & 1) != 0;
  const std::string nameBefore = "(name before the query)";
  const DWORD mediaBefore = 0xA5A5A5A5;
  std::string name = nameBefore;
  DWORD apiVersion = 0x0BAD0BAD;
  DWORD media = mediaBefore;
  bool suited = suitedBefore;

  const LONG result = LineQuery(platform, app, device, name, apiVersion, media, suited);

  FUZZ_CHECK(platform.negotiateResults.size() == 1, "not one negotiation");
  FUZZ_CHECK(apiVersion == platform.negotiatedVersions[0], "the negotiated version was not kept");
  const auto unchanged = [&] { return name == nameBefore && media == mediaBefore && suited == suitedBefore; };
  const std::vector<BlockCall>& calls = platform.devCapsCalls;
  if (platform.negotiateResults[0] != 0) {
    FUZZ_CHECK(result == platform.negotiateResults[0], "the negotiation's failure was not returned");
    FUZZ_CHECK(calls.empty(), "capabilities read after a failed negotiation");
    FUZZ_CHECK(unchanged(), "outputs changed after a failed negotiation");
    return;
  }
  FUZZ_CHECK(!calls.empty() && calls.size() <= 2, std::to_string(calls.size()) + " lineGetDevCapsA calls");
  for (const BlockCall& call : calls) {
    FUZZ_CHECK(call.handle == device && call.version == apiVersion,
               "capabilities of the wrong line or version");
  }
  FUZZ_CHECK(calls[0].callerTotal == sizeof(LINEDEVCAPS),
             "first block of " + std::to_string(calls[0].callerTotal) + " bytes");
  // The block's real size decides, whatever the provider wrote over dwTotalSize.
  const DWORD needed = FieldAt(calls[0].after, offsetof(LINEDEVCAPS, dwNeededSize));
  const BlockCall* final = &calls[0];
  if (needed > calls[0].callerTotal) {
    if (needed > kMaxTapiBlockSize) {
      FUZZ_CHECK(calls.size() == 1, "an implausible dwNeededSize was allocated");
      FUZZ_CHECK(result == LINEERR_NOMEM, "an implausible dwNeededSize is not LINEERR_NOMEM");
      FUZZ_CHECK(unchanged(), "outputs changed after an implausible dwNeededSize");
      return;
    }
    FUZZ_CHECK(calls.size() == 2, "no second query after dwNeededSize " + std::to_string(needed));
    FUZZ_CHECK(calls[1].callerTotal == needed, "second block of " + std::to_string(calls[1].callerTotal) +
                                                   " bytes, needed " + std::to_string(needed));
    final = &calls[1];
  } else {
    FUZZ_CHECK(calls.size() == 1, "a second query without need");
  }
  FUZZ_CHECK(result == final->result, "the last capabilities result was not returned");
  if (result != 0) {
    FUZZ_CHECK(unchanged(), "outputs changed after failed capabilities");
    return;
  }
  const std::vector<std::uint8_t>& block = final->after;
  const DWORD expectedMedia = FieldAt(block, offsetof(LINEDEVCAPS, dwMediaModes));
  const DWORD bearer = FieldAt(block, offsetof(LINEDEVCAPS, dwBearerModes));
  const std::string expectedName =
      FieldAt(block, offsetof(LINEDEVCAPS, dwLineNameSize)) != 0
          ? TextAt(block, FieldAt(block, offsetof(LINEDEVCAPS, dwLineNameOffset)))
          : std::string();
  const bool expectedSuited = (expectedMedia & LINEMEDIAMODE_INTERACTIVEVOICE) != 0 &&
                              (expectedMedia & LINEMEDIAMODE_UNKNOWN) == 0 &&
                              (bearer & LINEBEARERMODE_VOICE) != 0 && apiVersion > kTapiLowVersion;
  FUZZ_CHECK(media == expectedMedia, "media modes");
  FUZZ_CHECK(name == expectedName, "line name \"" + name + "\" instead of \"" + expectedName + "\"");
  FUZZ_CHECK(suited == expectedSuited, "suited for voice");
}

void CheckInventory(FuzzTapiPlatform& platform, InputReader& input) {
  const bool longForm = (input.U8() & 1) != 0;
  const std::size_t initsBefore = platform.initResults.size();
  const std::size_t shutdownsBefore = platform.shutdownResults.size();
  TapiState state;
  std::vector<std::string> list = {"left over"};
  const DWORD count = EnumerateLines(platform, state, list, longForm);

  if (Verbose()) {
    for (const std::string& entry : list) std::fprintf(stderr, "%s\n", entry.c_str());
  }
  FUZZ_CHECK(platform.initResults.size() == initsBefore + 1, "not one initialisation");
  FUZZ_CHECK(platform.shutdownResults.size() == shutdownsBefore + 1, "not one shutdown");
  if (platform.initResults.back() != 0 || count == 0) {
    FUZZ_CHECK(list.empty(), "lines listed without an initialisation");
    return;
  }
  const std::size_t listed = count < kMaxListedLines ? count : kMaxListedLines;
  const bool legend = !list.empty() && list.back() == kSuggestedLineLegend;
  FUZZ_CHECK(list.size() == listed + (legend ? 1 : 0),
             "list of " + std::to_string(list.size()) + " entries for " + std::to_string(count) + " lines");
  FUZZ_CHECK(!legend || longForm, "a legend in the short list");
  int suggestions = 0;
  for (std::size_t i = 0; i < listed; ++i) {
    const std::string& entry = list[i];
    const std::string number = std::to_string(i);
    if (longForm) {
      FUZZ_CHECK(entry.rfind("Line: " + number + " - ", 0) == 0, "long entry " + number + ": " + entry);
      // A listed line ends with its version's last digit, and a suggested one with " *".
      if (entry.size() >= 2 && entry.compare(entry.size() - 2, 2, " *") == 0) {
        ++suggestions;
      }
    } else {
      FUZZ_CHECK(entry.rfind(number + " - ", 0) == 0, "short entry " + number + ": " + entry);
      FUZZ_CHECK(LineNumberOfEntry(entry) == static_cast<std::int32_t>(i),
                 "entry " + number + " reads as line " + std::to_string(LineNumberOfEntry(entry)));
    }
  }
  FUZZ_CHECK(suggestions == (legend ? 1 : 0), std::to_string(suggestions) + " suggested lines");
}

void CheckSession(FuzzTapiPlatform& platform, InputReader& input) {
  TapiState state;
  state.selectedDevice = static_cast<std::int32_t>(input.U32());
  RecordingSink sink;
  TapiSession session(platform, state, sink);
  session.Logon();
  session.Logoff();
  const std::vector<std::string>& e = sink.entries;
  if (Verbose()) {
    for (const std::string& entry : e) std::fprintf(stderr, "%s\n", entry.c_str());
  }
  FUZZ_CHECK(e.size() == 8, std::to_string(e.size()) + " entries for logon and logoff");
  FUZZ_CHECK(e[0] == "H" && e[1].rfind("LInitialise: ", 0) == 0 && e[2].rfind("LLineOpen: ", 0) == 0 &&
                 e[3].rfind("LTAPI - Logon (Version: ", 0) == 0 && e[4] == "|" && e[5] == "|" &&
                 e[6].rfind("LLineShutDown: ", 0) == 0 && e[7] == "LTAPI - Logoff",
             "logon and logoff lines out of order");
  FUZZ_CHECK(e[3].find(" (TAPI-Line: " + std::to_string(state.selectedDevice) + ")") != std::string::npos,
             "logon line without the line number: " + e[3]);
  FUZZ_CHECK(!state.loggedOn, "still logged on");

  const auto result = static_cast<LONG>(input.U32());
  const std::string text = session.ResultText("Step", result);
  if (IsTapiError(result)) {
    FUZZ_CHECK(
        text.rfind("Step: Error: " + std::to_string(static_cast<std::uint32_t>(result)) + "(", 0) == 0 &&
            text.back() == ')',
        "error line: " + text);
  } else {
    FUZZ_CHECK(text == "Step: OK", "result line: " + text);
  }
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ordalyn::fuzz;
  InputReader input(data, size);
  FuzzTapiPlatform platform(input);
  CheckLineQuery(platform, input);
  CheckInventory(platform, input);
  CheckSession(platform, input);
  return 0;
}
