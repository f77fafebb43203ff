#include "util/cpuspeed.h"

#include <exception>

namespace ordalyn {

double CyclesToMegahertz(std::uint64_t first, std::uint64_t second) {
  const auto cycles = static_cast<std::uint32_t>(second - first);
  return static_cast<double>(cycles) / 500000.0;
}

double MeasureCpuSpeed(CpuMeasurementSteps& steps) {
  try {
    steps.SavePriority();
    steps.RaisePriority();
    steps.Sleep(10);
    const std::uint64_t first = steps.ReadCycleCounter();
    steps.Sleep(500);
    const std::uint64_t second = steps.ReadCycleCounter();
    const double megahertz = CyclesToMegahertz(first, second);
    steps.RestorePriority();
    return megahertz;
  } catch (const std::exception&) {
    steps.SetNormalPriority();
    return kFallbackCpuSpeed;
  }
}

}  // namespace ordalyn
