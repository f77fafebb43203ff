// The web page's data: the calls of a selection as compact columns, for the
// page's script to draw from. Plain C++: no Qt.
#pragma once

#include <iosfwd>

#include "report/callmodel.h"
#include "report/reportwriters.h"

namespace ordalyn::report {

// One JSON object, safe inside a script element (no "<" in it):
//   t0, t1       the first call's start and the last line of any call (ms)
//   outcomes     the outcome names, in the order of the summaries
//   states       the short names of the states that occur; modes the mode texts
//   text         the string table: identifiers, origins, reasons; text[0] is ""
//   per call     handle, session (from 1), start (ms after the call before;
//                the first after t0), len (to its last line), ended (0/1),
//                outcome, caller, called, connected, origin, reason, earlier
//                (indices into text), final (into states, -1 for none),
//                ns (its number of states)
//   per state    st (ms after its call's start), ss (into states), sm (into
//                modes), sl (its line number, after the state before's)
//   lines        the trace line of each state, only when the report kept them
void WritePageData(std::ostream& out, const Report& report, const Selection& selection);

}  // namespace ordalyn::report
