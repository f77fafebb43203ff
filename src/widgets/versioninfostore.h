// Where the running executable's version information comes from. The three
// calls follow the Windows version API (GetFileVersionInfoSizeA,
// GetFileVersionInfoA, VerQueryValueA) so that the Windows store is a thin
// wrapper, while the portable store, test fakes and fuzzers answer the same
// questions without it.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ordalyn {

// What a query hands back: the bytes at the queried value and the length the
// version API reports for it. For a StringFileInfo text the length counts
// characters including the terminating NUL and the bytes are code page 1252;
// for binary values (the translation list, the fixed file information) it
// counts bytes. data may hold fewer bytes than length claims (a damaged
// block); readers never look beyond data.
struct VersionValue {
  std::string data;
  std::uint32_t length = 0;
};

class VersionInfoStore {
 public:
  virtual ~VersionInfoStore() = default;

  // Size in bytes of the running executable's version block; 0 when it has none.
  virtual std::uint32_t FileVersionInfoSize() const = 0;

  // Reads the version block into block (as many bytes as FileVersionInfoSize
  // announced). False when reading fails.
  virtual bool FileVersionInfo(std::span<std::uint8_t> block) const = 0;

  // Looks a value up in a block read by FileVersionInfo: "\\" (the fixed file
  // information), "\\VarFileInfo\\Translation" (pairs of 16-bit language and
  // 16-bit code page, little-endian) or "\\StringFileInfo\\<block>\\<key>".
  // No value when the path is not in the block. The block is not const because
  // the platform may use its spare room, as VerQueryValueA does.
  virtual std::optional<VersionValue> QueryValue(std::span<std::uint8_t> block,
                                                 std::string_view subBlock) const = 0;
};

// Byte offset of dwFileFlags in VS_FIXEDFILEINFO (52 bytes in all).
inline constexpr std::size_t kFixedFileInfoFlagsOffset = 28;
inline constexpr std::size_t kFixedFileInfoSize = 52;

// The store of the platform the program runs on: the executable's version
// resource on Windows, the values compiled into the program elsewhere.
const VersionInfoStore& ProgramVersionStore();

}  // namespace ordalyn
