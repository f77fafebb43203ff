// The version store: queries on any bytes as a version block, the version
// label's texts over such a block, and blocks built from any values read back.
//
// Input: u8 mode.
//   Bit 0 clear, raw block: text8 path, then the block's bytes (the rest).
//   Bit 0 set, round trip: bit 1 fixed file information follows (eleven
//   u32), bit 2 a translation list follows (u8 count, then u16 language and
//   u16 code page each); then u8 table count (at most 4), each table text8
//   name, u8 string count (at most 8), each string text8 key and text8 value.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzzinput.h"
#include "widgets/versionblock.h"
#include "widgets/versionlabeltext.h"

namespace ordalyn::fuzz {
namespace {

constexpr std::string_view kPaths[] = {
    "\\",
    "\\VarFileInfo\\Translation",
    "\\StringFileInfo\\040904E4\\FileVersion",
    "\\StringFileInfo\\040904E4\\CompanyName",
    "\\StringFileInfo",
    "StringFileInfo\\\\040904e4\\\\",
    "",
};

void CheckValue(const std::optional<VersionValue>& value, std::size_t blockSize) {
  if (!value) return;
  FUZZ_CHECK(value->data.size() <= blockSize, "a value larger than its block");
  FUZZ_CHECK(value->data.size() <= value->length, "a value longer than its length");
}

void CheckCaption(const VersionLabelText& label) {
  const std::string& caption = label.Caption();
  FUZZ_CHECK(caption.find('\0') == std::string::npos, "a NUL inside the caption");
  if (label.ShowInfoPrefix()) {
    FUZZ_CHECK(caption.rfind(label.InfoPrefix() + " ", 0) == 0, "the caption lacks its prefix: " + caption);
  }
}

void CheckLabel(const std::vector<std::uint8_t>& block, const std::string& langCharset) {
  const VersionBlockStore store(block);
  VersionLabelText label(store);
  CheckCaption(label);
  for (int round = 0; round < 2; ++round) {
    for (int resource = vrCompanyName; resource <= vrFlags; ++resource) {
      label.SetVersionResource(static_cast<TVersionResources>(resource));
      CheckCaption(label);
    }
    label.SetVersionResource(vrFileVersion);
    for (int part = fvAll; part <= fvBuild; ++part) {
      label.SetFileVersionPart(static_cast<TFileVersionPart>(part));
      label.RefreshText();
      CheckCaption(label);
    }
    label.SetShowInfoPrefix(false);
    label.SetLangCharset(langCharset);
    CheckCaption(label);
  }
}

void RawBlock(InputReader& input) {
  const std::string path = input.Text8();
  const std::string rest = input.Rest();
  // A heap block of exactly the input's size, so reading past it is caught.
  const std::vector<std::uint8_t> block(rest.begin(), rest.end());
  CheckValue(QueryVersionBlock(block, path), block.size());
  for (std::string_view known : kPaths) CheckValue(QueryVersionBlock(block, known), block.size());
  CheckLabel(block, path);
}

// Keys match without regard to ASCII case.
bool SameKey(std::string_view key, std::string_view wanted) {
  if (key.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < key.size(); ++i) {
    const auto a = static_cast<unsigned char>(key[i]);
    const auto b = static_cast<unsigned char>(wanted[i]);
    const auto fold = [](unsigned char c) { return c < 0x80 ? std::toupper(c) : c; };
    if (fold(a) != fold(b)) return false;
  }
  return true;
}

bool Queryable(std::string_view component) {
  return !component.empty() && component.find('\\') == std::string_view::npos &&
         component.find('\0') == std::string_view::npos;
}

// The value a query should find: the first table with a matching name, and in
// it the first string with a matching key.
const std::string* Lookup(const VersionBlockData& data, std::string_view table, std::string_view key) {
  for (const VersionStringTable& t : data.stringTables) {
    if (!SameKey(t.name, table)) continue;
    for (const auto& [k, v] : t.strings) {
      if (SameKey(k, key)) return &v;
    }
    return nullptr;
  }
  return nullptr;
}

// A key or table name: NUL-terminated in the block, so it holds no NUL (the
// values may).
std::string KeyText(InputReader& input) {
  std::string key = input.Text8();
  std::replace(key.begin(), key.end(), '\0', '0');
  return key;
}

void RoundTrip(InputReader& input, std::uint8_t mode) {
  VersionBlockData data;
  if ((mode & 2) != 0) {
    FixedFileInfo info;
    for (std::uint32_t* field : {&info.fileVersionMS, &info.fileVersionLS, &info.productVersionMS,
                                 &info.productVersionLS, &info.fileFlagsMask, &info.fileFlags, &info.fileOS,
                                 &info.fileType, &info.fileSubtype, &info.fileDateMS, &info.fileDateLS}) {
      *field = input.U32();
    }
    data.fixedInfo = info;
  }
  if ((mode & 4) != 0) {
    std::vector<VersionTranslation> translations(input.U8());
    for (VersionTranslation& t : translations) {
      t.language = input.U16();
      t.codePage = input.U16();
    }
    data.translations = std::move(translations);
  }
  const int tables = input.U8() % 5;
  for (int i = 0; i < tables; ++i) {
    VersionStringTable table;
    table.name = KeyText(input);
    const int strings = input.U8() % 9;
    for (int k = 0; k < strings; ++k) {
      std::string key = KeyText(input);
      table.strings.emplace_back(std::move(key), input.Text8());
    }
    data.stringTables.push_back(std::move(table));
  }

  std::vector<std::uint8_t> block;
  try {
    block = BuildVersionBlock(data);
  } catch (const std::length_error&) {
    return;  // beyond the format's 16-bit lengths
  }

  const std::optional<VersionValue> fixed = QueryVersionBlock(block, "\\");
  FUZZ_CHECK(fixed.has_value(), "no root");
  if (data.fixedInfo) {
    FUZZ_CHECK(fixed->length == kFixedFileInfoSize && fixed->data.size() == kFixedFileInfoSize,
               "fixed file information of " + std::to_string(fixed->data.size()) + " bytes");
    std::uint32_t flags = 0;
    for (int i = 3; i >= 0; --i) {
      flags = (flags << 8) | static_cast<unsigned char>(fixed->data[kFixedFileInfoFlagsOffset + i]);
    }
    FUZZ_CHECK(flags == data.fixedInfo->fileFlags, "the file flags did not come back");
  } else {
    FUZZ_CHECK(fixed->length == 0 && fixed->data.empty(), "fixed file information from nowhere");
  }

  const std::optional<VersionValue> translation = QueryVersionBlock(block, "\\VarFileInfo\\Translation");
  FUZZ_CHECK(translation.has_value() == data.translations.has_value(), "translation list found wrongly");
  if (translation) {
    FUZZ_CHECK(translation->length == data.translations->size() * 4 &&
                   translation->data.size() == data.translations->size() * 4,
               "translation list of the wrong size");
  }

  for (const VersionStringTable& table : data.stringTables) {
    for (const auto& entry : table.strings) {
      if (!Queryable(table.name) || !Queryable(entry.first)) continue;
      const std::string path = "\\StringFileInfo\\" + table.name + "\\" + entry.first;
      const std::optional<VersionValue> found = QueryVersionBlock(block, path);
      const std::string* expected = Lookup(data, table.name, entry.first);
      if (expected == nullptr) {
        // An earlier table of the same name hides this one.
        FUZZ_CHECK(!found.has_value(), "found in a hidden table: " + path);
        continue;
      }
      FUZZ_CHECK(found.has_value(), "not found: " + path);
      FUZZ_CHECK(found->length == expected->size() + 1 && found->data == *expected + std::string(1, '\0'),
                 "the text of " + path + " did not come back");
    }
  }

  // The company name label reads through the first translation.
  const VersionBlockStore store(block);
  VersionLabelText label(store);
  label.SetVersionResource(vrCompanyName);
  std::string value;
  if (!data.translations || data.translations->empty()) {
    value = kVersionTextTranslationError;
  } else {
    char name[16];
    std::snprintf(name, sizeof name, "%.4X%.4X", static_cast<unsigned>(data.translations->front().language),
                  static_cast<unsigned>(data.translations->front().codePage));
    const std::string* text = Lookup(data, name, "CompanyName");
    value = text == nullptr ? std::string(kVersionTextError) : text->substr(0, text->find('\0'));
  }
  const std::string expectedCaption = "Firmenname: " + value;
  FUZZ_CHECK(label.Caption() == expectedCaption.substr(0, expectedCaption.find('\0')),
             "caption \"" + label.Caption() + "\" instead of \"" + expectedCaption + "\"");
  CheckLabel(block, "-1");
}

}  // namespace
}  // namespace ordalyn::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace ordalyn::fuzz;
  InputReader input(data, size);
  const std::uint8_t mode = input.U8();
  if ((mode & 1) == 0) {
    RawBlock(input);
  } else {
    RoundTrip(input, mode);
  }
  return 0;
}
