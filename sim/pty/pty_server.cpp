#include "sim/pty/pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>

namespace quarn::sim {

namespace {

constexpr uint64_t kIdleWaitUs = 200000;
constexpr size_t kReadChunk = 512;

uint64_t SteadyNs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

bool Fail(std::string* error, const std::string& what) {
  if (error) *error = what + ": " + std::strerror(errno);
  return false;
}

void CloseFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

void Drain(int fd) {
  char buffer[256];
  while (read(fd, buffer, sizeof buffer) > 0) {
  }
}

}  // namespace

PtyServer::PtyServer(std::unique_ptr<VirtualReader> reader) : reader_(std::move(reader)), startNs_(SteadyNs()) {}

PtyServer::~PtyServer() {
  Stop();
  if (!linkPath_.empty()) {
    char target[PATH_MAX];
    const ssize_t length = readlink(linkPath_.c_str(), target, sizeof target - 1);
    if (length > 0 && devicePath_ == std::string(target, static_cast<size_t>(length))) unlink(linkPath_.c_str());
  }
  CloseFd(closeWatch_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  CloseFd(heldSlave_);
  CloseFd(master_);
}

bool PtyServer::Open(std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) return Fail(error, "posix_openpt");
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) return Fail(error, "grantpt/unlockpt");
  char name[PATH_MAX];
  if (ptsname_r(master_, name, sizeof name) != 0) return Fail(error, "ptsname");
  devicePath_ = name;
  // Holding the slave open keeps the master from hanging up between two hosts' sessions.
  heldSlave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (heldSlave_ < 0) return Fail(error, "open " + devicePath_);
  termios settings{};
  if (tcgetattr(heldSlave_, &settings) != 0) return Fail(error, "tcgetattr");
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&settings, B115200);
  cfsetospeed(&settings, B115200);
  if (tcsetattr(heldSlave_, TCSANOW, &settings) != 0) return Fail(error, "tcsetattr");
  if (fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) return Fail(error, "fcntl");
  // A host that opened the device exclusively leaves that mark behind when it closes, since our own
  // descriptor keeps the terminal alive; each close is the moment to clear it.
  closeWatch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (closeWatch_ >= 0) inotify_add_watch(closeWatch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
  int wake[2];
  if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return Fail(error, "pipe2");
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  return true;
}

bool PtyServer::Link(const std::string& linkPath, std::string* error) {
  struct stat existing {};
  if (lstat(linkPath.c_str(), &existing) == 0) {
    if (!S_ISLNK(existing.st_mode)) {
      if (error) *error = linkPath + " exists and is not a symbolic link";
      return false;
    }
    unlink(linkPath.c_str());
  }
  if (symlink(devicePath_.c_str(), linkPath.c_str()) != 0) return Fail(error, "symlink " + linkPath);
  linkPath_ = linkPath;
  return true;
}

void PtyServer::Start() {
  if (running_ || master_ < 0) return;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void PtyServer::Stop() {
  if (!running_) return;
  running_ = false;
  const char wake = 1;
  if (write(wakeWrite_, &wake, 1) < 0) {
    // The pipe is full, so the thread is already due to wake.
  }
  if (thread_.joinable()) thread_.join();
}

uint64_t PtyServer::NowUs() const { return (SteadyNs() - startNs_) / 1000; }

void PtyServer::ReleaseExclusiveUse() { ioctl(heldSlave_, TIOCNXCL); }

void PtyServer::Run() {
  while (running_) {
    uint64_t waitUs = kIdleWaitUs;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const std::optional<uint64_t> next = reader_->NextEventUs();
      const uint64_t now = NowUs();
      if (next) waitUs = std::min(waitUs, *next > now ? *next - now : 0);
    }
    pollfd fds[3] = {{master_, POLLIN, 0}, {wakeRead_, POLLIN, 0}, {closeWatch_, POLLIN, 0}};
    const timespec wait{static_cast<time_t>(waitUs / 1000000), static_cast<long>((waitUs % 1000000) * 1000)};
    const int ready = ppoll(fds, closeWatch_ >= 0 ? 3 : 2, &wait, nullptr);
    if (ready < 0 && errno != EINTR) break;
    if (fds[1].revents & POLLIN) Drain(wakeRead_);
    if (closeWatch_ >= 0 && (fds[2].revents & POLLIN)) {
      Drain(closeWatch_);
      ReleaseExclusiveUse();
    }
    uint8_t buffer[kReadChunk];
    ssize_t got = 0;
    if (fds[0].revents & POLLIN) got = read(master_, buffer, sizeof buffer);
    if (got < 0 && errno != EAGAIN && errno != EINTR) {
      // No host on the other side (should not happen while we hold the slave): do not spin.
      usleep(10000);
      got = 0;
    }
    Serve(NowUs(), buffer, got > 0 ? static_cast<size_t>(got) : 0);
  }
}

void PtyServer::Serve(uint64_t nowUs, const uint8_t* bytes, size_t count) {
  Bytes out;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (count > 0) reader_->Receive(bytes, count, nowUs);
    reader_->Advance(nowUs);
    out = reader_->TakeOutput(nowUs);
  }
  WriteOut(out);
}

// A host that does not read lets the terminal's input fill; what does not fit is lost, as on a wire.
void PtyServer::WriteOut(const Bytes& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = write(master_, bytes.data() + done, bytes.size() - done);
    if (written > 0) {
      done += static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else {
      return;
    }
  }
}

}  // namespace quarn::sim
