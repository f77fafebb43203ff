#include "widgets/versionblock.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "widgets/versionlabeltext.h"

namespace ordalyn {
namespace {

VersionBlockData SampleData() {
  VersionBlockData data;
  FixedFileInfo fixed;
  fixed.fileVersionMS = 0x00010002;
  fixed.fileVersionLS = 0x00030004;
  fixed.fileFlags = 0x05;
  data.fixedInfo = fixed;
  data.stringTables.push_back({"040904E4",
                               {{"CompanyName", "Marbleknot"},
                                {"FileVersion", "1.2.3.4"},
                                {"LegalCopyright", "Copyright \xA9 2026 \x80 Marbleknot"},
                                {"Empty", ""}}});
  data.stringTables.push_back({"0C0704E4", {{"FileVersion", "7.0"}}});
  data.translations = std::vector<VersionTranslation>{{0x0409, 1252}, {0x0C07, 1252}};
  return data;
}

std::uint32_t U32At(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i) {
    value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  }
  return value;
}

struct TextQuery {
  std::string name;
  std::string path;
  std::string text;  // without the NUL
};

void PrintTo(const TextQuery& q, std::ostream* os) { *os << q.name; }

class VersionBlockTextTest : public ::testing::TestWithParam<TextQuery> {};

TEST_P(VersionBlockTextTest, FindsTheTextWithItsLength) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  const std::optional<VersionValue> value = QueryVersionBlock(block, GetParam().path);
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->length, GetParam().text.size() + 1);
  EXPECT_EQ(value->data, GetParam().text + '\0');
}

INSTANTIATE_TEST_SUITE_P(
    Paths, VersionBlockTextTest,
    ::testing::Values(TextQuery{"CompanyName", "\\StringFileInfo\\040904E4\\CompanyName", "Marbleknot"},
                      TextQuery{"FileVersion", "\\StringFileInfo\\040904E4\\FileVersion", "1.2.3.4"},
                      TextQuery{"CodePageText", "\\StringFileInfo\\040904E4\\LegalCopyright",
                                "Copyright \xA9 2026 \x80 Marbleknot"},
                      TextQuery{"EmptyText", "\\StringFileInfo\\040904E4\\Empty", ""},
                      TextQuery{"SecondBlock", "\\StringFileInfo\\0C0704E4\\FileVersion", "7.0"},
                      TextQuery{"KeysIgnoreCase", "\\stringfileinfo\\040904e4\\fileversion", "1.2.3.4"},
                      TextQuery{"EmptyComponentsSkipped", "\\\\StringFileInfo\\\\040904E4\\FileVersion\\",
                                "1.2.3.4"},
                      TextQuery{"NoLeadingBackslash", "StringFileInfo\\040904E4\\FileVersion", "1.2.3.4"}),
    [](const ::testing::TestParamInfo<TextQuery>& row) { return row.param.name; });

TEST(VersionBlock, MissingPathsAreNotFound) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  for (const char* path :
       {"\\StringFileInfo\\040904E4\\Comments", "\\StringFileInfo\\04070000\\FileVersion",
        "\\StringFileInfo\\040904E4\\FileVersio", "\\StringFileInfo\\040904E4\\FileVersionX",
        "\\StringFileInfo\\040904E4\\FileVersion\\More", "\\VarFileInfo\\Nothing", "\\Nothing"}) {
    EXPECT_FALSE(QueryVersionBlock(block, path).has_value()) << path;
  }
}

TEST(VersionBlock, RootGivesTheFixedFileInfo) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  const std::optional<VersionValue> value = QueryVersionBlock(block, "\\");
  ASSERT_TRUE(value.has_value());
  ASSERT_EQ(value->length, kFixedFileInfoSize);
  ASSERT_EQ(value->data.size(), kFixedFileInfoSize);
  EXPECT_EQ(U32At(value->data, 0), 0xFEEF04BDu);
  EXPECT_EQ(U32At(value->data, 8), 0x00010002u);
  EXPECT_EQ(U32At(value->data, 12), 0x00030004u);
  EXPECT_EQ(U32At(value->data, kFixedFileInfoFlagsOffset), 0x05u);
}

TEST(VersionBlock, RootWithoutFixedInfoHasLengthZero) {
  VersionBlockData data = SampleData();
  data.fixedInfo.reset();
  const std::vector<std::uint8_t> block = BuildVersionBlock(data);
  const std::optional<VersionValue> value = QueryVersionBlock(block, "\\");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->length, 0u);
  // The children still follow the root's key.
  EXPECT_TRUE(QueryVersionBlock(block, "\\StringFileInfo\\040904E4\\FileVersion").has_value());
}

TEST(VersionBlock, TranslationListInOrder) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  const std::optional<VersionValue> value = QueryVersionBlock(block, "\\VarFileInfo\\Translation");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->length, 8u);
  EXPECT_EQ(value->data, std::string("\x09\x04\xE4\x04\x07\x0C\xE4\x04", 8));
}

TEST(VersionBlock, WithoutVarFileInfoTheTranslationIsMissing) {
  VersionBlockData data = SampleData();
  data.translations.reset();
  const std::vector<std::uint8_t> block = BuildVersionBlock(data);
  EXPECT_FALSE(QueryVersionBlock(block, "\\VarFileInfo\\Translation").has_value());
}

TEST(VersionBlock, NodesAreAlignedAndLengthsConsistent) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  ASSERT_GE(block.size(), 6u);
  EXPECT_EQ(block.size() % 4, 0u);
  EXPECT_EQ(static_cast<std::size_t>(block[0] | (block[1] << 8)), block.size());
  EXPECT_EQ(block[2], kFixedFileInfoSize);  // wValueLength
  // The key "VS_VERSION_INFO" in UTF-16 right after the header.
  EXPECT_EQ(block[6], 'V');
  EXPECT_EQ(block[7], 0);
}

TEST(VersionBlock, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  VersionBlockData data;
  data.stringTables.push_back({"040904E4", {{"Name", "AB"}}});
  std::vector<std::uint8_t> block = BuildVersionBlock(data);
  // Turn the UTF-16 "B" into U+0100, which code page 1252 lacks.
  bool patched = false;
  for (std::size_t i = block.size() - 6; i + 1 < block.size(); ++i) {
    if (block[i] == 'B' && block[i + 1] == 0) {
      block[i] = 0x00;
      block[i + 1] = 0x01;
      patched = true;
      break;
    }
  }
  ASSERT_TRUE(patched);
  const std::optional<VersionValue> value = QueryVersionBlock(block, "\\StringFileInfo\\040904E4\\Name");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->data, std::string("A?\0", 3));
}

TEST(VersionBlock, TooLongTextIsRefused) {
  VersionBlockData data;
  data.stringTables.push_back({"040904E4", {{"Huge", std::string(40000, 'x')}}});
  EXPECT_THROW(BuildVersionBlock(data), std::length_error);
}

// ---- damaged blocks ----

const char* const kAllPaths[] = {
    "\\", "\\VarFileInfo\\Translation", "\\StringFileInfo\\040904E4\\FileVersion",
    "\\StringFileInfo\\040904E4\\LegalCopyright", "\\StringFileInfo\\0C0704E4\\FileVersion"};

// Every answer from a damaged block stays inside it.
void ExpectBounded(std::span<const std::uint8_t> block) {
  for (const char* path : kAllPaths) {
    const std::optional<VersionValue> value = QueryVersionBlock(block, path);
    if (value) {
      EXPECT_LE(value->data.size(), block.size()) << path;
      EXPECT_LE(value->data.size(), value->length) << path;
    }
  }
}

TEST(VersionBlockDamaged, EveryTruncationIsSafe) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  for (std::size_t size = 0; size <= block.size(); ++size) {
    ExpectBounded(std::span(block.data(), size));
  }
  EXPECT_FALSE(QueryVersionBlock(std::span(block.data(), 5), "\\").has_value());
}

TEST(VersionBlockDamaged, RootLongerThanTheBlockIsRejected) {
  std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  block.resize(block.size() - 4);  // wLength now claims more than there is
  EXPECT_FALSE(QueryVersionBlock(block, "\\").has_value());
}

TEST(VersionBlockDamaged, ZeroLengthChildEndsTheSearch) {
  VersionBlockData data;
  data.stringTables.push_back({"040904E4", {{"A", "1"}}});
  std::vector<std::uint8_t> block = BuildVersionBlock(data);
  // The first child of the root (StringFileInfo) starts after "VS_VERSION_INFO".
  const std::size_t child = (6 + 16 * 2 + 3) & ~std::size_t{3};
  block[child] = 0;
  block[child + 1] = 0;
  EXPECT_FALSE(QueryVersionBlock(block, "\\StringFileInfo\\040904E4\\A").has_value());
}

TEST(VersionBlockDamaged, KeyWithoutNulIsRejected) {
  // A root of 12 bytes whose key fills it without a terminating NUL.
  const std::vector<std::uint8_t> block = {12, 0, 0, 0, 0, 0, 'V', 0, 'S', 0, '_', 0};
  EXPECT_FALSE(QueryVersionBlock(block, "\\").has_value());
}

TEST(VersionBlockDamaged, ValueLengthBeyondTheNodeIsCut) {
  VersionBlockData data;
  data.stringTables.push_back({"040904E4", {{"A", "12345"}}});
  std::vector<std::uint8_t> block = BuildVersionBlock(data);
  // The string node is the last one; raise its wValueLength far beyond its end.
  std::size_t node = 0;
  for (std::size_t i = 0; i + 8 < block.size(); i += 2) {
    if (block[i + 6] == 'A' && block[i + 7] == 0 && block[i + 8] == 0) {
      node = i;
    }
  }
  ASSERT_NE(node, 0u);
  block[node + 2] = 0xFF;
  block[node + 3] = 0x7F;
  const std::optional<VersionValue> value = QueryVersionBlock(block, "\\StringFileInfo\\040904E4\\A");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->length, 0x7FFFu);
  EXPECT_EQ(value->data, std::string("12345\0", 6));
}

TEST(VersionBlockDamaged, RandomBytesNeverReadOutside) {
  std::uint32_t seed = 12345;
  auto next = [&seed] {
    seed = seed * 1103515245u + 12345u;
    return static_cast<std::uint8_t>(seed >> 16);
  };
  const std::vector<std::uint8_t> valid = BuildVersionBlock(SampleData());
  for (int round = 0; round < 3000; ++round) {
    std::vector<std::uint8_t> block = valid;
    const int flips = 1 + round % 8;
    for (int f = 0; f < flips; ++f) {
      block[(next() << 8 | next()) % block.size()] = next();
    }
    ExpectBounded(block);
  }
}

// ---- the block store ----

TEST(VersionBlockStoreTest, EmptyBlockMeansNoVersionInformation) {
  const VersionBlockStore store({});
  EXPECT_EQ(store.FileVersionInfoSize(), 0u);
  VersionLabelText label(store);
  EXPECT_EQ(label.Caption(), "Dateiversion: < Keine Daten Verf\xFCgbar >");
}

TEST(VersionBlockStoreTest, HandsOutItsBlock) {
  const std::vector<std::uint8_t> block = BuildVersionBlock(SampleData());
  const VersionBlockStore store(block);
  ASSERT_EQ(store.FileVersionInfoSize(), block.size());
  std::vector<std::uint8_t> copy(block.size());
  ASSERT_TRUE(store.FileVersionInfo(copy));
  EXPECT_EQ(copy, block);
}

TEST(VersionBlockStoreTest, LabelReadsThroughTheParser) {
  const VersionBlockStore store(BuildVersionBlock(SampleData()));
  VersionLabelText label(store);
  EXPECT_EQ(label.Caption(), "Dateiversion: 1.2.3.4");
  EXPECT_EQ(label.LangCharset(), "040904E4");
  label.SetLangCharset("0C0704E4");
  EXPECT_EQ(label.Caption(), "Dateiversion: 7.0");
  label.SetVersionResource(vrFlags);
  EXPECT_EQ(label.Caption(), "Flags: Debug Build, Patched Build");
  label.SetVersionResource(vrLegalCopyright);
  label.SetLangCharset("040904E4");
  EXPECT_EQ(label.Caption(), "Legal Copyright: Copyright \xA9 2026 \x80 Marbleknot");
  label.SetVersionResourceKey("Empty");
  EXPECT_EQ(label.Caption(), "Empty ");
}

}  // namespace
}  // namespace ordalyn
