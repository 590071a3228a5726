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
constexpr uint64_t kErrorPauseUs = 10000;
constexpr uint64_t kReplugRetryUs = 200000;
// Bounds the wait of Unplug for the serving thread to hang up (it wakes within one loop).
constexpr uint64_t kHandOverWaitUs = 2000000;
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
    if (length > 0 && devicePath() == std::string(target, static_cast<size_t>(length))) unlink(linkPath_.c_str());
  }
  CloseFd(closeWatch_);
  CloseFd(wakeRead_);
  CloseFd(wakeWrite_);
  CloseFd(heldSlave_);
  CloseFd(retiredSlave_);
  CloseFd(master_);
}

bool PtyServer::Open(std::string* error) {
  if (!OpenDevice(error)) return false;
  int wake[2];
  if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) return Fail(error, "pipe2");
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  std::lock_guard<std::mutex> lock(plugMutex_);
  plugged_ = true;
  return true;
}

bool PtyServer::OpenDevice(std::string* error) {
  int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  int slave = -1;
  auto giveUp = [&](const std::string& what) {
    Fail(error, what);
    CloseFd(slave);
    CloseFd(master);
    return false;
  };
  if (master < 0) return giveUp("posix_openpt");
  if (grantpt(master) != 0 || unlockpt(master) != 0) return giveUp("grantpt/unlockpt");
  char name[PATH_MAX];
  if (ptsname_r(master, name, sizeof name) != 0) return giveUp("ptsname");
  // Holding the slave open keeps the master from hanging up between two hosts' sessions.
  slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave < 0) return giveUp(std::string("open ") + name);
  termios settings{};
  if (tcgetattr(slave, &settings) != 0) return giveUp("tcgetattr");
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  cfsetispeed(&settings, B115200);
  cfsetospeed(&settings, B115200);
  if (tcsetattr(slave, TCSANOW, &settings) != 0) return giveUp("tcsetattr");
  if (fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK) != 0) return giveUp("fcntl");
  master_ = master;
  heldSlave_ = slave;
  // A host that opened the device exclusively leaves that mark behind when it closes, since our own
  // descriptor keeps the terminal alive; each close is the moment to clear it.
  closeWatch_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (closeWatch_ >= 0) inotify_add_watch(closeWatch_, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE);
  std::lock_guard<std::mutex> lock(plugMutex_);
  devicePath_ = name;
  return true;
}

bool PtyServer::Link(const std::string& linkPath, std::string* error) {
  struct stat existing {};
  if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
    if (error) *error = linkPath + " exists and is not a symbolic link";
    return false;
  }
  linkPath_ = linkPath;
  if (PointLink(error)) return true;
  linkPath_.clear();
  return false;
}

// A new link beside the old one, renamed over it: whoever opens the path finds one device or the other.
bool PtyServer::PointLink(std::string* error) {
  const std::string temporary = linkPath_ + ".tmp" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(devicePath().c_str(), temporary.c_str()) != 0) return Fail(error, "symlink " + temporary);
  if (rename(temporary.c_str(), linkPath_.c_str()) != 0) {
    const bool failed = Fail(error, "rename " + temporary + " to " + linkPath_);
    unlink(temporary.c_str());
    return failed;
  }
  return true;
}

void PtyServer::Start() {
  if (running_ || wakeRead_ < 0) return;
  running_ = true;
  thread_ = std::thread([this] { Run(); });
}

void PtyServer::Stop() {
  if (!running_) return;
  running_ = false;
  Wake();
  if (thread_.joinable()) thread_.join();
}

void PtyServer::Wake() {
  const char wake = 1;
  if (write(wakeWrite_, &wake, 1) < 0) {
    // The pipe is full, so the thread is already due to wake.
  }
}

void PtyServer::Unplug(uint64_t pauseUs) {
  std::unique_lock<std::mutex> lock(plugMutex_);
  pauseUs_ = pauseUs;
  unplugRequested_ = true;
  if (!running_) {
    lock.unlock();
    return HangUp();
  }
  Wake();
  plugChanged_.wait_for(lock, std::chrono::microseconds(kHandOverWaitUs), [this] { return !unplugRequested_; });
}

bool PtyServer::WaitPlugged(uint64_t timeoutUs) {
  std::unique_lock<std::mutex> lock(plugMutex_);
  return plugChanged_.wait_for(lock, std::chrono::microseconds(timeoutUs), [this] { return plugged_; });
}

bool PtyServer::plugged() const {
  std::lock_guard<std::mutex> lock(plugMutex_);
  return plugged_;
}

std::string PtyServer::devicePath() const {
  std::lock_guard<std::mutex> lock(plugMutex_);
  return devicePath_;
}

uint64_t PtyServer::NowUs() const { return (SteadyNs() - startNs_) / 1000; }

void PtyServer::ReleaseExclusiveUse() { ioctl(heldSlave_, TIOCNXCL); }

void PtyServer::Run() {
  while (running_) {
    bool unplug = false;
    {
      std::lock_guard<std::mutex> lock(plugMutex_);
      unplug = unplugRequested_;
    }
    if (unplug) HangUp();
    if (plugged()) {
      ServeOnce();
    } else {
      AwaitReplug();
    }
  }
}

void PtyServer::ServeOnce() {
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
  if (ready < 0 && errno != EINTR) {
    usleep(kErrorPauseUs);
    return;
  }
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
    usleep(kErrorPauseUs);
    got = 0;
  }
  Serve(NowUs(), buffer, got > 0 ? static_cast<size_t>(got) : 0);
}

// The master goes first, which hangs the terminal up for the host. The slave we held is kept until the
// new terminal exists, so that the new one cannot get the old one's number and path.
void PtyServer::HangUp() {
  std::unique_lock<std::mutex> plugLock(plugMutex_);
  replugAtUs_ = NowUs() + pauseUs_;
  const bool wasPlugged = plugged_;
  plugLock.unlock();
  if (wasPlugged) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      reader_->Advance(NowUs());
      reader_->Unplug();
    }
    CloseFd(closeWatch_);
    CloseFd(master_);
    CloseFd(retiredSlave_);
    retiredSlave_ = heldSlave_;
    heldSlave_ = -1;
  }
  plugLock.lock();
  plugged_ = false;
  unplugRequested_ = false;
  plugLock.unlock();
  plugChanged_.notify_all();
}

void PtyServer::AwaitReplug() {
  uint64_t due = 0;
  {
    std::lock_guard<std::mutex> lock(plugMutex_);
    due = replugAtUs_;
  }
  const uint64_t now = NowUs();
  if (now >= due) return Replug();
  const uint64_t waitUs = std::min(due - now, kIdleWaitUs);
  pollfd wake{wakeRead_, POLLIN, 0};
  const timespec wait{static_cast<time_t>(waitUs / 1000000), static_cast<long>((waitUs % 1000000) * 1000)};
  if (ppoll(&wake, 1, &wait, nullptr) > 0) Drain(wakeRead_);
}

void PtyServer::Replug() {
  std::string error;
  if (!OpenDevice(&error)) {
    WithReader([&](VirtualReader& reader) { reader.Note("cannot plug back in (" + error + "); trying again"); });
    std::lock_guard<std::mutex> lock(plugMutex_);
    replugAtUs_ = NowUs() + kReplugRetryUs;
    return;
  }
  CloseFd(retiredSlave_);
  if (!linkPath_.empty() && !PointLink(&error)) {
    WithReader([&](VirtualReader& reader) { reader.Note("cannot move the link: " + error); });
  }
  const std::string path = devicePath();
  WithReader([&](VirtualReader& reader) {
    reader.Advance(NowUs());
    reader.Note("plugged back in on " + path);
  });
  // The new path is told before anyone waiting for the plug wakes, so that a waiter that then looks for
  // the line finds it.
  if (plugSink_) plugSink_(path);
  {
    std::lock_guard<std::mutex> lock(plugMutex_);
    plugged_ = true;
  }
  plugChanged_.notify_all();
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
