// A version store for tests: answers each query path from a table, and can
// fail every step the label depends on.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "widgets/versioninfostore.h"

namespace ordalyn::testing {

class FakeVersionStore : public VersionInfoStore {
 public:
  std::uint32_t size = 64;  // 0: the executable has no version block
  bool readFails = false;
  std::map<std::string, VersionValue> values;  // by query path

  mutable std::vector<std::string> queries;
  mutable std::vector<std::size_t> readSizes;

  // A NUL-terminated text whose length counts the NUL.
  void SetText(const std::string& block, const std::string& key, const std::string& text) {
    values["\\StringFileInfo\\" + block + "\\" + key] = {text + '\0',
                                                         static_cast<std::uint32_t>(text.size() + 1)};
  }
  void SetTranslation(std::uint16_t language, std::uint16_t codePage) {
    values[kTranslation] = {Bytes16({language, codePage}), 4};
  }
  void SetFlags(std::uint32_t flags) {
    std::string fixed(kFixedFileInfoSize, '\0');
    for (int i = 0; i < 4; ++i) {
      fixed[kFixedFileInfoFlagsOffset + i] = static_cast<char>((flags >> (8 * i)) & 0xFF);
    }
    values["\\"] = {fixed, static_cast<std::uint32_t>(fixed.size())};
  }
  static std::string Bytes16(std::initializer_list<std::uint16_t> words) {
    std::string bytes;
    for (std::uint16_t w : words) {
      bytes.push_back(static_cast<char>(w & 0xFF));
      bytes.push_back(static_cast<char>(w >> 8));
    }
    return bytes;
  }
  int TranslationQueries() const {
    int count = 0;
    for (const std::string& q : queries) {
      count += q == kTranslation ? 1 : 0;
    }
    return count;
  }

  std::uint32_t FileVersionInfoSize() const override { return size; }
  bool FileVersionInfo(std::span<std::uint8_t> block) const override {
    readSizes.push_back(block.size());
    return !readFails;
  }
  std::optional<VersionValue> QueryValue(std::span<std::uint8_t> /*block*/,
                                         std::string_view subBlock) const override {
    queries.emplace_back(subBlock);
    const auto found = values.find(std::string(subBlock));
    if (found == values.end()) {
      return std::nullopt;
    }
    return found->second;
  }

  static constexpr const char* kTranslation = "\\VarFileInfo\\Translation";
};

// US English / code page 1252 with the given file version.
inline FakeVersionStore EnglishStore(const std::string& fileVersion) {
  FakeVersionStore store;
  store.SetTranslation(0x0409, 1252);
  store.SetText("040904E4", "FileVersion", fileVersion);
  store.SetText("040904E4", "ProductVersion", "1.0.0");
  store.SetText("040904E4", "LegalCopyright", "Copyright \xA9 2026 Marbleknot");
  store.SetText("040904E4", "LegalTrademarks", "Ordalyn\x99");
  store.SetText("040904E4", "CompanyName", "Marbleknot");
  store.SetFlags(0);
  return store;
}

}  // namespace ordalyn::testing
