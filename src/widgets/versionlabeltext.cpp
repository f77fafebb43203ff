#include "widgets/versionlabeltext.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace ordalyn {

namespace {

constexpr std::string_view kFileVersionKey = "FileVersion";
constexpr std::string_view kTranslationPath = "\\VarFileInfo\\Translation";
constexpr std::string_view kFixedInfoPath = "\\";
constexpr std::size_t kMaxPartLength = 5000;

struct FlagName {
  std::uint32_t bit;
  std::string_view text;
};

constexpr std::array<FlagName, 6> kFlagNames = {{
    {0x01, ", Debug Build"},
    {0x02, ", Pre-Release Build"},
    {0x04, ", Patched Build"},
    {0x08, ", Privates Build"},
    {0x10, ", InfoInferred"},
    {0x20, ", Spezielles Built"},
}};

// The bytes of a query result that its length covers and that are really there.
std::string_view Covered(const VersionValue& value) {
  return std::string_view(value.data).substr(0, value.length);
}

std::uint32_t ReadLittleEndian(std::string_view bytes, std::size_t offset, std::size_t count) {
  std::uint32_t result = 0;
  for (std::size_t i = 0; i < count; ++i) {
    result |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return result;
}

std::string CutFileVersion(const std::string& value, TFileVersionPart part) {
  switch (part) {
    case fvAll:
      return value;
    case fvAllNoBuild:
      return ExtractPart(value, ".", 1) + "." + ExtractPart(value, ".", 2) + "." + ExtractPart(value, ".", 3);
    case fvMajor:
      return ExtractPart(value, ".", 1);
    case fvMinor:
      return ExtractPart(value, ".", 2);
    case fvRelease:
      return ExtractPart(value, ".", 3);
    case fvBuild:
      return ExtractPart(value, ".", 4);
  }
  return value;
}

}  // namespace

std::string ExtractPart(std::string_view text, std::string_view separator, int n) {
  std::string_view t = text;
  for (int i = 1; i < n; ++i) {
    const std::size_t pos = separator.empty() ? std::string_view::npos : t.find(separator);
    if (pos == std::string_view::npos) {
      t = {};
    } else {
      t = t.substr(pos + separator.size(), kMaxPartLength);
    }
  }
  if (!separator.empty()) {
    const std::size_t pos = t.find(separator);
    if (pos != std::string_view::npos) {
      t = t.substr(0, pos);
    }
  }
  return std::string(t);
}

VersionLabelText::VersionLabelText(const VersionInfoStore& store, RefreshHandler onRefresh)
    : store_(store), onRefresh_(std::move(onRefresh)) {
  SetShowInfoPrefix(true);
  SetLangCharset("-1");
  SetVersionResource(vrFileVersion);
}

void VersionLabelText::SetFileVersionPart(TFileVersionPart value) {
  if (value > fvBuild) {
    return;  // not a part: ignored
  }
  fileVersionPart_ = value;
}

void VersionLabelText::SetVersionResource(TVersionResources value) {
  if (value > vrFlags) {
    return;  // not a resource: ignored
  }
  versionResource_ = value;
  SetVersionResourceKey(std::string(VersionResourceInfo[value].Key));
  SetInfoPrefix(std::string(VersionResourceInfo[value].Prefix));
}

void VersionLabelText::SetVersionResourceKey(const std::string& value) {
  if (value == versionResourceKey_) {
    return;
  }
  versionResourceKey_ = value;
  SetInfoPrefix(value);
}

void VersionLabelText::SetInfoPrefix(const std::string& value) {
  if (value == infoPrefix_) {
    return;
  }
  infoPrefix_ = value;
  RefreshText();
}

void VersionLabelText::SetShowInfoPrefix(bool value) {
  if (value == showInfoPrefix_) {
    return;
  }
  showInfoPrefix_ = value;
  RefreshText();
}

void VersionLabelText::SetLangCharset(const std::string& value) {
  if (value == langCharset_) {
    return;
  }
  langCharset_ = value;
  RefreshText();
}

void VersionLabelText::RefreshText() {
  std::string text = BuildText();
  const std::size_t nul = text.find('\0');
  if (nul != std::string::npos) {
    text.resize(nul);
  }
  caption_ = std::move(text);
  ++refreshCount_;
  if (onRefresh_) {
    onRefresh_(caption_);
  }
}

std::string VersionLabelText::BuildText() {
  std::string value;
  const std::uint32_t size = store_.FileVersionInfoSize();
  if (size == 0) {
    value = kVersionTextNoData;
  } else if (size > kMaxVersionInfoSize) {
    value = kVersionTextError;
  } else {
    // One spare zero byte behind the block.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(size) + 1, 0);
    const std::span<std::uint8_t> block(buffer.data(), size);
    if (!store_.FileVersionInfo(block)) {
      value = kVersionTextError;
    } else if (versionResource_ == vrFlags) {
      value = GetFlagsText(block);
    } else {
      value = GetValueText(block);
    }
  }
  if (showInfoPrefix_) {
    return infoPrefix_ + " " + value;
  }
  return value;
}

std::string VersionLabelText::GetValueText(std::span<std::uint8_t> block) {
  if (langCharset_ == "-1") {
    const std::optional<VersionValue> translation = store_.QueryValue(block, kTranslationPath);
    if (!translation || Covered(*translation).size() < 4) {
      return std::string(kVersionTextTranslationError);
    }
    const std::string_view entry = Covered(*translation);
    char name[16];
    std::snprintf(name, sizeof name, "%.4X%.4X", static_cast<unsigned>(ReadLittleEndian(entry, 0, 2)),
                  static_cast<unsigned>(ReadLittleEndian(entry, 2, 2)));
    langCharset_ = name;  // resolved for good, without a refresh
  }
  const std::string path = "\\StringFileInfo\\" + langCharset_ + "\\" + versionResourceKey_;
  const std::optional<VersionValue> found = store_.QueryValue(block, path);
  if (!found) {
    return std::string(kVersionTextError);
  }
  std::string value;
  if (found->length > 1) {
    const std::string_view text = Covered(*found);
    value = std::string(text.substr(0, text.find('\0')));
  }
  if (versionResourceKey_ == kFileVersionKey) {
    value = CutFileVersion(value, fileVersionPart_);
  }
  return value;
}

std::string VersionLabelText::GetFlagsText(std::span<std::uint8_t> block) const {
  const std::optional<VersionValue> fixed = store_.QueryValue(block, kFixedInfoPath);
  if (!fixed) {
    return std::string(kVersionTextError);
  }
  if (fixed->length <= 1) {
    return {};
  }
  const std::string_view bytes = Covered(*fixed);
  if (bytes.size() < kFixedFileInfoFlagsOffset + 4) {
    return std::string(kVersionTextError);  // too short to hold the flags
  }
  const std::uint32_t flags = ReadLittleEndian(bytes, kFixedFileInfoFlagsOffset, 4);
  std::string value;
  for (const FlagName& flag : kFlagNames) {
    if ((flags & flag.bit) != 0) {
      value += flag.text;
    }
  }
  if (!value.empty() && value[0] == ',') {
    value.erase(0, 2);
  }
  return value;
}

}  // namespace ordalyn
