#include "report/callstream.h"

namespace ordalyn::report {

void RecentHandles::Add(DWORD handle) {
  if (capacity_ == 0) {
    return;
  }
  latest_[handle] = ++serial_;
  order_.emplace_back(handle, serial_);
  if (order_.size() > capacity_) {
    const auto [oldest, serial] = order_.front();
    order_.pop_front();
    if (const auto found = latest_.find(oldest); found != latest_.end() && found->second == serial) {
      latest_.erase(found);
    }
  }
}

void RecentHandles::Clear() {
  latest_.clear();
  order_.clear();
}

}  // namespace ordalyn::report
