#include "util/clock.h"

#include <gtest/gtest.h>

#include <ctime>
#include <tuple>

namespace ordalyn {
namespace {

TEST(FakeClock, ShowsWhatItWasSetTo) {
  FakeClock clock({2011, 9, 1, 20, 10, 5, 7});
  EXPECT_EQ(clock.Now(), (LocalDateTime{2011, 9, 1, 20, 10, 5, 7}));
  clock.Set({2024, 2, 29, 0, 0, 0, 999});
  EXPECT_EQ(clock.Now(), (LocalDateTime{2024, 2, 29, 0, 0, 0, 999}));
}

#ifndef _WIN32
auto Key(const LocalDateTime& t) { return std::tie(t.year, t.month, t.day, t.hour, t.minute, t.second); }

LocalDateTime LibraryNow() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return {
      local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, 0};
}

TEST(SystemClock, GivesTheLocalCalendarTimeWithMilliseconds) {
  const LocalDateTime before = LibraryNow();
  const LocalDateTime now = SystemClock().Now();
  const LocalDateTime after = LibraryNow();
  EXPECT_LE(Key(before), Key(now));
  EXPECT_LE(Key(now), Key(after));
  EXPECT_GE(now.millisecond, 0);
  EXPECT_LE(now.millisecond, 999);
}
#endif

}  // namespace
}  // namespace ordalyn
