// ordalyn-calls [options] FILE...: the calls of Ordalyn traces at a glance.
#include <iostream>
#include <string>
#include <vector>

#include "report/binarymode.h"
#include "report/callsmain.h"
#include "report/outputbuffer.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  ordalyn::report::SetBinaryMode(stdout);
  // The report in writes of a megabyte, not of stdio's few kilobytes.
  ordalyn::report::FileOutputBuffer buffer(stdout);
  std::ostream out(&buffer);
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  return ordalyn::report::CallsMain(args, out, std::cerr, true);
}
