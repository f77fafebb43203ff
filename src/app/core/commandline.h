// The command line of background mode: "-<line> <file name>", where the file
// name may hold the macros #date#, #time# and #computer#. Plain C++, so it
// can be tested and fuzzed without windows.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/clock.h"

namespace ordalyn {

// What the command line asks for: a background trace when it has at least
// two arguments (arguments after the second are ignored).
struct BackgroundRequest {
  std::string lineArgument;
  std::string fileName;  // before macro expansion
};
std::optional<BackgroundRequest> ReadCommandLine(const std::vector<std::string>& arguments);

// The line number of the first argument: the argument without its first
// character (the switch, whatever it is) if that reads as an integer of 0 or
// more, else the whole argument if that does, else -1.
std::int32_t ReadSelectedDevice(std::string_view argument);

// Replaces every occurrence of pattern in text, case-sensitive; the text
// after an occurrence is kept up to 65000 characters. Searching goes on after
// each inserted replacement, so a replacement that contains the pattern
// itself cannot make it loop.
void ReplaceAll(std::string& text, std::string_view pattern, std::string_view replacement);

// "#date#" becomes yyyy-mm-dd, "#time#" hh-nn (each read from the clock when
// its macro is handled, and only when it occurs), "#computer#" the computer's
// name. Macros are case-sensitive.
std::string ExpandMacros(std::string fileName, const Clock& clock,
                         const std::function<std::string()>& computerName);

}  // namespace ordalyn
