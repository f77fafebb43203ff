// The product's own version information, from the values the build sets.
#pragma once

#include "widgets/versionblock.h"

namespace ordalyn {

// Fixed file information, one US English / code page 1252 string table and
// its translation entry, exactly as the Windows VERSIONINFO resource holds them.
const VersionBlockData& ProductVersionData();

}  // namespace ordalyn
