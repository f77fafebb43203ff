// The program's own store (the compiled-in block off Windows, the executable's
// VERSIONINFO resource on Windows) against the values the build generated.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "widgets/versioninfo_values.h"
#include "widgets/versioninfostore.h"
#include "widgets/versionlabeltext.h"
#include "widgets/versionproduct.h"

namespace ordalyn {
namespace {

namespace v = version_values;

std::string Number(unsigned value) { return std::to_string(value); }

TEST(GeneratedValues, FileVersionTextMatchesItsNumbers) {
  EXPECT_EQ(std::string(v::kFileVersion), Number(v::kVersionMajor) + "." + Number(v::kVersionMinor) + "." +
                                              Number(v::kVersionPatch) + "." + Number(v::kVersionBuild));
  EXPECT_EQ(std::string(v::kProductVersion),
            Number(v::kVersionMajor) + "." + Number(v::kVersionMinor) + "." + Number(v::kVersionPatch));
}

TEST(ProgramStore, BuildLabelShowsTheFileVersion) {
  VersionLabelText label(ProgramVersionStore());
  label.SetInfoPrefix("Build:");
  EXPECT_EQ(label.Caption(), std::string("Build: ") + v::kFileVersion);
  EXPECT_EQ(label.RefreshCount(), 5);
}

TEST(ProgramStore, CopyrightLabelWithoutPrefix) {
  VersionLabelText label(ProgramVersionStore());
  label.SetVersionResource(vrLegalCopyright);
  label.SetInfoPrefix("Legal Copyright:");
  label.SetShowInfoPrefix(false);
  EXPECT_EQ(label.Caption(), v::kLegalCopyright);
}

TEST(ProgramStore, TranslationIsTheGeneratedOne) {
  VersionLabelText label(ProgramVersionStore());
  char expected[16];
  std::snprintf(expected, sizeof expected, "%.4X%.4X", static_cast<unsigned>(v::kLanguage),
                static_cast<unsigned>(v::kCodePage));
  EXPECT_EQ(label.LangCharset(), expected);
}

struct ResourceValue {
  TVersionResources resource;
  std::string expected;  // without prefix
};

TEST(ProgramStore, EveryFieldComesThrough) {
  const std::string flags = (v::kFileFlags & 1) != 0 ? "Debug Build" : "";
  const ResourceValue rows[] = {
      {vrCompanyName, v::kCompanyName},
      {vrFileDescription, v::kFileDescription},
      {vrFileVersion, v::kFileVersion},
      {vrInternalName, v::kInternalName},
      {vrLegalCopyright, v::kLegalCopyright},
      {vrOriginalFilename, v::kOriginalFilename},
      {vrProductName, v::kProductName},
      {vrProductVersion, v::kProductVersion},
      {vrComments, "< Fehler >"},  // the product carries no comments
      {vrFlags, flags},
  };
  VersionLabelText label(ProgramVersionStore());
  for (const ResourceValue& row : rows) {
    label.SetVersionResource(row.resource);
    EXPECT_EQ(label.Caption(), std::string(VersionResourceInfo[row.resource].Prefix) + " " + row.expected)
        << VersionResourceInfo[row.resource].Key;
  }
}

TEST(ProgramStore, FileVersionParts) {
  VersionLabelText label(ProgramVersionStore());
  label.SetShowInfoPrefix(false);
  const std::pair<TFileVersionPart, std::string> rows[] = {
      {fvAllNoBuild, v::kProductVersion},  {fvMajor, Number(v::kVersionMajor)},
      {fvMinor, Number(v::kVersionMinor)}, {fvRelease, Number(v::kVersionPatch)},
      {fvBuild, Number(v::kVersionBuild)}, {fvAll, v::kFileVersion},
  };
  int row = 0;
  for (const auto& [part, expected] : rows) {
    label.SetFileVersionPart(part);
    std::string prefix = "p";
    prefix += std::to_string(++row);
    label.SetInfoPrefix(prefix);  // a new prefix refreshes
    EXPECT_EQ(label.Caption(), expected) << static_cast<int>(part);
  }
}

TEST(ProductData, MatchesTheGeneratedValues) {
  const VersionBlockData& data = ProductVersionData();
  ASSERT_TRUE(data.fixedInfo.has_value());
  EXPECT_EQ(data.fixedInfo->fileVersionMS >> 16, v::kVersionMajor);
  EXPECT_EQ(data.fixedInfo->fileVersionMS & 0xFFFF, v::kVersionMinor);
  EXPECT_EQ(data.fixedInfo->fileVersionLS >> 16, v::kVersionPatch);
  EXPECT_EQ(data.fixedInfo->fileVersionLS & 0xFFFF, v::kVersionBuild);
  EXPECT_EQ(data.fixedInfo->fileFlags, v::kFileFlags);
  ASSERT_TRUE(data.translations.has_value());
  ASSERT_EQ(data.translations->size(), 1u);
  EXPECT_EQ((*data.translations)[0].language, v::kLanguage);
  EXPECT_EQ((*data.translations)[0].codePage, v::kCodePage);
}

}  // namespace
}  // namespace ordalyn
