#pragma once
// Reads a command's parameter bytes in wire order. Reading past the end marks the reader as failed
// instead of throwing, so a handler reads all its fields and checks once (Finish) at the end.

#include <cstddef>
#include <cstdint>

#include "sim/codec/frame_codec.h"

namespace quarn::sim {

// Size of a tag record from its first byte: the PC word's EPC-length field plus the PC word itself.
inline size_t TagRecordSize(uint8_t byte0) { return (static_cast<size_t>(byte0 >> 3) + 1) * 2; }

class ParamReader {
 public:
  explicit ParamReader(const Bytes& params) : params_(params) {}

  uint8_t Byte();
  uint16_t Word16();  // high byte first
  Bytes Take(size_t count);
  // A word pointer in EBV form: one byte, or two when the first has bit 7 set. A second byte with
  // bit 7 set would need a third, which no host sends; it fails the reader.
  uint32_t Ebv();
  // The PC word and EPC of a tag, sized by its first byte.
  Bytes TagRecord();
  Bytes Rest();

  size_t remaining() const { return failed_ ? 0 : params_.size() - position_; }
  bool ok() const { return !failed_; }
  // True when every field was there and nothing is left over.
  bool Finish() const { return !failed_ && position_ == params_.size(); }

 private:
  const Bytes& params_;
  size_t position_ = 0;
  bool failed_ = false;
};

}  // namespace quarn::sim
