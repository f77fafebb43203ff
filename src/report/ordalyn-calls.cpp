// ordalyn-calls [options] FILE...: the calls of Ordalyn traces at a glance.
#include <iostream>
#include <string>
#include <vector>

#include "report/binarymode.h"
#include "report/callsmain.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  ordalyn::report::SetBinaryMode(stdout);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ordalyn::report::CallsMain(args, std::cout, std::cerr);
}
