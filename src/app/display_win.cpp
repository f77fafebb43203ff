// A Windows session always has a desktop to show windows on; only a platform
// the user chose (QT_QPA_PLATFORM=offscreen) shows none.
#include <QGuiApplication>

#include "app/program.h"

namespace ordalyn {

int PrepareDisplay(bool /*background*/, const std::vector<std::string>& /*arguments*/) { return 0; }

std::string UnreachableDisplay() { return {}; }

std::string NoScreenReason() {
  return "the platform \"" + QGuiApplication::platformName().toStdString() + "\" shows no window";
}

}  // namespace ordalyn
