#include "cpp/port_hangup.h"

#if !defined(_WIN32)
#include <poll.h>
#endif

namespace quarn::cpp {

#if defined(_WIN32)

// A Windows port whose device went away fails its reads, which the backend reports as gone.
bool PortHungUp(PortHandle) { return false; }

#else

bool PortHungUp(PortHandle port) {
  pollfd entry{static_cast<int>(port), POLLIN, 0};
  if (poll(&entry, 1, 0) <= 0) return false;
  return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

#endif

}  // namespace quarn::cpp
