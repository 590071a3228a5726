#include "clock.h"

namespace quarn::watch {

void StopSignal::Request() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requested_ = true;
  }
  changed_.notify_all();
}

bool StopSignal::WaitFor(Millis d) {
  std::unique_lock<std::mutex> lock(mutex_);
  return changed_.wait_for(lock, d, [this] { return requested_.load(); });
}

VirtualClock::VirtualClock(WallTime wallStart) : wallStart_(wallStart) {}

SteadyTime VirtualClock::Now() {
  std::lock_guard<std::mutex> lock(mutex_);
  return start_ + offset_;
}

WallTime VirtualClock::Wall() {
  std::lock_guard<std::mutex> lock(mutex_);
  return wallStart_ + offset_;
}

Millis VirtualClock::elapsed() {
  std::lock_guard<std::mutex> lock(mutex_);
  return offset_;
}

void VirtualClock::Advance(Millis d) {
  StopSignal* reached = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    offset_ += d;
    if (stop_ && offset_ >= stopAt_) reached = stop_;
  }
  if (reached) reached->Request();
}

bool VirtualClock::Wait(Millis d, StopSignal& stop) {
  if (stop.requested()) return false;
  Advance(d);
  return !stop.requested();
}

void VirtualClock::StopAt(Millis at, StopSignal& stop) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopAt_ = at;
  stop_ = &stop;
}

}  // namespace quarn::watch
