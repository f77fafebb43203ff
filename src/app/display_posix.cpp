// Qt on X11 or Wayland ends the process when it finds no display, or cannot
// reach the one named: decide before the application object exists, and let
// Qt fall back to the offscreen platform rather than give up.
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/program.h"

namespace ordalyn {

namespace {

// The display Qt was asked to try before the offscreen platform, when the
// program added that fallback itself; empty otherwise.
std::string g_triedDisplay;

std::string Value(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

bool ListsPlatform(const std::string& platforms, const std::string& name) {
  return (";" + platforms + ";").find(";" + name) != std::string::npos;
}

}  // namespace

int PrepareDisplay(bool background, const std::vector<std::string>& arguments) {
  for (const auto& argument : arguments) {
    if (argument == "-platform" || argument == "--platform") {
      return 0;  // the user chose a platform: Qt takes it as given
    }
  }
  const std::string x11 = Value("DISPLAY");
  const std::string wayland = Value("WAYLAND_DISPLAY");
  std::string platforms = Value("QT_QPA_PLATFORM");
  if (platforms.empty()) {
    if (x11.empty() && wayland.empty()) {
      if (!background) {
        std::fprintf(stderr, "ordalyn: %s\n", NoScreenText().c_str());
        return kNoDisplayStatus;
      }
      // A background trace needs no screen.
      ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
      return 0;
    }
    // The platforms Qt itself would try, in its order.
    if (!wayland.empty() || Value("XDG_SESSION_TYPE") == "wayland") {
      platforms = "wayland";
    }
    if (!x11.empty()) {
      platforms += platforms.empty() ? "xcb" : ";xcb";
    }
  }
  if (ListsPlatform(platforms, "offscreen") || ListsPlatform(platforms, "minimal")) {
    return 0;
  }
  // A display that cannot be reached (a stale DISPLAY in a service, say)
  // makes Qt try the next platform instead of ending the process.
  g_triedDisplay = !x11.empty() ? x11 : wayland;
  ::setenv("QT_QPA_PLATFORM", (platforms + ";offscreen").c_str(), 1);
  return 0;
}

std::string UnreachableDisplay() {
  return QGuiApplication::platformName() == QLatin1String("offscreen") ? g_triedDisplay : std::string();
}

std::string NoScreenReason() {
  if (const std::string display = UnreachableDisplay(); !display.empty()) {
    return "the display \"" + display + "\" cannot be reached";
  }
  if (QGuiApplication::instance() == nullptr) {
    return "neither DISPLAY nor WAYLAND_DISPLAY is set";
  }
  return "the platform \"" + QGuiApplication::platformName().toStdString() + "\" shows no window";
}

}  // namespace ordalyn
