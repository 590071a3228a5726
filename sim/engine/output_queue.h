#pragma once
// Wire bytes waiting to leave the reader, each with the time it may go. A baud rate spaces the bytes
// by their real wire time (start bit, eight data bits, stop bit).

#include <cstdint>
#include <deque>
#include <optional>

#include "sim/codec/frame_codec.h"

namespace quarn::sim {

class OutputQueue {
 public:
  void Push(const Bytes& wire, uint64_t notBeforeUs, uint32_t baud);
  Bytes TakeDue(uint64_t nowUs);
  std::optional<uint64_t> NextDueUs() const;
  void Clear() { bytes_.clear(); }
  bool empty() const { return bytes_.empty(); }
  size_t size() const { return bytes_.size(); }

 private:
  struct Pending {
    uint64_t dueUs;
    uint8_t value;
  };
  std::deque<Pending> bytes_;
};

}  // namespace quarn::sim
