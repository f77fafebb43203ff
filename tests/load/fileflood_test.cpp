// A million messages through the simulated platform into the background file:
// every one arrives exactly once, in order, with its own stamp, and the
// process stays small.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "loadsupport.h"
#include "support/scratchdir.h"

namespace ordalyn::load {
namespace {

constexpr std::uint32_t kRuns = 1000;  // 1,000 runs of the 1,000-message script
constexpr std::uint64_t kMessages = std::uint64_t{kRuns} * kFloodScript;
// AddressSanitizer's shadow memory and quarantine come on top of the
// program's own memory (about 700 MB for this test), so its bound is wider.
#if defined(__SANITIZE_ADDRESS__)
#define ORDALYN_LOAD_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORDALYN_LOAD_ASAN 1
#endif
#endif
#ifdef ORDALYN_LOAD_ASAN
constexpr double kPeakRssBoundMiB = 1024.0;
#else
constexpr double kPeakRssBoundMiB = 300.0;
#endif

TEST(FileFloodTest, AMillionMessagesReachTheFileOnceEachAndInOrder) {
  const test::ScratchDir scratch;
  const std::string fileName = scratch.File("flood.log");
  ManualMessagePump pump;
  {
    FileTrace trace(std::make_unique<SimTapiPlatform>(pump, FloodScenario(kRuns)), pump, fileName);
    // In slices, as an event loop would run; the last message is due at kMessages ms.
    std::uint64_t delivered = 0;
    while (pump.Now() < kMessages) delivered += trace.RunFor(10000);
    EXPECT_EQ(delivered, kMessages);
    EXPECT_EQ(pump.Pending(), 0u) << "the script ran longer than its runs";
    EXPECT_EQ(trace.CallbackErrors(), 0u);
    trace.Finish();
  }

  // Read back as a stream, line by line, so the check itself stays small.
  std::ifstream in(fileName, std::ios::binary);
  ASSERT_TRUE(in.is_open());
  std::string line;
  for (const std::string& expected : LogonLines("Flood Line")) {
    ASSERT_TRUE(std::getline(in, line));
    ASSERT_EQ(line, expected + "\r");
  }
  std::uint64_t mismatches = 0;
  std::uint64_t k = 0;
  for (; k < kMessages && std::getline(in, line); ++k) {
    const std::string expected = StampAt(k + 1) + " | " + FloodLineText(k % kFloodScript) + "\r";
    if (line != expected && ++mismatches <= 5) {
      ADD_FAILURE() << "message " << k << ":\n  expected " << expected << "\n  actual   " << line;
    }
  }
  EXPECT_EQ(k, kMessages) << "the file ends early";
  EXPECT_EQ(mismatches, 0u);
  // After the flood only the logoff: separator, shutdown result, logoff line.
  const std::string end = StampAt(kMessages);
  for (const std::string& expected :
       {std::string(92, '-'), end + " | LineShutDown: OK", end + " | TAPI - Logoff"}) {
    ASSERT_TRUE(std::getline(in, line));
    EXPECT_EQ(line, expected + "\r");
  }
  EXPECT_FALSE(std::getline(in, line)) << "unexpected line after the logoff: " << line;
  in.close();

  // The platform schedules one message at a time and the log writes as it
  // goes: nothing grows with the number of messages.
  const double peak = PeakRssMiB();
  RecordProperty("peak_rss_mib", std::to_string(peak));
  std::printf("peak resident memory: %.1f MiB\n", peak);
  EXPECT_LT(peak, kPeakRssBoundMiB);
}

}  // namespace
}  // namespace ordalyn::load
