#include "tapi/sim/manualmessagepump.h"

namespace ordalyn {

void ManualMessagePump::Post(std::uint32_t delayMs, std::function<void()> task) {
  if (!task) return;
  tasks_.emplace(std::make_pair(now_ + delayMs, sequence_++), std::move(task));
}

std::uint64_t ManualMessagePump::NextDue() const {
  return tasks_.empty() ? now_ : tasks_.begin()->first.first;
}

bool ManualMessagePump::RunNext(std::uint64_t until) {
  if (tasks_.empty()) return false;
  auto first = tasks_.begin();
  if (first->first.first > until) return false;
  if (first->first.first > now_) now_ = first->first.first;
  // The task leaves the queue before it runs, so it may post, clear or drive
  // the pump itself.
  std::function<void()> task = std::move(first->second);
  tasks_.erase(first);
  task();
  return true;
}

std::size_t ManualMessagePump::RunFor(std::uint64_t ms) {
  const std::uint64_t end = now_ + ms;
  std::size_t count = 0;
  while (RunNext(end)) ++count;
  if (now_ < end) now_ = end;
  return count;
}

std::size_t ManualMessagePump::RunUntilIdle(std::size_t maxTasks) {
  std::size_t count = 0;
  while (count < maxTasks && RunNext(UINT64_MAX)) ++count;
  return count;
}

}  // namespace ordalyn
