// Where tapi32 is missing, the program runs on the simulated telephony
// platform: the scenario file named by ORDALYN_TAPI_SCENARIO, or the built-in
// default environment.
#include "tapi/sim/simtapiplatform.h"
#include "tapi/tapiplatform.h"

namespace ordalyn {

std::unique_ptr<TapiPlatform> CreateDefaultTapiPlatform(MessagePump& pump) {
  return CreateSimTapiPlatformFromEnvironment(pump);
}

}  // namespace ordalyn
