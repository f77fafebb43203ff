// The character the user's locale puts between hours, minutes and seconds.
#pragma once

#include <string>
#include <string_view>

namespace ordalyn {

// The system's time separator for the current user: ":" in most locales, "."
// in some; ":" whenever the system does not tell.
std::string TimeSeparator();

// Reads the separator out of a strftime-style time format (the locale's T_FMT):
// the first character after the hour conversion (%H, %I, %k, %l, flags, width
// and E/O modifiers allowed) when a minute conversion (%M) follows. %T, %R and
// %r stand for colon-separated times. Gives ":" when there is no such pair,
// nothing between them, or a first character that is a letter, a digit, a
// blank or no printable ASCII character.
std::string TimeSeparatorFromFormat(std::string_view format);

}  // namespace ordalyn
