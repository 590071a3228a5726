#pragma once
// The reader's side of a pseudo-terminal for the wire ring: the library opens the slave path like a
// serial port, and the peer on the master side reads the command frames and answers from a script.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "raw_pty.h"
#include "reference_frames.h"

namespace quarn::testing {

class PtyPeer {
 public:
  using Bytes = std::vector<uint8_t>;
  // Given the unstuffed command frame, returns the wire bytes to answer with (empty: stay silent).
  using Responder = std::function<Bytes(const Bytes& command)>;

  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  const std::string& path() const { return pty_.slavePath; }

  void SetResponder(Responder responder);
  // Answers the next commands, in order, with these wire replies; later commands get no answer.
  void ReplyInOrder(std::vector<Bytes> replies);
  // Writes bytes to the library's side now.
  void Send(const Bytes& wire);

  // The unstuffed command frames received so far; waits up to timeoutMs for at least count of them.
  std::vector<Bytes> WaitForCommands(size_t count, int timeoutMs = 5000);
  std::vector<Bytes> commands();

 private:
  void Run();
  void Take(uint8_t value);

  RawPty pty_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::condition_variable changed_;
  Responder responder_;
  std::vector<Bytes> commands_;
  CommandUnstuffer unstuffer_;
  std::thread reader_;
};

}  // namespace quarn::testing
