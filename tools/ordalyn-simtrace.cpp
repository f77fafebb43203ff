// ordalyn-simtrace [--line N] [--seconds S] [--scenario FILE]: prints one
// trace of the simulated telephony platform, run on virtual time.
#include <iostream>
#include <string>
#include <vector>

#include "simtrace.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ordalyn::SimTraceMain(args, std::cout, std::cerr);
}
