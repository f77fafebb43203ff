// The endless call traffic of the simulated platform: incoming calls one after
// another on an opened line, each with its whole life (new call, offering,
// caller ID, ringing, accepted, connected or not, disconnected, idle), drawn
// from a seeded generator. No wall clock is read: the same seed and device
// give the same messages.
#pragma once

#include <cstdint>
#include <deque>

#include "tapi/sim/simscenario.h"

namespace ordalyn {

class SimTrafficGenerator {
 public:
  SimTrafficGenerator(std::uint64_t seed, DWORD deviceId);

  // The next message; its delayMs counts from the previous one. A message
  // that starts a call carries the call's whole information as its update.
  SimMessage Next();

 private:
  std::uint64_t Random();
  std::uint32_t Between(std::uint32_t low, std::uint32_t high);  // both included
  void PlanCall();

  std::uint64_t state_;
  DWORD handleBase_;
  std::uint32_t handleCounter_;
  std::uint32_t callCount_ = 0;
  std::deque<SimMessage> planned_;
};

}  // namespace ordalyn
