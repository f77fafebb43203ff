#include "widgets/versionproduct.h"

#include <cstdio>

#include "widgets/versioninfo_values.h"

namespace ordalyn {

namespace {

VersionBlockData MakeProductVersionData() {
  namespace v = version_values;
  VersionBlockData data;

  FixedFileInfo fixed;
  fixed.fileVersionMS = (std::uint32_t{v::kVersionMajor} << 16) | v::kVersionMinor;
  fixed.fileVersionLS = (std::uint32_t{v::kVersionPatch} << 16) | v::kVersionBuild;
  fixed.productVersionMS = fixed.fileVersionMS;
  fixed.productVersionLS = std::uint32_t{v::kVersionPatch} << 16;
  fixed.fileFlags = v::kFileFlags;
  data.fixedInfo = fixed;

  char name[16];
  std::snprintf(name, sizeof name, "%.4X%.4X", static_cast<unsigned>(v::kLanguage),
                static_cast<unsigned>(v::kCodePage));
  data.stringTables.push_back({name,
                               {
                                   {"CompanyName", v::kCompanyName},
                                   {"FileDescription", v::kFileDescription},
                                   {"FileVersion", v::kFileVersion},
                                   {"InternalName", v::kInternalName},
                                   {"LegalCopyright", v::kLegalCopyright},
                                   {"OriginalFilename", v::kOriginalFilename},
                                   {"ProductName", v::kProductName},
                                   {"ProductVersion", v::kProductVersion},
                               }});
  data.translations = std::vector<VersionTranslation>{{v::kLanguage, v::kCodePage}};
  return data;
}

}  // namespace

const VersionBlockData& ProductVersionData() {
  static const VersionBlockData data = MakeProductVersionData();
  return data;
}

std::string ToolVersionText(std::string_view program) {
  namespace v = version_values;
  return std::string(program) + " " + v::kProductVersion + " (build " + v::kFileVersion + ")\n" +
         v::kLegalCopyright + "\n" +
         "License GPL-3.0-or-later: GNU General Public License, version 3 or later.\n";
}

}  // namespace ordalyn
