// The list of the machine's line devices: long entries for the TAPI lines
// dialog, short ones for the main window's drop-down list.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tapi/tapiplatform.h"
#include "tapi/tapistate.h"

namespace ordalyn {

// A provider reporting more devices than this is not believed beyond it: the
// list stops there instead of querying billions of lines.
constexpr DWORD kMaxListedLines = 4096;

constexpr const char* kSuggestedLineLegend = "* Suggested TAPI Voice Line";

// Clears the list, runs a short TAPI initialisation, appends one entry per
// line device (and in long form the suggested line's marker and the legend),
// shuts TAPI down again on every way out and returns the device count.
DWORD EnumerateLines(TapiPlatform& platform, TapiState& state, std::vector<std::string>& list, bool longForm);

// The line number at the head of a list entry: the text before the first "-",
// trimmed and read as an integer; 0 when that is not a number.
std::int32_t LineNumberOfEntry(std::string_view entry);

}  // namespace ordalyn
