// Waiting in a test for what it expects (a line, a size, an exit), never for
// a fixed time: the condition is tried until it holds or the limit, which is
// only a safety net for a failing test, has passed.
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace ordalyn::test {

inline constexpr std::chrono::milliseconds kPollLimit{20000};

// A short sleep between two tries.
inline void PauseBriefly() { std::this_thread::sleep_for(std::chrono::milliseconds(10)); }

// Tries condition until it holds (true) or limit has passed (false); pause
// runs between two tries: a sleep, or for Qt tests a turn of the event loop.
inline bool PollUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kPollLimit,
                      const std::function<void()>& pause = PauseBriefly) {
  const auto end = std::chrono::steady_clock::now() + limit;
  for (;;) {
    if (condition()) {
      return true;
    }
    if (std::chrono::steady_clock::now() >= end) {
      return false;
    }
    pause();
  }
}

}  // namespace ordalyn::test
