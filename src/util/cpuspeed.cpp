#include "util/cpuspeed.h"

#include <exception>
#include <memory>
#include <mutex>
#include <system_error>

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

namespace {

double MeasureAlone(const std::function<double()>& measure) {
  static std::mutex oneAtATime;
  const std::lock_guard<std::mutex> lock(oneAtATime);
  try {
    return measure();
  } catch (...) {
    return kFallbackCpuSpeed;
  }
}

}  // namespace

BackgroundCpuMeasurement::BackgroundCpuMeasurement(std::function<double()> measure,
                                                   std::function<void()> done) {
  auto promise = std::make_shared<std::promise<double>>();
  result_ = promise->get_future().share();
  try {
    worker_ = std::thread([promise, measure, done] {
      promise->set_value(MeasureAlone(measure));
      if (done) done();
    });
  } catch (const std::system_error&) {
    // No thread to be had: measure here and now.
    promise->set_value(MeasureAlone(measure));
    if (done) done();
  }
}

BackgroundCpuMeasurement::~BackgroundCpuMeasurement() {
  if (worker_.joinable()) worker_.join();
}

double BackgroundCpuMeasurement::Result() { return result_.get(); }

}  // namespace ordalyn
