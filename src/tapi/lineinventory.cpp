#include "tapi/lineinventory.h"

#include "tapi/tapisession.h"
#include "tapi/tapiutil.h"
#include "util/utools.h"

namespace ordalyn {

namespace {

// A line whose query failed keeps its own number but says so instead of
// showing anything of the line before it.
std::string UnavailableName(TapiPlatform& platform, LONG result) {
  const MessageTableLookup lookup = [&platform](DWORD id) { return platform.MessageTableText(id); };
  return "(not available: " + Trim(TapiErrorText(result, lookup)) + ")";
}

}  // namespace

DWORD EnumerateLines(TapiPlatform& platform, TapiState& state, std::vector<std::string>& list,
                     bool longForm) {
  list.clear();
  bool haveSuggestion = false;
  if (InitializeTapi(platform, state) == 0 && state.deviceCount != 0) {
    const DWORD listed = state.deviceCount < kMaxListedLines ? state.deviceCount : kMaxListedLines;
    for (DWORD i = 0; i < listed; ++i) {
      LineQueryResult line;
      const LONG result = LineQuery(platform, state.appHandle, i, line.lineName, line.apiVersion,
                                    line.mediaModes, line.suitedForVoice);
      const bool suggested = result == 0 && line.suitedForVoice && !haveSuggestion;
      haveSuggestion = haveSuggestion || suggested;
      const std::string number = std::to_string(i);
      if (result != 0) {
        const std::string name = UnavailableName(platform, result);
        list.push_back(longForm ? "Line: " + number + " - " + name : number + " - " + name);
        continue;
      }
      if (longForm) {
        list.push_back("Line: " + number + " - " + line.lineName + ", Media $" + HexUpper(line.mediaModes) +
                       ", TAPI-Version " + VersionText(line.apiVersion) + (suggested ? " *" : ""));
      } else {
        list.push_back(number + " - " + line.lineName);
      }
    }
    if (longForm && haveSuggestion) {
      list.push_back(kSuggestedLineLegend);
    }
  }
  platform.lineShutdown(state.appHandle);
  return state.deviceCount;
}

std::int32_t LineNumberOfEntry(std::string_view entry) {
  const auto dash = entry.find('-');
  const std::string_view head = dash == std::string_view::npos ? std::string_view() : entry.substr(0, dash);
  return ReadInteger(Trim(head)).value_or(0);
}

}  // namespace ordalyn
