// The process-wide request to end: set by the system's end signals (from a
// signal handler, so it is a plain lock-free flag), read by whatever might
// otherwise wait for ever, such as a write into a pipe nobody reads.
#pragma once

namespace ordalyn {

// Async-signal-safe.
void RequestEnd() noexcept;
bool EndRequested() noexcept;
// For tests: forgets an earlier request.
void ClearEndRequest() noexcept;

}  // namespace ordalyn
