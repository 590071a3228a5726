#pragma once
// A bounds-checked view of one received reply frame. Every field an export reads comes through it:
// a position outside the frame yields nothing instead of a byte of an earlier reception.

#include <cstddef>
#include <cstdint>
#include <optional>

#include "link/frame_format.h"

namespace quarn::link {

class ReplyView {
 public:
  ReplyView(const uint8_t* frame, size_t frameLength, FrameKind kind, ReplyLayout layout);

  // True when the reply holds an echoed code equal to code, bit 7 included.
  bool Echoes(uint8_t code) const;
  std::optional<uint8_t> Code() const { return At(codePosition_); }
  std::optional<uint8_t> Status() const { return At(codePosition_ + 1); }
  // Antenna reply frames only: the marker byte and the antenna number before the code.
  std::optional<uint8_t> Marker() const { return At(codePosition_ - kAntennaPrefixSize); }
  std::optional<uint8_t> Antenna() const { return At(codePosition_ - 1); }

  // Reply data byte k.
  std::optional<uint8_t> DataByte(size_t k) const;
  // Reply data bytes k to k + n - 1, or nullptr when any of them lies past the reply data.
  const uint8_t* Data(size_t k, size_t n) const;
  // Data bytes between the status byte and the CRC (CRC-mode frame) or the tail.
  size_t DataCount() const;

  // Any position before the CRC or the tail, bounds-checked; position 1 is the (first) length byte.
  std::optional<uint8_t> At(size_t position) const;
  // 1 when this view reads at the positions of the two-byte length form, else 0.
  size_t offset() const { return offset_; }
  // Whether the frame as received uses the two-byte length form (bit 7 of position 1).
  bool receivedTwoByteForm() const;

 private:
  const uint8_t* frame_;
  size_t frameLength_;
  size_t offset_;
  size_t codePosition_;
  size_t dataEnd_;  // one past the last data byte
};

}  // namespace quarn::link
