// The steps of the processor clock measurement behind MeasureCpuSpeed, so
// that its arithmetic and its failure path can be tested without waiting.
#pragma once

#include <cstdint>
#include <functional>
#include <future>
#include <thread>

namespace ordalyn {

// What MeasureCpuSpeed gives when the measurement fails.
inline constexpr double kFallbackCpuSpeed = 500.0;

class CpuMeasurementSteps {
 public:
  virtual ~CpuMeasurementSteps() = default;
  // Remembers the current priority; throws a std::exception when it cannot.
  virtual void SavePriority() = 0;
  // Raises the priority as far as the system allows; may throw.
  virtual void RaisePriority() = 0;
  virtual void Sleep(int milliseconds) = 0;
  // The processor's cycle counter; throws when there is none to read.
  virtual std::uint64_t ReadCycleCounter() = 0;
  // Puts back what SavePriority remembered; may throw.
  virtual void RestorePriority() = 0;
  // Sets the normal priority, ignoring any failure.
  virtual void SetNormalPriority() noexcept = 0;
};

// MHz from two counter readings half a second apart: the difference taken
// modulo 2^32 (its low 32 bits, unsigned), divided by 500000.
double CyclesToMegahertz(std::uint64_t first, std::uint64_t second);

// Saves and raises the priority, sleeps 10 ms, reads the counter, sleeps
// 500 ms, reads it again and restores the priority. When any step throws, sets
// normal priority and gives kFallbackCpuSpeed.
double MeasureCpuSpeed(CpuMeasurementSteps& steps);

// A measurement that runs on a worker thread from the moment it is made, so
// that nobody waits for its half second who does not need the result. Two
// measurements never run at the same time: on Windows the priority they raise
// and restore is the whole process's. A measurement that throws gives
// kFallbackCpuSpeed.
class BackgroundCpuMeasurement {
 public:
  // done, when given, runs on the worker right after the result is ready.
  explicit BackgroundCpuMeasurement(std::function<double()> measure, std::function<void()> done = {});
  // Waits for the worker.
  ~BackgroundCpuMeasurement();
  BackgroundCpuMeasurement(const BackgroundCpuMeasurement&) = delete;
  BackgroundCpuMeasurement& operator=(const BackgroundCpuMeasurement&) = delete;

  // The result, waiting for it when the worker is not done yet.
  double Result();

 private:
  std::shared_future<double> result_;
  std::thread worker_;
};

}  // namespace ordalyn
