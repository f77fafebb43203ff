#include "dialogtesting.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEvent>
#include <QTest>
#include <QTimer>
#include <chrono>

#include "support/polling.h"

namespace ordalyn::testing {

bool ProcessUntil(const std::function<bool()>& condition) {
  return test::PollUntil(condition, std::chrono::milliseconds(5000),
                         [] { QCoreApplication::processEvents(QEventLoop::AllEvents, 10); });
}

bool OpenAndActivate(QDialog& dialog) {
  dialog.open();
  return ProcessUntil([&] { return QApplication::activeWindow() == &dialog; });
}

int ExecWith(QDialog& dialog, const std::function<void()>& action) {
  QTimer::singleShot(0, &dialog, [&dialog, action] {
    ProcessUntil([&] { return QApplication::activeWindow() == &dialog; });
    action();
  });
  // Safety net for a failing test: a dialog that the action did not close
  // ends with a result no button gives.
  QTimer::singleShot(5000, &dialog, [&dialog] {
    if (dialog.isVisible()) dialog.done(kExecTimedOut);
  });
  return dialog.exec();
}

QWidgetList TabOrder(QWidget& window) {
  QWidgetList order;
  for (QWidget* w = window.nextInFocusChain(); w != &window; w = w->nextInFocusChain()) {
    if ((w->focusPolicy() & Qt::TabFocus) == Qt::TabFocus && w->isEnabled() && !w->isHidden() &&
        w->window() == &window && !order.contains(w))
      order << w;
  }
  return order;
}

void FlushDeferredDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace ordalyn::testing
