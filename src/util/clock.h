// The local wall-clock time, to the millisecond, behind an interface so that
// everything that stamps or names things by time can be tested exactly.
#pragma once

namespace ordalyn {

struct LocalDateTime {
  int year = 0;
  int month = 0;        // 1 to 12
  int day = 0;          // 1 to 31
  int hour = 0;         // 0 to 23
  int minute = 0;       // 0 to 59
  int second = 0;       // 0 to 59 (60 during a leap second where the system shows one)
  int millisecond = 0;  // 0 to 999

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalDateTime Now() const = 0;
};

// The operating system's local time.
class SystemClock : public Clock {
 public:
  LocalDateTime Now() const override;
};

// A clock that shows whatever it was last set to; for tests.
class FakeClock : public Clock {
 public:
  FakeClock() = default;
  explicit FakeClock(const LocalDateTime& now) : now_(now) {}
  void Set(const LocalDateTime& now) { now_ = now; }
  LocalDateTime Now() const override { return now_; }

 private:
  LocalDateTime now_;
};

}  // namespace ordalyn
