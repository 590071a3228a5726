#include "pty_line.h"

#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace quarn::bench {

PtyLine::PtyLine() {
  if (!testing::OpenRawPty(&pty_)) throw std::runtime_error("no pty");
  peer_ = std::thread([this] { Run(); });
}

PtyLine::~PtyLine() {
  stop_ = true;
  // The peer sleeps in a blocking read of the master side; one byte from the slave side wakes it.
  const uint8_t wake = 0;
  if (write(pty_.slaveKeeper, &wake, 1) != 1) {
    // Nothing else would wake it; the join below then waits for the next byte of the other side.
  }
  peer_.join();
  testing::CloseRawPty(&pty_);
}

void PtyLine::Answer(uint8_t code, Bytes wire) {
  std::lock_guard<std::mutex> lock(mutex_);
  answers_[code] = std::move(wire);
}

Bytes PtyLine::LastCommandWire() {
  std::lock_guard<std::mutex> lock(mutex_);
  return lastCommandWire_;
}

// A blocking read wakes the peer for the first byte the other side writes, without a poll in between,
// so the answer starts as soon as the terminal can deliver the command.
void PtyLine::Run() {
  uint8_t chunk[512];
  while (!stop_) {
    const ssize_t got = read(pty_.master, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return;
    for (ssize_t i = 0; i < got && !stop_; ++i) Take(chunk[i]);
  }
}

void PtyLine::Take(uint8_t value) {
  Bytes answer;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    commandWire_.push_back(value);
    if (!unstuffer_.Take(value)) return;
    const Bytes& frame = unstuffer_.frame();
    lastCommandWire_.swap(commandWire_);
    commandWire_.clear();
    // The code follows the length field in the form the frame announces.
    const size_t codePosition = frame.size() > 2 && (frame[1] & 0x80) != 0 ? 3 : 2;
    if (frame.size() <= codePosition) return;
    const auto found = answers_.find(frame[codePosition]);
    if (found == answers_.end()) return;
    answer = found->second;
  }
  Send(answer);
}

void PtyLine::Send(const Bytes& wire) {
  size_t done = 0;
  while (done < wire.size()) {
    const ssize_t written = write(pty_.master, wire.data() + done, wire.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    done += static_cast<size_t>(written);
  }
}

}  // namespace quarn::bench
