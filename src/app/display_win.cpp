// A Windows session always has a desktop to show windows on.
#include "app/program.h"

namespace ordalyn {

int PrepareDisplay(bool /*background*/, const std::vector<std::string>& /*arguments*/) { return 0; }

}  // namespace ordalyn
