#include <fcntl.h>
#include <io.h>

#include "report/binarymode.h"

namespace ordalyn::report {

void SetBinaryMode(std::FILE* stream) { _setmode(_fileno(stream), _O_BINARY); }

}  // namespace ordalyn::report
