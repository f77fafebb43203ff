// Variable-size TAPI blocks (LINEDEVCAPS, LINECALLINFO) are data a provider
// hands us: they are allocated zero-filled, grown at most once to the size the
// provider asks for, and read without ever leaving the allocation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "tapi/tapidefs.h"

namespace ordalyn {

// Larger dwNeededSize values are implausible for a line or call structure;
// a query asking for more counts as failed instead of allocating it.
constexpr std::size_t kMaxTapiBlockSize = 1024 * 1024;

class TapiBlock {
 public:
  explicit TapiBlock(std::size_t size);
  std::size_t size() const { return size_; }
  unsigned char* data() { return data_.get(); }
  const unsigned char* data() const { return data_.get(); }
  template <typename T>
  T* as() {
    return reinterpret_cast<T*>(data_.get());
  }
  template <typename T>
  const T* as() const {
    return reinterpret_cast<const T*>(data_.get());
  }

  // The NUL-terminated text that starts offset bytes into the block. An offset
  // outside the block gives the empty text; a text without a NUL before the
  // block's end gives the part inside the block.
  std::string TextAt(DWORD offset) const;

 private:
  std::size_t size_;
  std::unique_ptr<unsigned char[]> data_;
};

}  // namespace ordalyn
