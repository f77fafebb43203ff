// The two decimal digits of 0 to 99, one pair after the other: the report's
// numbers and clock texts are written two digits at a time. Plain C++: no Qt.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>

namespace ordalyn::report {

inline constexpr auto kDigitPairs = [] {
  std::array<char, 200> pairs{};
  for (std::size_t i = 0; i < 100; ++i) {
    pairs[2 * i] = static_cast<char>('0' + i / 10);
    pairs[2 * i + 1] = static_cast<char>('0' + i % 10);
  }
  return pairs;
}();

// The two digits of value (below 100) at `at`; returns their end.
inline char* WriteDigitPair(char* at, unsigned value) {
  std::memcpy(at, &kDigitPairs[2 * value], 2);
  return at + 2;
}

}  // namespace ordalyn::report
