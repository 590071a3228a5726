#include "stdout_sink.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

namespace quarn::watch {

namespace {

// How often a writer waiting on a full pipe looks whether it is to give up.
constexpr int kWritePollMs = 200;
constexpr size_t kBatchLines = 256;

}  // namespace

StdoutSink::StdoutSink(int fd, Mode mode, size_t capacity) : fd_(fd), mode_(mode), queue_(capacity) {
  writer_ = std::thread([this] { Loop(); });
}

StdoutSink::~StdoutSink() { Finish(Millis(0)); }

void StdoutSink::Deliver(const Message& message) {
  if (mode_ == Mode::kStatusOnly && message.kind != MessageKind::kStatus) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (finishing_ && done_) return;
    if (broken_) {
      ++refused_;
      return;
    }
    queue_.Push(message);
  }
  changed_.notify_all();
}

void StdoutSink::Describe(const std::string&, Json& status) {
  std::lock_guard<std::mutex> lock(mutex_);
  status["stdout"] = Json{{"queued", queue_.depth()}, {"dropped", queue_.overflow() + refused_}};
}

void StdoutSink::Finish(Millis limit) {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!writer_.joinable()) return;
  finishing_ = true;
  changed_.notify_all();
  if (!changed_.wait_for(lock, limit, [this] { return done_; })) abandon_ = true;
  lock.unlock();
  changed_.notify_all();
  writer_.join();  // an abandoned writer gives up within one poll
}

void StdoutSink::Loop() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (true) {
    changed_.wait_for(lock, Millis(kWritePollMs), [this] { return queue_.depth() > 0 || finishing_; });
    if (abandon_ || (finishing_ && queue_.depth() == 0)) break;
    std::string batch;
    size_t lines = 0;
    while (lines < kBatchLines) {
      auto next = queue_.Take();
      if (!next) break;
      batch += next->second.line;
      batch += '\n';
      queue_.Acknowledge(next->first);
      ++lines;
    }
    if (lines == 0) continue;
    lock.unlock();
    bool written = WriteAll(batch);
    lock.lock();
    if (!written && !abandon_) {
      broken_ = true;
      refused_ += lines;
    }
  }
  done_ = true;
  changed_.notify_all();
}

bool StdoutSink::WriteAll(const std::string& text) {
  size_t offset = 0;
  while (offset < text.size()) {
    pollfd writable{fd_, POLLOUT, 0};
    int ready = poll(&writable, 1, kWritePollMs);
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) {
      std::lock_guard<std::mutex> lock(mutex_);
      if (abandon_) return false;
      continue;
    }
    if (writable.revents & (POLLERR | POLLHUP | POLLNVAL)) return false;
    // Once a pipe is writable, a write of at most PIPE_BUF bytes finds room and returns; a longer one
    // could wait for a reader that never comes.
    ssize_t wrote = write(fd_, text.data() + offset, std::min<size_t>(text.size() - offset, PIPE_BUF));
    if (wrote < 0) {
      if (errno == EINTR || errno == EAGAIN) continue;
      return false;
    }
    offset += static_cast<size_t>(wrote);
  }
  return true;
}

}  // namespace quarn::watch
