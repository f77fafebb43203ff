// Code page 1252 texts at the border to Qt: the program's texts are single-byte
// code page 1252 strings, Qt's are Unicode.
#pragma once

#include <QString>
#include <QStringView>
#include <functional>
#include <string>
#include <string_view>

namespace ordalyn {

// Every byte becomes its code page 1252 character (the five undefined bytes
// become the control characters of the same number).
QString FromCp1252(std::string_view text);

// Every character becomes its code page 1252 byte; a character the code page
// lacks (a surrogate pair counts as one character) becomes '?'.
std::string ToCp1252(const QString& text);

// The bytes ToCp1252 gives, with every line feed widened to CR LF, converted
// and handed to write a slice of about sliceLength characters at a time (a
// surrogate pair is never split), so a large text needs no second copy in
// memory. Stops when write returns false and then gives false.
bool WriteCp1252WithCrLf(QStringView text, qsizetype sliceLength,
                         const std::function<bool(std::string_view)>& write);

}  // namespace ordalyn
