#pragma once
// Time for the watch: a steady clock for intervals and back-off, the wall clock for timestamps, and a
// stop request that every wait ends on. The supervisor asks a Clock for both, so a test can run weeks
// of reconnects and health checks on a virtual one.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace quarn::watch {

using Millis = std::chrono::milliseconds;
using SteadyTime = std::chrono::steady_clock::time_point;
using WallTime = std::chrono::system_clock::time_point;

// A request to stop, set once (by a signal, or a fatal error) and seen by every thread's waits.
class StopSignal {
 public:
  void Request();
  bool requested() const { return requested_.load(); }
  // Waits for the request at most d; true when it came.
  bool WaitFor(Millis d);

 private:
  std::atomic<bool> requested_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual SteadyTime Now() = 0;
  virtual WallTime Wall() = 0;
  // Lets d pass, or less when stop is requested meanwhile; false when stopped.
  virtual bool Wait(Millis d, StopSignal& stop) = 0;
};

class SystemClock : public Clock {
 public:
  SteadyTime Now() override { return std::chrono::steady_clock::now(); }
  WallTime Wall() override { return std::chrono::system_clock::now(); }
  bool Wait(Millis d, StopSignal& stop) override { return !stop.WaitFor(d); }
};

// Time that moves only when someone waits: the supervisor's loop and the fake reader advance it, so a
// test runs hours in microseconds and sees exact instants. Wall time runs alongside from a fixed start.
class VirtualClock : public Clock {
 public:
  explicit VirtualClock(WallTime wallStart = WallTime(std::chrono::hours(24 * 365 * 56)));
  SteadyTime Now() override;
  WallTime Wall() override;
  bool Wait(Millis d, StopSignal& stop) override;
  void Advance(Millis d);
  // Virtual time since the clock was made.
  Millis elapsed();
  // Requests stop as soon as time reaches `at` (since the start): how a test ends a run.
  void StopAt(Millis at, StopSignal& stop);

 private:
  std::mutex mutex_;
  SteadyTime start_ = SteadyTime{};
  Millis offset_{0};
  WallTime wallStart_;
  Millis stopAt_ = Millis::max();
  StopSignal* stop_ = nullptr;
};

}  // namespace quarn::watch
