#include "report/binarymode.h"

namespace ordalyn::report {

// POSIX streams make no difference between text and bytes.
void SetBinaryMode(std::FILE*) {}

}  // namespace ordalyn::report
