#include "tapi/tapiblock.h"

#include <cstring>

namespace ordalyn {

TapiBlock::TapiBlock(std::size_t size) : size_(size), data_(new unsigned char[size]()) {}

std::string TapiBlock::TextAt(DWORD offset) const {
  if (offset >= size_) {
    return {};
  }
  const auto* begin = reinterpret_cast<const char*>(data_.get()) + offset;
  const std::size_t room = size_ - offset;
  const void* nul = std::memchr(begin, 0, room);
  const std::size_t length =
      nul != nullptr ? static_cast<std::size_t>(static_cast<const char*>(nul) - begin) : room;
  return std::string(begin, length);
}

}  // namespace ordalyn
