#include "pty_peer.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace quarn::testing {

PtyPeer::PtyPeer() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) throw std::runtime_error("no pty");
  slavePath_ = ptsname(master_);
  slaveKeeper_ = open(slavePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slaveKeeper_ < 0) throw std::runtime_error("cannot open " + slavePath_);
  // Raw from the start, so nothing the peer writes is echoed or translated before the library configures.
  termios settings{};
  tcgetattr(slaveKeeper_, &settings);
  cfmakeraw(&settings);
  tcsetattr(slaveKeeper_, TCSANOW, &settings);
  reader_ = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
  stop_ = true;
  reader_.join();
  close(slaveKeeper_);
  close(master_);
}

void PtyPeer::SetResponder(Responder responder) {
  std::lock_guard<std::mutex> lock(mutex_);
  responder_ = std::move(responder);
}

void PtyPeer::ReplyInOrder(std::vector<Bytes> replies) {
  auto queue = std::make_shared<std::deque<Bytes>>(replies.begin(), replies.end());
  SetResponder([queue](const Bytes&) {
    if (queue->empty()) return Bytes{};
    Bytes next = queue->front();
    queue->pop_front();
    return next;
  });
}

void PtyPeer::Send(const Bytes& wire) {
  size_t done = 0;
  while (done < wire.size()) {
    const ssize_t written = write(master_, wire.data() + done, wire.size() - done);
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

std::vector<PtyPeer::Bytes> PtyPeer::WaitForCommands(size_t count, int timeoutMs) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return commands_.size() >= count; });
  return commands_;
}

std::vector<PtyPeer::Bytes> PtyPeer::commands() {
  std::lock_guard<std::mutex> lock(mutex_);
  return commands_;
}

void PtyPeer::Run() {
  while (!stop_) {
    pollfd entry{master_, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0 || (entry.revents & POLLIN) == 0) continue;
    uint8_t chunk[256];
    const ssize_t got = read(master_, chunk, sizeof chunk);
    for (ssize_t i = 0; i < got; ++i) Take(chunk[i]);
  }
}

// Un-stuffs the library's bytes into command frames and answers each finished one.
void PtyPeer::Take(uint8_t value) {
  Bytes answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!unstuffer_.Take(value)) return;
    commands_.push_back(unstuffer_.frame());
    if (responder_) answer = responder_(unstuffer_.frame());
  }
  changed_.notify_all();
  if (!answer.empty()) Send(answer);
}

}  // namespace quarn::testing
