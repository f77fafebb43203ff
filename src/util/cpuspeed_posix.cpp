#include <sys/resource.h>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "util/cpuspeed.h"
#include "util/utools.h"

#if defined(__x86_64__) || defined(__i386__)
#include <sys/prctl.h>
#include <x86intrin.h>
#define ORDALYN_HAS_TSC 1
#endif

namespace ordalyn {

namespace {

// On Linux the process priority of "who = 0" is that of the calling thread.
class PosixMeasurementSteps : public CpuMeasurementSteps {
 public:
  void SavePriority() override {
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    if (nice == -1 && errno != 0) {
      throw std::system_error(errno, std::generic_category(), "getpriority");
    }
    savedNice_ = nice;
  }

  void RaisePriority() override {
    // Only privileged processes may raise their priority; elsewhere the
    // measurement runs at the priority it has.
    setpriority(PRIO_PROCESS, 0, -20);
  }

  void Sleep(int milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }

  std::uint64_t ReadCycleCounter() override {
#ifdef ORDALYN_HAS_TSC
    int mode = 0;
    if (prctl(PR_GET_TSC, reinterpret_cast<unsigned long>(&mode), 0UL, 0UL, 0UL) == 0 &&
        mode == PR_TSC_SIGSEGV) {
      throw std::runtime_error("The processor's cycle counter is not readable by this process");
    }
    return __rdtsc();
#else
    throw std::runtime_error("This processor has no readable cycle counter");
#endif
  }

  void RestorePriority() override {
    if (setpriority(PRIO_PROCESS, 0, savedNice_) != 0) {
      throw std::system_error(errno, std::generic_category(), "setpriority");
    }
  }

  void SetNormalPriority() noexcept override { setpriority(PRIO_PROCESS, 0, 0); }

 private:
  int savedNice_ = 0;
};

}  // namespace

double MeasureCpuSpeed() {
  PosixMeasurementSteps steps;
  return MeasureCpuSpeed(steps);
}

}  // namespace ordalyn
