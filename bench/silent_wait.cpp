// What a call costs the CPU while it waits for a reader that never answers: UhfGetPower against a silent
// peer returns after the port's read time-out (about 3 s); the calling thread should sleep through it.
//
// quarn_bench_wait   exit status 0 when the wait used at most 50 ms of CPU

#include <time.h>

#include <cstdio>

#include "pty_line.h"
#include "quarn_api.h"

namespace {

constexpr int kBaud115200 = 0x06;
constexpr double kCpuBudgetMs = 50.0;

double Millis(clockid_t clock) {
  timespec now{};
  clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

}  // namespace

int main() {
  quarn::bench::PtyLine silentPeer;
  PortHandle port = QUARN_INVALID_PORT;
  if (UhfOpenPort(&port, silentPeer.path().c_str(), kBaud115200) != 1) return 2;
  const double wallStart = Millis(CLOCK_MONOTONIC);
  const double cpuStart = Millis(CLOCK_THREAD_CPUTIME_ID);
  unsigned char power = 0;
  const int result = UhfGetPower(port, &power, 0);
  const double cpu = Millis(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
  const double wall = Millis(CLOCK_MONOTONIC) - wallStart;
  UhfClosePort(&port);
  std::printf("silent reader: UhfGetPower returned %d after %.0f ms wall, %.3f ms CPU (budget %.0f ms)\n", result, wall,
              cpu, kCpuBudgetMs);
  return result == 0 && cpu <= kCpuBudgetMs ? 0 : 1;
}
