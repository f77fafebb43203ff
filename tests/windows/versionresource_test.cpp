// This test executable carries the product's VERSIONINFO resource, compiled
// by windres from the build's version values. Read back through the version
// API and the label's text rules, it must say exactly what the portable
// version block built from the same values says.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "widgets/versionblock.h"
#include "widgets/versioninfo_values.h"
#include "widgets/versioninfostore.h"
#include "widgets/versionlabeltext.h"
#include "widgets/versionproduct.h"

namespace ordalyn {
namespace {

namespace v = version_values;

std::string OwnPath() {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return std::string(path, length);
}

TEST(VersionResource, FixedFileInformationHoldsTheBuildsNumbers) {
  const std::string path = OwnPath();
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u) << "the test executable has no version resource";
  std::vector<unsigned char> block(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, block.data()));
  void* value = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(block.data(), "\\", &value, &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(value);
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, static_cast<DWORD>(v::kVersionMajor) << 16 | v::kVersionMinor);
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(v::kVersionPatch) << 16 | v::kVersionBuild);
  EXPECT_EQ(fixed->dwProductVersionMS, static_cast<DWORD>(v::kVersionMajor) << 16 | v::kVersionMinor);
  EXPECT_EQ(fixed->dwProductVersionLS, static_cast<DWORD>(v::kVersionPatch) << 16);
  EXPECT_EQ(fixed->dwFileFlags, v::kFileFlags);
  EXPECT_EQ(fixed->dwFileType, static_cast<DWORD>(VFT_APP));
}

TEST(VersionResource, LabelsReadTheFieldsTheProgramShows) {
  // The main window's footer: the build label and the copyright label.
  VersionLabelText build(ProgramVersionStore());
  build.SetVersionResource(vrFileVersion);
  build.SetInfoPrefix("Build:");
  EXPECT_EQ(build.Caption(), std::string("Build: ") + v::kFileVersion);
  EXPECT_EQ(build.LangCharset(), "040904E4") << "the first translation: US English, code page 1252";

  VersionLabelText copyright(ProgramVersionStore());
  copyright.SetVersionResource(vrLegalCopyright);
  copyright.SetInfoPrefix("Legal Copyright:");
  copyright.SetShowInfoPrefix(false);
  EXPECT_EQ(copyright.Caption(), v::kLegalCopyright);

  VersionLabelText flags(ProgramVersionStore());
  flags.SetVersionResource(vrFlags);
  EXPECT_EQ(flags.Caption(), (v::kFileFlags & 1) != 0 ? "Flags: Debug Build" : "Flags: ");

  VersionLabelText fileVersion(ProgramVersionStore());
  fileVersion.SetShowInfoPrefix(false);
  fileVersion.SetFileVersionPart(fvBuild);
  fileVersion.SetLangCharset("040904e4");  // block names match without regard to case
  EXPECT_EQ(fileVersion.Caption(), std::to_string(v::kVersionBuild));
  fileVersion.SetLangCharset("04070000");  // no such block
  EXPECT_EQ(fileVersion.Caption(), "< Fehler >");
}

// Every caption the label can compose, from the resource and from the
// portable block of the same values.
TEST(VersionResource, SaysWhatThePortableBlockSays) {
  const VersionBlockStore portable(BuildVersionBlock(ProductVersionData()));
  const TVersionResources resources[] = {
      vrCompanyName,      vrFileDescription, vrFileVersion,    vrInternalName, vrLegalCopyright,
      vrOriginalFilename, vrProductName,     vrProductVersion, vrComments,     vrFlags};
  const TFileVersionPart parts[] = {fvAll, fvAllNoBuild, fvMajor, fvMinor, fvRelease, fvBuild};
  const char* blocks[] = {"-1", "040904E4", "040904e4", "04090000", ""};
  int compared = 0;
  for (const char* blockName : blocks) {
    for (const TFileVersionPart part : parts) {
      for (const TVersionResources resource : resources) {
        VersionLabelText fromResource(ProgramVersionStore());
        VersionLabelText fromBlock(portable);
        for (VersionLabelText* label : {&fromResource, &fromBlock}) {
          label->SetFileVersionPart(part);
          label->SetVersionResource(resource);
          label->SetLangCharset(blockName);
          label->SetInfoPrefix("p:");
        }
        EXPECT_EQ(fromResource.Caption(), fromBlock.Caption())
            << VersionResourceInfo[resource].Key << " part " << static_cast<int>(part) << " block \""
            << blockName << '"';
        EXPECT_EQ(fromResource.LangCharset(), fromBlock.LangCharset());
        ++compared;
      }
    }
  }
  EXPECT_EQ(compared, 5 * 6 * 10);
}

}  // namespace
}  // namespace ordalyn
