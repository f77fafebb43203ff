// Comparing short runs of bytes without a library call. Plain C++: no Qt.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace ordalyn {

// Whether the count bytes at a and b are the same. Up to 16 bytes are
// compared as two words, the second overlapping the first: the labels, names
// and identifiers of a trace are mostly that short.
inline bool SameBytes(const char* a, const char* b, std::size_t count) {
  const auto load64 = [](const char* at) {
    std::uint64_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
  };
  const auto load32 = [](const char* at) {
    std::uint32_t word = 0;
    std::memcpy(&word, at, sizeof word);
    return word;
  };
  if (count > 16) {
    return std::memcmp(a, b, count) == 0;
  }
  if (count >= 8) {
    return ((load64(a) ^ load64(b)) | (load64(a + count - 8) ^ load64(b + count - 8))) == 0;
  }
  if (count >= 4) {
    return ((load32(a) ^ load32(b)) | (load32(a + count - 4) ^ load32(b + count - 4))) == 0;
  }
  for (std::size_t at = 0; at < count; ++at) {
    if (a[at] != b[at]) {
      return false;
    }
  }
  return true;
}

}  // namespace ordalyn
