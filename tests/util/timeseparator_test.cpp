#include "util/timeseparator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace ordalyn {
namespace {

TEST(TimeSeparatorFromFormat, TakesTheCharacterBetweenHourAndMinutes) {
  struct Case {
    const char* format;
    const char* expected;
  };
  const Case cases[] = {
      {"%H:%M:%S", ":"},
      {"%H.%M.%S", "."},
      {"%I:%M:%S %p", ":"},
      {"%p %I.%M.%S", "."},
      {"%l-%M", "-"},
      {"%k.%M", "."},
      {"%-H.%M", "."},
      {"%_2H/%M", "/"},
      {"%OH.%OM.%OS", "."},
      {"%H.:%M", "."},
      {"%T", ":"},
      {"%R", ":"},
      {"%r", ":"},
      {"%H%M%S", ":"},
      {"%Hh%M", ":"},
      {"%H h %M", ":"},
      {"%H\xE6\x99\x82%M\xE5\x88\x86", ":"},
      {"%H.%S", ":"},
      {"%%H.%M", ":"},
      {"%M.%S", ":"},
      {"%H.%", ":"},
      {"%H.", ":"},
      {"%", ":"},
      {"", ":"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimeSeparatorFromFormat(c.format), c.expected) << '"' << c.format << '"';
  }
}

#ifndef _WIN32
// Sets an environment variable for one test and puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) {
      old_ = old;
    }
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(TimeSeparator, IsAColonInTheCLocale) {
  ScopedEnv env("LC_ALL", "C");
  EXPECT_EQ(TimeSeparator(), ":");
}

TEST(TimeSeparator, FallsBackToAColonForAnUnknownLocale) {
  ScopedEnv env("LC_ALL", "xx_NOWHERE.bogus");
  EXPECT_EQ(TimeSeparator(), ":");
}
#endif

}  // namespace
}  // namespace ordalyn
