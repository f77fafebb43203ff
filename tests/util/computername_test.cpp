#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "util/utools.h"

namespace ordalyn {
namespace {

TEST(HostNameBeforeFirstDot, KeepsThePartBeforeTheFirstDot) {
  struct Case {
    const char* hostName;
    const char* expected;
  };
  const Case cases[] = {
      {"pbx7.example.org", "pbx7"}, {"pbx7", "pbx7"}, {"", ""}, {".local", ""}, {"a..b", "a"},
      {"ws-12.", "ws-12"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(HostNameBeforeFirstDot(c.hostName), c.expected) << '"' << c.hostName << '"';
  }
}

#ifdef __linux__
TEST(ComputerName, IsTheKernelsHostNameUpToTheFirstDot) {
  std::ifstream in("/proc/sys/kernel/hostname");
  std::string hostName;
  if (!std::getline(in, hostName)) {
    GTEST_SKIP() << "the kernel's host name cannot be read here";
  }
  EXPECT_EQ(ComputerName(), hostName.substr(0, hostName.find('.')));
}
#endif

}  // namespace
}  // namespace ordalyn
