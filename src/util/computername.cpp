#include "util/utools.h"

namespace ordalyn {

std::string HostNameBeforeFirstDot(std::string_view hostName) {
  return std::string(hostName.substr(0, hostName.find('.')));
}

}  // namespace ordalyn
