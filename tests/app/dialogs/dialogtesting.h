// Helpers for driving the dialogs on the offscreen platform.
#pragma once

#include <QDialog>
#include <QWidget>

#include <functional>

namespace ordalyn::testing {

// Processes events until the condition holds; false if it does not within
// about five seconds (only a safety net: the conditions here turn true at once
// or after a few milliseconds).
bool ProcessUntil(const std::function<bool()>& condition);

// Shows the dialog window-modally and waits for it to become the active window.
bool OpenAndActivate(QDialog& dialog);

// The result of ExecWith when the dialog was still open after five seconds.
inline constexpr int kExecTimedOut = -99;

// Runs exec() on the dialog while `action` runs from the event loop once the
// dialog is active; returns exec()'s result.
int ExecWith(QDialog& dialog, const std::function<void()>& action);

// The widgets that Tab visits, in order, starting after the window itself.
QWidgetList TabOrder(QWidget& window);

// Deletes the objects whose deletion was deferred (closed About boxes).
void FlushDeferredDeletes();

}  // namespace ordalyn::testing
