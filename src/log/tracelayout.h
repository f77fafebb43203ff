// The layout of what the trace log sink writes around the tracer's texts: the
// stamp's end, the separator line and the log header. Part of the trace's
// grammar (tapi/traceformat.h), kept beside the sink that writes it so that
// the log needs nothing of the telephony core. Plain C++: no Qt.
#pragma once

#include <cstddef>
#include <string_view>

namespace ordalyn::traceformat {

// The stamp: "hh:nn:ss:zzz" with the system's time separator, then this.
inline constexpr std::string_view kStampEnd = " | ";
// With a one-character time separator the stamp is this wide.
inline constexpr std::size_t kStampWidth = 12;

// The separator line after the logon and before the logoff.
inline constexpr char kSeparatorChar = '-';
inline constexpr std::size_t kSeparatorWidth = 92;

// The log header: its first line, the copyright line, a rule, an empty line.
inline constexpr std::string_view kHeaderStart = "Ordalyn - ";
inline constexpr char kHeaderRuleChar = '=';
inline constexpr std::size_t kHeaderRuleWidth = 48;
inline constexpr int kHeaderLinesAfterStart = 3;

}  // namespace ordalyn::traceformat
