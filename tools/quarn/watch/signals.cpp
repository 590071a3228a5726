#include "signals.h"

#include <pthread.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace quarn::watch {

namespace {

// How often the signal thread looks whether it is to end.
constexpr long kWaitNanoseconds = 200L * 1000 * 1000;

void WriteStderr(const char* text) {
  ssize_t ignored = write(STDERR_FILENO, text, std::strlen(text));
  (void)ignored;
}

}  // namespace

SignalWatch::SignalWatch(StopSignal& stop) : stop_(stop) {
  sigemptyset(&watched_);
  sigaddset(&watched_, SIGINT);
  sigaddset(&watched_, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &watched_, &former_);
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, &formerPipe_);
  thread_ = std::thread([this] { Loop(); });
}

SignalWatch::~SignalWatch() {
  quit_ = true;
  thread_.join();
  sigaction(SIGPIPE, &formerPipe_, nullptr);
  pthread_sigmask(SIG_SETMASK, &former_, nullptr);
}

void SignalWatch::Loop() {
  const timespec wait{0, kWaitNanoseconds};
  while (!quit_) {
    int signal = sigtimedwait(&watched_, nullptr, &wait);
    if (signal <= 0) continue;  // time-out or EINTR
    int expected = 0;
    if (received_.compare_exchange_strong(expected, signal)) {
      WriteStderr("quarn watch: stopping (a second signal ends it at once)\n");
      stop_.Request();
      continue;
    }
    WriteStderr("quarn watch: second signal, ending at once\n");
    _exit(128 + signal);
  }
}

}  // namespace quarn::watch
