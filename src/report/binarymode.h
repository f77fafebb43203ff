// Standard input and output carry bytes as they are: traces are read with
// their CR LF, CSV is written with its own.
#pragma once

#include <cstdio>

namespace ordalyn::report {

void SetBinaryMode(std::FILE* stream);

}  // namespace ordalyn::report
