#include <windows.h>

#include <stdexcept>

#include "util/cpuspeed.h"
#include "util/utools.h"

#if defined(_M_X64) || defined(_M_IX86) || defined(__x86_64__) || defined(__i386__)
#ifdef _MSC_VER
#include <intrin.h>
#else
#include <x86intrin.h>
#endif
#define ORDALYN_HAS_TSC 1
#endif

namespace ordalyn {

namespace {

class WindowsMeasurementSteps : public CpuMeasurementSteps {
 public:
  void SavePriority() override {
    const DWORD priorityClass = GetPriorityClass(GetCurrentProcess());
    savedClass_ = priorityClass != 0 ? priorityClass : NORMAL_PRIORITY_CLASS;
    const int threadPriority = GetThreadPriority(GetCurrentThread());
    savedThread_ = threadPriority != THREAD_PRIORITY_ERROR_RETURN ? threadPriority : THREAD_PRIORITY_NORMAL;
  }

  void RaisePriority() override {
    // Without the right to run in real time the system grants high priority.
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
  }

  void Sleep(int milliseconds) override { ::Sleep(static_cast<DWORD>(milliseconds)); }

  std::uint64_t ReadCycleCounter() override {
#ifdef ORDALYN_HAS_TSC
    return __rdtsc();
#else
    throw std::runtime_error("This processor has no readable cycle counter");
#endif
  }

  void RestorePriority() override {
    SetPriorityClass(GetCurrentProcess(), savedClass_);
    SetThreadPriority(GetCurrentThread(), savedThread_);
  }

  void SetNormalPriority() noexcept override {
    SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_NORMAL);
  }

 private:
  DWORD savedClass_ = NORMAL_PRIORITY_CLASS;
  int savedThread_ = THREAD_PRIORITY_NORMAL;
};

}  // namespace

double MeasureCpuSpeed() {
  WindowsMeasurementSteps steps;
  return MeasureCpuSpeed(steps);
}

}  // namespace ordalyn
