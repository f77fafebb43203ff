// On Windows the program talks to tapi32. A scenario named by
// ORDALYN_TAPI_SCENARIO puts the simulated platform in its place, so that the
// same scenarios and examples run on every system.
#include <cstdlib>
#include <memory>

#include "tapi/sim/simtapiplatform.h"
#include "tapi/win32/tapi32platform.h"

namespace ordalyn {

std::unique_ptr<TapiPlatform> CreateDefaultTapiPlatform(MessagePump& pump) {
  const char* scenario = std::getenv(kSimScenarioVariable);
  if (scenario != nullptr && *scenario != '\0') return CreateSimTapiPlatformFromEnvironment(pump);
  // tapi32 delivers its messages through its own hidden window; the pump is
  // not needed then.
  return std::make_unique<Tapi32Platform>();
}

}  // namespace ordalyn
