// The message pump of the running program: Qt's event loop. Posted tasks run
// from whatever loop is running, modal dialogs' loops included.
#pragma once

#include <QObject>

#include "tapi/messagepump.h"

namespace ordalyn {

class QtMessagePump : public QObject, public MessagePump {
 public:
  explicit QtMessagePump(QObject* parent = nullptr) : QObject(parent) {}
  void Post(std::uint32_t delayMs, std::function<void()> task) override;
};

}  // namespace ordalyn
