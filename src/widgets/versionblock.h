// A version block in the layout of a Windows VERSIONINFO resource
// (VS_VERSIONINFO with UTF-16 keys and texts), built from plain values and read
// back by a portable equivalent of VerQueryValueA. The portable version store
// answers from such a block, so its answers match what Windows reads from the
// executable's resource; tests and fuzzers can feed it any bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "widgets/versioninfostore.h"

namespace ordalyn {

// VS_FIXEDFILEINFO without its signature and structure version, which the
// builder fills in.
struct FixedFileInfo {
  std::uint32_t fileVersionMS = 0;
  std::uint32_t fileVersionLS = 0;
  std::uint32_t productVersionMS = 0;
  std::uint32_t productVersionLS = 0;
  std::uint32_t fileFlagsMask = 0x3F;
  std::uint32_t fileFlags = 0;
  std::uint32_t fileOS = 0x00040004;  // VOS_NT_WINDOWS32
  std::uint32_t fileType = 1;         // VFT_APP
  std::uint32_t fileSubtype = 0;
  std::uint32_t fileDateMS = 0;
  std::uint32_t fileDateLS = 0;
};

struct VersionTranslation {
  std::uint16_t language = 0;
  std::uint16_t codePage = 0;
};

// One StringFileInfo block: its name (language and code page as eight
// hexadecimal digits) and its key/value texts in code page 1252.
struct VersionStringTable {
  std::string name;
  std::vector<std::pair<std::string, std::string>> strings;
};

struct VersionBlockData {
  std::optional<FixedFileInfo> fixedInfo;                       // none: the root has no value
  std::vector<VersionStringTable> stringTables;                 // empty: no StringFileInfo
  std::optional<std::vector<VersionTranslation>> translations;  // none: no VarFileInfo
};

// Lays the data out as a VS_VERSIONINFO block. Texts are stored in UTF-16 with
// a terminating NUL that their length counts. Throws std::length_error when the
// block would not fit the format's 16-bit lengths.
std::vector<std::uint8_t> BuildVersionBlock(const VersionBlockData& data);

// VerQueryValueA on a VS_VERSIONINFO block: the path's components are
// separated by backslashes (empty ones are skipped) and matched against the
// node keys without regard to ASCII case; the result is the value of the node
// reached ("\\" is the root's fixed file information). Texts come back in code
// page 1252 (a character the code page lacks becomes '?') with their length in
// characters; binary values with their length in bytes. A damaged block never
// leads to reading outside it: the path is then simply not found, or the value
// is cut at the block's end.
std::optional<VersionValue> QueryVersionBlock(std::span<const std::uint8_t> block, std::string_view subBlock);

// A store whose executable's version block is the given bytes.
class VersionBlockStore : public VersionInfoStore {
 public:
  explicit VersionBlockStore(std::vector<std::uint8_t> block);

  std::uint32_t FileVersionInfoSize() const override;
  bool FileVersionInfo(std::span<std::uint8_t> block) const override;
  std::optional<VersionValue> QueryValue(std::span<std::uint8_t> block,
                                         std::string_view subBlock) const override;

 private:
  std::vector<std::uint8_t> block_;
};

}  // namespace ordalyn
