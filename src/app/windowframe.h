// The frame a window manager will put around a window, asked before the
// window is mapped, so that the window gets its final size before anybody
// sees it.
#pragma once

#include <QMargins>
#include <optional>

class QWidget;

namespace ordalyn {

// The frame's width on each side for this top-level window (created, not yet
// shown), where the platform can tell it before mapping; no value where it
// cannot (then the frame is known once the window is shown). On Windows and
// offscreen the window itself knows its frame from its creation.
std::optional<QMargins> AskFrameMargins(QWidget* window);

}  // namespace ordalyn
