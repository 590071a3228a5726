// The serial backend on POSIX systems: a raw 8N1 terminal whose reads and writes keep the time-outs the
// frame code was written for (a one-byte read waits at most 3050 ms, a one-byte write 550 ms).
//
// A read waits in the terminal driver (VMIN 0, VTIME 30), which only the plain line discipline of a
// terminal does, and only on the side of a terminal whose settings it obeys. So a port is admitted at open
// only when it is such a terminal and takes these settings; everything else that opens (a pty master,
// whose settings live on the other side; a file, a pipe, /dev/null; a terminal that another program has
// given a line discipline of its own) is refused, since a read on it would return at once forever or
// never return.

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#if defined(__linux__)
#include <linux/serial.h>
#include <sys/sysmacros.h>
#endif

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
constexpr int kReadTimeoutMs = kReadWaitTenths * 100 + kReadExtraWaitMs;
constexpr uint32_t kWriteWaitMs = 550;

#if defined(__linux__)
// BSD-style pty masters (/dev/ptyXY) have no number to ask for, only a major device number of their own.
constexpr unsigned kLegacyPtyMasterMajor = 2;
#endif

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

// Raw 8N1 without flow control, and reads that wait in the driver: VMIN 0 with VTIME makes a read return
// with the first byte, or with nothing once VTIME has passed.
void MakeRaw(termios* settings) {
  cfmakeraw(settings);
  settings->c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
  // CLOCAL: the port does not wait for, or hang up on, a carrier that a reader never raises.
  settings->c_cflag |= CS8 | CLOCAL | CREAD;
  settings->c_cc[VMIN] = 0;
  settings->c_cc[VTIME] = kReadWaitTenths;
}

uint32_t NowMs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

// Waits until the descriptor is ready for events, or the time passes; returns what poll reported (0 when
// the time passed). EINTR restarts the wait.
short WaitFor(int fd, short events, int timeoutMs) {
  pollfd entry{fd, events, 0};
  for (;;) {
    const int ready = poll(&entry, 1, timeoutMs);
    if (ready > 0) return entry.revents;
    if (ready == 0) return 0;
    if (errno != EINTR) return POLLERR;
  }
}

// The errors by which a terminal says that its device hung up or was removed.
bool MeansGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

enum class Got { kByte, kNothing, kWouldBlock, kGone, kUnusable, kFailed };

Got ReadOnce(int fd, uint8_t* value) {
  for (;;) {
    const ssize_t got = read(fd, value, 1);
    if (got == 1) return Got::kByte;
    if (got == 0) return Got::kNothing;
    if (errno == EINTR) continue;
    if (errno == EAGAIN) return Got::kWouldBlock;
    if (errno == EBADF) return Got::kUnusable;
    return MeansGone(errno) ? Got::kGone : Got::kFailed;
  }
}

ReadOutcome OutcomeOf(Got got) {
  switch (got) {
    case Got::kByte:
      return ReadOutcome::kByte;
    case Got::kGone:
      return ReadOutcome::kGone;
    case Got::kUnusable:
      return ReadOutcome::kUnusable;
    case Got::kFailed:
      return ReadOutcome::kFailed;
    default:
      return ReadOutcome::kNoByte;
  }
}

// What a wait for room in the output that did not end with room means.
WriteOutcome OutcomeOfNoRoom(short ready) {
  if (ready == 0) return WriteOutcome::kTimedOut;
  if ((ready & POLLHUP) != 0) return WriteOutcome::kGone;
  return (ready & POLLNVAL) != 0 ? WriteOutcome::kUnusable : WriteOutcome::kFailed;
}

OpenFailure FailureOf(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENODEV:
    case ENXIO:
    case EIO:  // a serial device node without hardware behind it
      return OpenFailure::kNoSuchPort;
    case EACCES:
    case EPERM:
      return OpenFailure::kPermissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
      return OpenFailure::kBusy;
    case ENAMETOOLONG:
      return OpenFailure::kBadName;
    case EISDIR:
      return OpenFailure::kNotSerialPort;
    default:
      return OpenFailure::kOther;
  }
}

PortHandle Refuse(OpenFailure failure, OpenFailure* why) {
  if (why != nullptr) *why = failure;
  return QUARN_INVALID_PORT;
}

// A pty master reads with its own settings, which no call reaches: tcsetattr on it sets the other side's.
bool IsPtyMaster(int fd) {
#if defined(__linux__)
  unsigned int number = 0;
  if (ioctl(fd, TIOCGPTN, &number) == 0) return true;
  struct stat status{};
  return fstat(fd, &status) == 0 && S_ISCHR(status.st_mode) && major(status.st_rdev) == kLegacyPtyMasterMajor;
#else
  (void)fd;
  return false;
#endif
}

// The line discipline of a terminal, which the terminal layer itself answers for; false for anything
// that is not a terminal.
bool LineDisciplineOf(int fd, int* discipline) {
#if defined(__linux__)
  return ioctl(fd, TIOCGETD, discipline) == 0;
#else
  *discipline = 0;
  return isatty(fd) != 0;
#endif
}

// Another line discipline (PPP, SLIP, HDLC, GSM multiplexing, Bluetooth) means that another program
// drives the port, and its reads keep no VTIME; some of them answer no terminal call at all.
bool IsForeign(int discipline) {
#if defined(__linux__)
  return discipline != N_TTY;
#else
  (void)discipline;
  return false;
#endif
}

// Applies the raw settings at the port's present speed (Configure sets the speed) and reads them back:
// tcsetattr succeeds when any part of a change took.
bool TakesReadTimeOut(int fd) {
  termios settings{};
  if (tcgetattr(fd, &settings) != 0) return false;
  MakeRaw(&settings);
  termios applied{};
  if (tcsetattr(fd, TCSANOW, &settings) != 0 || tcgetattr(fd, &applied) != 0) return false;
  return (applied.c_lflag & ICANON) == 0 && applied.c_cc[VMIN] == 0 && applied.c_cc[VTIME] == kReadWaitTenths;
}

// USB serial adapters hold received bytes back for up to 16 ms (an FTDI latency timer) unless the driver
// runs the port in low-latency mode; a reply of a few bytes would wait longer there than on the wire.
// Ports whose driver has no such setting (ptys, most built-in UARTs) refuse the request, and that is fine.
void AskLowLatency(int fd) {
#if defined(__linux__)
  serial_struct info{};
  if (ioctl(fd, TIOCGSERIAL, &info) != 0 || (info.flags & ASYNC_LOW_LATENCY) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  if (ioctl(fd, TIOCSSERIAL, &info) != 0) {
    // The driver keeps its own latency; the port works as before, only slower to hand over bytes.
  }
#else
  (void)fd;
#endif
}

// Checks a freshly opened descriptor and makes it the port: exclusive, raw, reads that wait in the driver.
OpenFailure Admit(int fd) {
  int discipline = 0;
  if (!LineDisciplineOf(fd, &discipline) || IsPtyMaster(fd)) return OpenFailure::kNotSerialPort;
  // The advisory lock keeps out other opens of ours, root's included; TIOCEXCL keeps out other users'
  // programs. The lock comes first, so that a refused open leaves the holder's terminal as it was.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0 || IsForeign(discipline)) return OpenFailure::kBusy;
  if (ioctl(fd, TIOCEXCL) != 0) return OpenFailure::kOther;
  if (!TakesReadTimeOut(fd)) return OpenFailure::kNotSerialPort;
  AskLowLatency(fd);
  // Opened non-blocking (a modem port would otherwise wait for a carrier in open); from here on reads
  // block, each for at most its time-out.
  return fcntl(fd, F_SETFL, 0) == 0 ? OpenFailure::kNone : OpenFailure::kOther;
}

}  // namespace

PortHandle OpenExclusive(const char* portName, OpenFailure* why) {
  char path[kMaxPathLength];
  if (portName == nullptr || portName[0] == '\0' || !BuildPath(portName, path)) {
    return Refuse(OpenFailure::kBadName, why);
  }
  const int fd = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Refuse(FailureOf(errno), why);
  const OpenFailure failure = Admit(fd);
  if (failure != OpenFailure::kNone) {
    close(fd);
    return Refuse(failure, why);
  }
  return static_cast<PortHandle>(fd);
}

void Configure(PortHandle port, uint32_t baudRate) {
  termios settings{};
  if (tcgetattr(Descriptor(port), &settings) != 0) return;
  MakeRaw(&settings);
  cfsetispeed(&settings, SpeedOf(baudRate));
  cfsetospeed(&settings, SpeedOf(baudRate));
  tcsetattr(Descriptor(port), TCSANOW, &settings);
}

bool Close(PortHandle port) { return close(Descriptor(port)) == 0; }

void PurgeInput(PortHandle port) { tcflush(Descriptor(port), TCIFLUSH); }

// The port's file status flags are all ours (OpenExclusive leaves none set), so they are set outright,
// one call at each end of a frame instead of a poll before every byte. Non-blocking, a write that finds
// no room returns at once, and only then does WriteByte wait.
void BeginFrameWrite(PortHandle port) { fcntl(Descriptor(port), F_SETFL, O_NONBLOCK); }

// Reads block again, so that they wait in the driver.
void EndFrameWrite(PortHandle port) { fcntl(Descriptor(port), F_SETFL, 0); }

WriteOutcome WriteByte(PortHandle port, uint8_t value) {
  const int fd = Descriptor(port);
  uint32_t start = 0;
  bool waiting = false;
  for (;;) {
    const ssize_t written = write(fd, &value, 1);
    if (written == 1) return WriteOutcome::kWritten;
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN) {
      // The output is full: wait for room, within what is left of the time-out.
      if (!waiting) start = NowMs();
      waiting = true;
      const uint32_t elapsed = NowMs() - start;
      if (elapsed >= kWriteWaitMs) return WriteOutcome::kTimedOut;
      const short ready = WaitFor(fd, POLLOUT, static_cast<int>(kWriteWaitMs - elapsed));
      if ((ready & POLLOUT) == 0) return OutcomeOfNoRoom(ready);
      continue;
    }
    if (written < 0 && errno == EBADF) return WriteOutcome::kUnusable;
    return written < 0 && MeansGone(errno) ? WriteOutcome::kGone : WriteOutcome::kFailed;
  }
}

ReadOutcome ReadByte(PortHandle port, uint8_t* value) {
  const int fd = Descriptor(port);
  const Got first = ReadOnce(fd, value);
  if (first != Got::kNothing && first != Got::kWouldBlock) return OutcomeOf(first);
  // Nothing after VTIME, or at once: a terminal that hung up reads as the end of a file. A descriptor
  // left non-blocking has not waited at all, so poll waits the whole time-out there.
  const short ready = WaitFor(fd, POLLIN, first == Got::kNothing ? kReadExtraWaitMs : kReadTimeoutMs);
  if ((ready & POLLNVAL) != 0) return ReadOutcome::kUnusable;
  if ((ready & POLLIN) != 0) {
    const Got second = ReadOnce(fd, value);
    if (second != Got::kNothing && second != Got::kWouldBlock) return OutcomeOf(second);
  }
  if ((ready & POLLHUP) != 0) return ReadOutcome::kGone;
  return (ready & POLLERR) != 0 ? ReadOutcome::kFailed : ReadOutcome::kNoByte;
}

InputWait WaitForInput(PortHandle port, uint32_t timeoutMs) {
  const int fd = Descriptor(port);
  const short ready = WaitFor(fd, POLLIN, static_cast<int>(timeoutMs));
  if ((ready & POLLNVAL) != 0) return InputWait::kUnusable;
  // A terminal that hung up polls as readable too; what it sent before the hang-up is still read first.
  int waiting = 0;
  const bool nothingLeft = ioctl(fd, FIONREAD, &waiting) != 0 || waiting == 0;
  if ((ready & POLLHUP) != 0 && nothingLeft) return InputWait::kGone;
  return ready != 0 ? InputWait::kReady : InputWait::kNothing;
}

uint32_t TickMs(PortHandle) { return NowMs(); }

}  // namespace quarn::serial
