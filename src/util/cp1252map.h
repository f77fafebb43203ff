// Code page 1252 to Unicode and back, one character at a time. Plain C++ so
// that the version block parser and the Qt text helpers share one table.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ordalyn {

// The Unicode character of a code page 1252 byte. The five bytes that the code
// page leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the control
// characters of the same number, as Windows maps them.
char16_t Cp1252ToUnicode(unsigned char byte);

// The code page 1252 byte of a Unicode character; no value when the code page
// has none.
std::optional<unsigned char> UnicodeToCp1252(char32_t character);

// Code page 1252 text as UTF-8, for terminals, JSON and web pages.
std::string Cp1252ToUtf8(std::string_view text);

}  // namespace ordalyn
