// Code page 1252 texts at the border to Qt: the program's texts are single-byte
// code page 1252 strings, Qt's are Unicode.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace ordalyn {

// Every byte becomes its code page 1252 character (the five undefined bytes
// become the control characters of the same number).
QString FromCp1252(std::string_view text);

// Every character becomes its code page 1252 byte; a character the code page
// lacks (a surrogate pair counts as one character) becomes '?'.
std::string ToCp1252(const QString& text);

// The same, with every line feed widened to CR LF.
std::string ToCp1252WithCrLf(const QString& text);

}  // namespace ordalyn
