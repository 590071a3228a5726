#pragma once
// SIGINT and SIGTERM for the watch. While a SignalWatch lives, both are blocked in every thread made
// after it and taken by a thread of its own, so no reader's call is cut short by a handler: the first
// asks the watch to stop (streams stopped, outputs flushed, the offline status published); a second
// ends the process at once, for a stop that takes too long. SIGPIPE is ignored meanwhile: a closed
// stdout is the stdout output's business, not a reason to die.

#include <atomic>
#include <csignal>
#include <thread>

#include "clock.h"

namespace quarn::watch {

class SignalWatch {
 public:
  // Make it before any other thread, so that they all inherit the blocked signals.
  explicit SignalWatch(StopSignal& stop);
  ~SignalWatch();
  SignalWatch(const SignalWatch&) = delete;
  SignalWatch& operator=(const SignalWatch&) = delete;

  int received() const { return received_.load(); }  // the first signal, 0 while none came

 private:
  void Loop();

  StopSignal& stop_;
  sigset_t watched_{};
  sigset_t former_{};
  struct sigaction formerPipe_ {};
  std::atomic<bool> quit_{false};
  std::atomic<int> received_{0};
  std::thread thread_;
};

}  // namespace quarn::watch
