#include "util/endrequest.h"

#include <atomic>

namespace ordalyn {

namespace {

std::atomic<bool> g_endRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

}  // namespace

void RequestEnd() noexcept { g_endRequested.store(true, std::memory_order_relaxed); }

bool EndRequested() noexcept { return g_endRequested.load(std::memory_order_relaxed); }

void ClearEndRequest() noexcept { g_endRequested.store(false, std::memory_order_relaxed); }

}  // namespace ordalyn
