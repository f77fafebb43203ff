// Platforms whose windows know their frame from their creation (Windows,
// offscreen), and builds without X11: nothing to ask.
#include "app/windowframe.h"

namespace ordalyn {

std::optional<QMargins> AskFrameMargins(QWidget* /*window*/) { return std::nullopt; }

}  // namespace ordalyn
