// The serial backend on POSIX systems: a raw 8N1 terminal whose reads and writes keep the time-outs the
// frame code was written for (a one-byte read waits at most 3050 ms, a one-byte write 550 ms).

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "link/serial/serial_backend.h"

namespace quarn::serial {

namespace {

constexpr char kDeviceFolder[] = "/dev/";
constexpr size_t kMaxPathLength = 4096;

// The read waits in the terminal driver for most of the time-out (VTIME counts tenths of a second),
// which streams about twice as fast on a pty as a poll before every read; poll covers the last 50 ms.
constexpr cc_t kReadWaitTenths = 30;
constexpr int kReadExtraWaitMs = 50;
constexpr int kWriteWaitMs = 550;

int Descriptor(PortHandle port) { return static_cast<int>(port); }

// A name with a '/' is a path as it stands; any other name is looked up under /dev/.
bool BuildPath(const char* portName, char (&path)[kMaxPathLength]) {
  const bool isPath = std::strchr(portName, '/') != nullptr;
  const char* prefix = isPath ? "" : kDeviceFolder;
  const size_t prefixLength = std::strlen(prefix);
  const size_t nameLength = std::strlen(portName);
  if (prefixLength + nameLength + 1 > kMaxPathLength) return false;
  std::memcpy(path, prefix, prefixLength);
  std::memcpy(path + prefixLength, portName, nameLength + 1);
  return true;
}

speed_t SpeedOf(uint32_t baudRate) {
  switch (baudRate) {
    case 9600:
      return B9600;
    case 19200:
      return B19200;
    case 57600:
      return B57600;
    case 115200:
      return B115200;
    default:
      return B9600;
  }
}

// Waits until the descriptor is ready for events, or the time passes. EINTR restarts the wait.
bool WaitFor(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready > 0) return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
    if (ready == 0) return false;
    if (errno != EINTR) return false;
  }
}

// The errors by which a terminal says that its device hung up or was removed.
bool MeansGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

// One read(); -1 on failure, -2 when the device is gone, -3 on a handle that is no open file, 0 when
// nothing came, 1 with a byte.
int ReadOnce(int fd, uint8_t* value) {
  for (;;) {
    const ssize_t got = read(fd, value, 1);
    if (got >= 0) return static_cast<int>(got);
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return 0;
    if (errno == EBADF) return -3;
    return MeansGone(errno) ? -2 : -1;
  }
}

OpenFailure FailureOf(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return OpenFailure::kNoSuchPort;
    case EACCES:
    case EPERM:
      return OpenFailure::kPermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenFailure::kBusy;
    case ENAMETOOLONG:
      return OpenFailure::kBadName;
    default:
      return OpenFailure::kOther;
  }
}

PortHandle Refuse(OpenFailure failure, OpenFailure* why) {
  if (why != nullptr) *why = failure;
  return QUARN_INVALID_PORT;
}

}  // namespace

PortHandle OpenExclusive(const char* portName, OpenFailure* why) {
  char path[kMaxPathLength];
  if (portName == nullptr || portName[0] == '\0' || !BuildPath(portName, path)) {
    return Refuse(OpenFailure::kBadName, why);
  }
  const int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) return Refuse(FailureOf(errno), why);
  if (!isatty(fd)) {
    close(fd);
    return Refuse(OpenFailure::kNotSerialPort, why);
  }
  // TIOCEXCL keeps other users out; root passes it, so an advisory lock keeps out other opens of ours.
  if (ioctl(fd, TIOCEXCL) != 0 || flock(fd, LOCK_EX | LOCK_NB) != 0) {
    close(fd);
    return Refuse(OpenFailure::kBusy, why);
  }
  return static_cast<PortHandle>(fd);
}

void Configure(PortHandle port, uint32_t baudRate) {
  termios settings{};
  if (tcgetattr(Descriptor(port), &settings) != 0) return;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = kReadWaitTenths;
  cfsetispeed(&settings, SpeedOf(baudRate));
  cfsetospeed(&settings, SpeedOf(baudRate));
  tcsetattr(Descriptor(port), TCSANOW, &settings);
}

bool Close(PortHandle port) { return close(Descriptor(port)) == 0; }

void PurgeInput(PortHandle port) { tcflush(Descriptor(port), TCIFLUSH); }

void BeginFrameWrite(PortHandle) {}

void EndFrameWrite(PortHandle) {}

WriteOutcome WriteByte(PortHandle port, uint8_t value) {
  const int fd = Descriptor(port);
  // The descriptor blocks, so the wait for room in the output is what bounds the write. A non-blocking
  // descriptor would save this poll, but every read that finds no byte yet would then cost an empty read
  // and a poll: twice the CPU of a stream at 115200 baud (BENCHMARKS.md).
  if (!WaitFor(fd, POLLOUT, kWriteWaitMs)) {
    return fcntl(fd, F_GETFL) < 0 ? WriteOutcome::kUnusable : WriteOutcome::kTimedOut;
  }
  for (;;) {
    const ssize_t written = write(fd, &value, 1);
    if (written == 1) return WriteOutcome::kWritten;
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EBADF) return WriteOutcome::kUnusable;
    return written < 0 && MeansGone(errno) ? WriteOutcome::kGone : WriteOutcome::kFailed;
  }
}

ReadOutcome ReadByte(PortHandle port, uint8_t* value) {
  const int fd = Descriptor(port);
  int got = ReadOnce(fd, value);
  if (got == 0 && WaitFor(fd, POLLIN, kReadExtraWaitMs)) got = ReadOnce(fd, value);
  if (got == -2) return ReadOutcome::kGone;
  if (got == -3) return ReadOutcome::kUnusable;
  if (got < 0) return ReadOutcome::kFailed;
  return got == 1 ? ReadOutcome::kByte : ReadOutcome::kNoByte;
}

uint32_t TickMs(PortHandle) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

}  // namespace quarn::serial
