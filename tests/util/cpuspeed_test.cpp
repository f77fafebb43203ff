#include "util/cpuspeed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

#include "util/utools.h"

#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace ordalyn {
namespace {

TEST(CyclesToMegahertz, DividesTheLow32BitsOfTheDifferenceBy500000) {
  struct Case {
    std::uint64_t first;
    std::uint64_t second;
    double expected;
  };
  const Case cases[] = {
      {0, 1'500'000'000, 3000.0},
      {123, 123, 0.0},
      {1'000'000, 1'249'500'000, 2497.0},
      // The low 32 bits wrap between the readings.
      {0xFFFFFFFFull - 99, 0x100000000ull + 499'999'900, 1000.0},
      // More than 2^32 cycles: only the low 32 bits count.
      {0, 0x100000000ull + 1'000'000'000, 2000.0},
      // A counter that went backwards.
      {1'000'000'000, 500'000'000, 7589.934592},
      {0, 0xFFFFFFFFull, 8589.934590},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(CyclesToMegahertz(c.first, c.second), c.expected) << c.first << " " << c.second;
  }
}

// Records every step and throws at the one named in failAt.
class ScriptedSteps : public CpuMeasurementSteps {
 public:
  std::vector<std::string> calls;
  std::deque<std::uint64_t> counter;
  std::string failAt;

  void SavePriority() override { Step("save"); }
  void RaisePriority() override { Step("raise"); }
  void Sleep(int milliseconds) override { Step("sleep " + std::to_string(milliseconds)); }
  std::uint64_t ReadCycleCounter() override {
    Step("read");
    const std::uint64_t value = counter.front();
    counter.pop_front();
    return value;
  }
  void RestorePriority() override { Step("restore"); }
  void SetNormalPriority() noexcept override { calls.push_back("normal"); }

 private:
  void Step(const std::string& name) {
    calls.push_back(name);
    if (name == failAt || (failAt == "second read" && name == "read" && counter.size() == 1)) {
      throw std::runtime_error("step failed: " + name);
    }
  }
};

TEST(MeasureCpuSpeed, MeasuresHalfASecondAtRaisedPriority) {
  ScriptedSteps steps;
  steps.counter = {7'000'000'000ull, 7'000'000'000ull + 1'200'000'000ull};
  EXPECT_DOUBLE_EQ(MeasureCpuSpeed(steps), 2400.0);
  EXPECT_EQ(steps.calls,
            (std::vector<std::string>{"save", "raise", "sleep 10", "read", "sleep 500", "read", "restore"}));
}

TEST(MeasureCpuSpeed, AnyFailingStepGives500AtNormalPriority) {
  struct Case {
    const char* failAt;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"save", {"save", "normal"}},
      {"raise", {"save", "raise", "normal"}},
      {"sleep 10", {"save", "raise", "sleep 10", "normal"}},
      {"read", {"save", "raise", "sleep 10", "read", "normal"}},
      {"sleep 500", {"save", "raise", "sleep 10", "read", "sleep 500", "normal"}},
      {"second read", {"save", "raise", "sleep 10", "read", "sleep 500", "read", "normal"}},
      {"restore", {"save", "raise", "sleep 10", "read", "sleep 500", "read", "restore", "normal"}},
  };
  for (const auto& c : cases) {
    ScriptedSteps steps;
    steps.counter = {0, 1'500'000'000};
    steps.failAt = c.failAt;
    EXPECT_EQ(MeasureCpuSpeed(steps), kFallbackCpuSpeed) << c.failAt;
    EXPECT_EQ(steps.calls, c.calls) << c.failAt;
  }
}

#ifndef _WIN32
// The real measurement (it takes half a second) leaves the thread's priority
// as it found it and gives a usable number.
TEST(MeasureCpuSpeed, RealMeasurementRestoresThePriority) {
  errno = 0;
  const int before = getpriority(PRIO_PROCESS, 0);
  ASSERT_EQ(errno, 0);
  const double megahertz = MeasureCpuSpeed();
  EXPECT_EQ(getpriority(PRIO_PROCESS, 0), before);
  EXPECT_TRUE(std::isfinite(megahertz));
  EXPECT_GE(megahertz, 0.0);
#if !defined(__x86_64__) && !defined(__i386__)
  EXPECT_EQ(megahertz, kFallbackCpuSpeed);
#endif
}
#endif

}  // namespace
}  // namespace ordalyn
