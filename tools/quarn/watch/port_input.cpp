#include "port_input.h"

#include <dirent.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <vector>

namespace quarn::watch {

namespace {

// The Reader looks a name without a '/' up under /dev/.
std::string DevicePath(const std::string& portName) {
  return portName.find('/') == std::string::npos ? "/dev/" + portName : portName;
}

std::vector<int> OpenDescriptors() {
  std::vector<int> descriptors;
  DIR* folder = opendir("/proc/self/fd");
  if (folder == nullptr) return descriptors;
  const int own = dirfd(folder);
  while (const dirent* entry = readdir(folder)) {
    char* end = nullptr;
    long number = std::strtol(entry->d_name, &end, 10);
    if (end != entry->d_name && *end == '\0' && number != own) descriptors.push_back(static_cast<int>(number));
  }
  closedir(folder);
  return descriptors;
}

bool OnDevice(int descriptor, dev_t device) {
  struct stat info {};
  return fstat(descriptor, &info) == 0 && S_ISCHR(info.st_mode) && info.st_rdev == device;
}

// Taking the lock again succeeds only through the open file that holds it; any other open of the same
// device (a virtual reader in this process keeps its terminal open) is refused and left unchanged.
bool HoldsTheLock(int descriptor) { return flock(descriptor, LOCK_EX | LOCK_NB) == 0; }

}  // namespace

int FindPortDescriptor(const std::string& portName) {
  struct stat port {};
  if (stat(DevicePath(portName).c_str(), &port) != 0 || !S_ISCHR(port.st_mode)) return -1;
  std::vector<int> candidates;
  for (int descriptor : OpenDescriptors())
    if (OnDevice(descriptor, port.st_rdev)) candidates.push_back(descriptor);
  if (candidates.size() == 1) return candidates.front();
  for (int descriptor : candidates)
    if (HoldsTheLock(descriptor)) return descriptor;
  return -1;
}

namespace {

// What the device sent before it hung up is still read; after that, only the end of the file is left.
bool NothingLeft(int descriptor) {
  int waiting = 0;
  return ioctl(descriptor, FIONREAD, &waiting) != 0 || waiting == 0;
}

}  // namespace

// A terminal that hung up reads as the end of its file rather than as an error (poll calls that input),
// so the read would go on finding nothing until its time limit; the hang-up itself tells that the port
// is gone.
PortInput WaitForInput(int descriptor, Millis wait) {
  pollfd entry{descriptor, POLLIN, 0};
  SteadyTime deadline = std::chrono::steady_clock::now() + wait;
  for (;;) {
    auto left = std::chrono::duration_cast<Millis>(deadline - std::chrono::steady_clock::now());
    int ready = poll(&entry, 1, static_cast<int>(std::max<Millis::rep>(0, left.count())));
    if (ready == 0) return PortInput::kNothing;
    if (ready > 0 && (entry.revents & POLLHUP) && NothingLeft(descriptor)) return PortInput::kHungUp;
    // POLLERR, POLLNVAL and a failed poll too: the read that follows tells what is wrong, and the
    // caller must not come straight back to a wait that ends at once.
    if (ready > 0 || errno != EINTR) return PortInput::kBytes;
  }
}

}  // namespace quarn::watch
