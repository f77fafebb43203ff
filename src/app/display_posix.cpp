// Qt on X11 or Wayland ends the process when it finds no display: decide
// before the application object exists.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/program.h"

namespace ordalyn {

namespace {

bool IsSet(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value != '\0';
}

}  // namespace

int PrepareDisplay(bool background, const std::vector<std::string>& arguments) {
  if (IsSet("DISPLAY") || IsSet("WAYLAND_DISPLAY") || IsSet("QT_QPA_PLATFORM")) {
    return 0;
  }
  for (const auto& argument : arguments) {
    if (argument == "-platform" || argument == "--platform") {
      return 0;  // the user chose a platform
    }
  }
  if (background) {
    // A background trace needs no screen.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return 0;
  }
  std::fputs(
      "ordalyn: No display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
      "a background trace runs without one: ordalyn -# filename\n",
      stderr);
  return kNoDisplayStatus;
}

}  // namespace ordalyn
