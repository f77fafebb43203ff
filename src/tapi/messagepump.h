// Where a telephony platform delivers its messages: the user-interface
// thread's event loop. The simulated platform posts every line message through
// it, so the line callback runs from the same loop that serves the windows,
// modal dialogs included, just as with TAPI's hidden-window mechanism.
#pragma once

#include <cstdint>
#include <functional>

namespace ordalyn {

class MessagePump {
 public:
  virtual ~MessagePump() = default;
  // Runs the task on the user-interface thread once the event loop runs again,
  // no earlier than delayMs milliseconds from now. Tasks with the same due
  // time run in the order they were posted.
  virtual void Post(std::uint32_t delayMs, std::function<void()> task) = 0;
};

}  // namespace ordalyn
