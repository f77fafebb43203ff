// What a report needs to hand calls on as they end and forget them: the
// handles of the calls that ended last, so that the lines a provider still
// sends for a handle after its IDLE (identifiers only) make no new call.
// Plain C++: no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <unordered_map>
#include <utility>

#include "tapi/tapidefs.h"

namespace ordalyn::report {

// The last `capacity` handles whose calls ended; an older one is forgotten
// when a newer one comes, so memory stays bounded however many calls end.
class RecentHandles {
 public:
  explicit RecentHandles(std::size_t capacity) : capacity_(capacity) {}

  void Add(DWORD handle);
  bool Contains(DWORD handle) const { return latest_.count(handle) != 0; }
  void Clear();
  std::size_t Size() const { return latest_.size(); }

 private:
  std::size_t capacity_;
  std::uint64_t serial_ = 0;
  // Each handle's latest end, and the ends in the order they came: an end
  // that leaves the queue forgets its handle only when no later end of the
  // same handle came after it.
  std::unordered_map<DWORD, std::uint64_t> latest_;
  std::deque<std::pair<DWORD, std::uint64_t>> order_;
};

}  // namespace ordalyn::report
