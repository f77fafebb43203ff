// ordalyn-calls --follow: a trace that a background Ordalyn is still
// writing, read as it grows, each call written as it ends, until a request
// to stop. Plain C++: no Qt.
#pragma once

#include <iosfwd>
#include <string>

#include "report/reportwriters.h"
#include "report/tracereader.h"

namespace ordalyn::report {

enum class CallForm { kTable, kCsv, kJsonLines };

struct FollowSettings {
  std::string file;
  CallForm form = CallForm::kTable;
  Filter filter;
  InputEncoding encoding = InputEncoding::kAuto;
  int pollMilliseconds = 200;  // how often a file that has not grown is looked at again
};

// Follows the file until util/endrequest.h's request to stop; the calls
// still open then are written as still open. A file that is replaced (a new
// file by its name, a file that shrank, or a new log header in it) is said so
// on err in one line and followed from its start; a file whose name is gone
// is read to its end and let go of, and the next file by the name followed.
// The exit status: 0, or 2 when the file cannot be read or the calls cannot
// be written.
int FollowCalls(const FollowSettings& settings, std::ostream& out, std::ostream& err);

}  // namespace ordalyn::report
