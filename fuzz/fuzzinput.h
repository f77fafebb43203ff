// Reading a fuzzer's input as a plain sequence of little-endian fields, and
// writing such sequences for the seed corpora. Every field is read from the
// front, so a seed written field by field is read back in the same order; an
// input that runs out gives zeros and empty texts from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ordalyn::fuzz {

// A broken invariant: says which and stops the process, so libFuzzer keeps the
// input as a crash.
[[noreturn]] inline void Broken(const char* file, int line, const char* condition,
                                const std::string& detail) {
  std::fprintf(stderr, "\nFUZZ INVARIANT BROKEN at %s:%d: %s\n  %s\n", file, line, condition, detail.c_str());
  std::abort();
}

// True when ORDALYN_FUZZ_VERBOSE is set: the targets then print what the
// program produced for each input (for reading a crash input or a seed).
inline bool Verbose() {
  static const bool verbose = std::getenv("ORDALYN_FUZZ_VERBOSE") != nullptr;
  return verbose;
}

#define FUZZ_CHECK(condition, detail)                                                    \
  do {                                                                                   \
    if (!(condition)) ::ordalyn::fuzz::Broken(__FILE__, __LINE__, #condition, (detail)); \
  } while (false)

class InputReader {
 public:
  InputReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  bool Empty() const { return pos_ >= size_; }
  std::size_t Remaining() const { return size_ - pos_; }

  std::uint8_t U8() {
    if (pos_ >= size_) return 0;
    return data_[pos_++];
  }
  std::uint16_t U16() { return static_cast<std::uint16_t>(U8() | (U8() << 8)); }
  std::uint32_t U32() {
    const std::uint32_t low = U16();
    return low | (static_cast<std::uint32_t>(U16()) << 16);
  }
  std::uint64_t U64() {
    const std::uint64_t low = U32();
    return low | (static_cast<std::uint64_t>(U32()) << 32);
  }
  // Up to count bytes (fewer when the input runs out).
  std::span<const std::uint8_t> Bytes(std::size_t count) {
    const std::size_t take = count < Remaining() ? count : Remaining();
    const std::span<const std::uint8_t> bytes(data_ + pos_, take);
    pos_ += take;
    return bytes;
  }
  // A text of up to 255 bytes: its length byte, then its bytes.
  std::string Text8() {
    const std::span<const std::uint8_t> bytes = Bytes(U8());
    return std::string(bytes.begin(), bytes.end());
  }
  // A text of up to 65535 bytes: its 16-bit length, then its bytes.
  std::string Text16() {
    const std::span<const std::uint8_t> bytes = Bytes(U16());
    return std::string(bytes.begin(), bytes.end());
  }
  // Everything that is left.
  std::string Rest() {
    const std::span<const std::uint8_t> bytes = Bytes(Remaining());
    return std::string(bytes.begin(), bytes.end());
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

class InputWriter {
 public:
  InputWriter& U8(std::uint8_t value) {
    bytes_.push_back(value);
    return *this;
  }
  InputWriter& U16(std::uint16_t value) { return U8(static_cast<std::uint8_t>(value)).U8(value >> 8); }
  InputWriter& U32(std::uint32_t value) {
    return U16(static_cast<std::uint16_t>(value)).U16(static_cast<std::uint16_t>(value >> 16));
  }
  InputWriter& U64(std::uint64_t value) {
    return U32(static_cast<std::uint32_t>(value)).U32(static_cast<std::uint32_t>(value >> 32));
  }
  InputWriter& Bytes(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
  }
  InputWriter& Raw(std::string_view text) {
    bytes_.insert(bytes_.end(), text.begin(), text.end());
    return *this;
  }
  InputWriter& Text8(std::string_view text) { return U8(static_cast<std::uint8_t>(text.size())).Raw(text); }
  InputWriter& Text16(std::string_view text) {
    return U16(static_cast<std::uint16_t>(text.size())).Raw(text);
  }

  const std::vector<std::uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<std::uint8_t> bytes_;
};

}  // namespace ordalyn::fuzz
