// The product's own version information, from the values the build sets.
#pragma once

#include <string>
#include <string_view>

#include "widgets/versionblock.h"

namespace ordalyn {

// Fixed file information, one US English / code page 1252 string table and
// its translation entry, exactly as the Windows VERSIONINFO resource holds them.
const VersionBlockData& ProductVersionData();

// What a command-line tool prints for --version: its name with the product
// and the file version, the copyright and the licence, one line each.
std::string ToolVersionText(std::string_view program);

}  // namespace ordalyn
