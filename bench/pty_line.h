#pragma once
// A pseudo-terminal whose reader's side lives on a thread of the benchmark: whoever opens path() (the
// library, or the bare baseline) writes command frames, and the peer answers each finished one at once,
// in as few writes as the terminal takes, with the wire bytes prepared for its code. A long answer (a
// start acknowledgement followed by a whole stream) goes out as fast as the other side reads it.

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "raw_pty.h"
#include "reference_frames.h"

namespace quarn::bench {

using testing::Bytes;

class PtyLine {
 public:
  PtyLine();
  ~PtyLine();
  PtyLine(const PtyLine&) = delete;
  PtyLine& operator=(const PtyLine&) = delete;

  const std::string& path() const { return pty_.slavePath; }

  // The wire bytes that answer a command whose code (as sent, bit 7 included) is code. Set before the
  // command goes out; commands without an answer get none.
  void Answer(uint8_t code, Bytes wire);
  // The wire bytes of the last command frame received, escapes included, as the sender wrote them.
  Bytes LastCommandWire();

 private:
  void Run();
  void Take(uint8_t value);
  void Send(const Bytes& wire);

  testing::RawPty pty_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<uint8_t, Bytes> answers_;
  testing::CommandUnstuffer unstuffer_;
  Bytes commandWire_;
  Bytes lastCommandWire_;
  std::thread peer_;
};

}  // namespace quarn::bench
