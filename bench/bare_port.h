#pragma once
// The baselines every pty figure is compared with: the same bytes over the same kind of pty, moved with
// nothing but plain blocking calls. It opens the slave side raw with VMIN 1 and VTIME 0, so read() sleeps
// in the terminal driver until a byte is there. One byte each (WriteEach, ReadEach) is the floor of any
// byte-at-a-time design; one write of the whole frame and reads of whatever is there (WriteAll,
// ReadWhatComes) is the floor of any design at all. No poll, no purge, no time-out, no frame decoding.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarn::bench {

class BarePort {
 public:
  explicit BarePort(const std::string& path);
  ~BarePort();
  BarePort(const BarePort&) = delete;
  BarePort& operator=(const BarePort&) = delete;

  // One write() per byte. False when one fails.
  bool WriteEach(const std::vector<uint8_t>& wire);
  // One read() per byte until count bytes have come. False when one fails.
  bool ReadEach(size_t count);
  // One write() of all the bytes (more only when the terminal takes a part). False when one fails.
  bool WriteAll(const std::vector<uint8_t>& wire);
  // read()s of as much as is there, until count bytes have come. False when one fails.
  bool ReadWhatComes(size_t count);
  // The last byte read, so that the reads cannot be optimised away.
  uint8_t lastByte() const { return last_; }

 private:
  int fd_ = -1;
  uint8_t last_ = 0;
};

}  // namespace quarn::bench
