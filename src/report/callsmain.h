// ordalyn-calls: reads traces into calls and writes the call report. The
// whole tool as a function, so that the tests run it in the process.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace ordalyn::report {

// args without the program name. Returns the exit code: 0 on success, 2 for
// bad options and for files that cannot be read (or, with --html, written),
// each with one line on err.
int CallsMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace ordalyn::report
