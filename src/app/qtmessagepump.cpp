#include "app/qtmessagepump.h"

#include <QTimer>

namespace ordalyn {

void QtMessagePump::Post(std::uint32_t delayMs, std::function<void()> task) {
  const int delay = delayMs > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int>(delayMs);
  QTimer::singleShot(delay, Qt::PreciseTimer, this, std::move(task));
}

}  // namespace ordalyn
