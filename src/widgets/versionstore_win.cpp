// On Windows the program's store reads the running executable's own version
// resource through the version API.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <winver.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "widgets/versioninfostore.h"

namespace ordalyn {

namespace {

// Full path of the running executable; empty when it cannot be read.
std::string ExecutablePath() {
  std::string path(MAX_PATH, '\0');
  while (true) {
    const DWORD written = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (written == 0) {
      return {};
    }
    if (written < path.size()) {
      path.resize(written);
      return path;
    }
    if (path.size() >= 32768) {
      return {};
    }
    path.resize(path.size() * 2);
  }
}

class WindowsVersionStore : public VersionInfoStore {
 public:
  std::uint32_t FileVersionInfoSize() const override {
    const std::string path = ExecutablePath();
    if (path.empty()) {
      return 0;
    }
    DWORD handle = 0;
    return GetFileVersionInfoSizeA(path.c_str(), &handle);
  }

  bool FileVersionInfo(std::span<std::uint8_t> block) const override {
    const std::string path = ExecutablePath();
    if (path.empty() || block.empty() || block.size() > MAXDWORD) {
      return false;
    }
    return GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(block.size()), block.data()) != FALSE;
  }

  std::optional<VersionValue> QueryValue(std::span<std::uint8_t> block,
                                         std::string_view subBlock) const override {
    // A NUL inside the path would silently shorten it to another path.
    if (block.empty() || subBlock.find('\0') != std::string_view::npos) {
      return std::nullopt;
    }
    const std::string path(subBlock);
    LPVOID pointer = nullptr;
    UINT length = 0;
    if (!VerQueryValueA(block.data(), path.c_str(), &pointer, &length)) {
      return std::nullopt;
    }
    VersionValue value;
    value.length = length;
    // The value (or its code page 1252 copy) lies in the block: copy what the
    // length covers, never beyond the block's end.
    const auto begin = reinterpret_cast<std::uintptr_t>(pointer);
    const auto blockBegin = reinterpret_cast<std::uintptr_t>(block.data());
    const std::uintptr_t blockEnd = blockBegin + block.size();
    if (pointer != nullptr && begin >= blockBegin && begin < blockEnd) {
      const std::size_t count = std::min<std::size_t>(length, blockEnd - begin);
      value.data.assign(static_cast<const char*>(pointer), count);
    }
    return value;
  }
};

}  // namespace

const VersionInfoStore& ProgramVersionStore() {
  static const WindowsVersionStore store;
  return store;
}

}  // namespace ordalyn
