#pragma once
// The game clock: milliseconds as a 64-bit float from a monotonic source, and
// a sleep. The frame loop reads time only through this, so tests and headless
// runs can drive it by hand.

#include <chrono>

namespace app {

class Clock {
 public:
  virtual ~Clock() = default;
  // Milliseconds since some fixed point; never goes backward.
  virtual double Now() = 0;
  virtual void Sleep(double ms) = 0;
};

// The machine's monotonic clock; Now() counts from construction.
class SteadyClock final : public Clock {
 public:
  double Now() override;
  void Sleep(double ms) override;

 private:
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Time that moves only when told: Sleep advances it by the time slept.
class FakeClock final : public Clock {
 public:
  double Now() override { return now_; }
  void Sleep(double ms) override {
    now_ += ms;
    ++sleeps_;
  }
  void Advance(double ms) { now_ += ms; }
  void Set(double ms) { now_ = ms; }
  int sleeps() const { return sleeps_; }

 private:
  double now_ = 0.0;
  int sleeps_ = 0;
};

}  // namespace app
