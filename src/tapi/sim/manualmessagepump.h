// A message pump that runs on virtual time, for tests and tools: posted tasks
// run only when the owner drives the pump, in the order of their due time
// (tasks with the same due time in the order they were posted), and no wall
// clock is ever read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "tapi/messagepump.h"

namespace ordalyn {

class ManualMessagePump final : public MessagePump {
 public:
  // Queues the task to run delayMs milliseconds after Now().
  void Post(std::uint32_t delayMs, std::function<void()> task) override;

  // Virtual milliseconds since the pump was made. Starts at 0.
  std::uint64_t Now() const { return now_; }

  // Runs every task that falls due within the next ms milliseconds, tasks
  // posted meanwhile included, advancing Now() to each task's due time, and
  // leaves Now() at the end of the span. Returns the number of tasks run.
  std::size_t RunFor(std::uint64_t ms);

  // Runs the tasks that are due now without advancing the time.
  std::size_t RunDue() { return RunFor(0); }

  // Runs tasks in due order, advancing Now() to each one's due time, until none
  // is left or maxTasks tasks ran (an endless stream never becomes idle).
  // Returns the number of tasks run.
  std::size_t RunUntilIdle(std::size_t maxTasks = 100000);

  // Number of queued tasks.
  std::size_t Pending() const { return tasks_.size(); }

  // Due time of the earliest queued task; Now() when none is queued.
  std::uint64_t NextDue() const;

  // Drops every queued task without running it.
  void Clear() { tasks_.clear(); }

 private:
  bool RunNext(std::uint64_t until);

  std::uint64_t now_ = 0;
  std::uint64_t sequence_ = 0;
  std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> tasks_;
};

}  // namespace ordalyn
