// ordalyn-calls: reads traces into calls and writes the call report. The
// whole tool as a function, so that the tests run it in the process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ordalyn::report {

// args without the program name. Returns the exit code: 0 on success, 2 for
// bad options and for files that cannot be read (or, with --html, written),
// each with one line on err. With processEnds (the program's own main), the
// calls read are left to the end of the process instead of being freed one by
// one, which costs more than writing them.
int CallsMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              bool processEnds = false);

}  // namespace ordalyn::report
