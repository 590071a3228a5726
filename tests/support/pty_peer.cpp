#include "pty_peer.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace quarn::testing {

PtyPeer::PtyPeer() {
  if (!OpenRawPty(&pty_)) throw std::runtime_error("no pty");
  reader_ = std::thread([this] { Run(); });
}

PtyPeer::~PtyPeer() {
  stop_ = true;
  reader_.join();
  CloseRawPty(&pty_);
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
    const ssize_t written = write(pty_.master, wire.data() + done, wire.size() - done);
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
    pollfd entry{pty_.master, POLLIN, 0};
    if (poll(&entry, 1, 20) <= 0 || (entry.revents & POLLIN) == 0) continue;
    uint8_t chunk[256];
    const ssize_t got = read(pty_.master, chunk, sizeof chunk);
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
