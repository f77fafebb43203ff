// Helpers of the Windows tests: where they run, and reading a file another
// program writes. (Scratch folders: ordalyn::test::ScratchDir.)
#pragma once

#include <string>

namespace ordalyn::wintest {

// True when the process runs under wine (its ntdll exports wine_get_version).
// Tests that pin the behaviour of wine's own stubs, or that change settings of
// the user, run only there.
bool UnderWine();

// True when the test run says it runs under wine (scripts/wine-run, the cross
// build's emulator, sets ORDALYN_EXPECT_WINE=1), so that a failing detection
// cannot quietly skip the wine tests.
bool WineExpected();

// Reads the whole file through a handle that lets others read and write on;
// false when it cannot be opened or read.
bool ReadWholeFile(const std::string& path, std::string& contents);

}  // namespace ordalyn::wintest
