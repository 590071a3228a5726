#pragma once
// Reply and command frames built independently of the library's codec, so that the two cannot agree on
// a mistake: the tests pin the library to these and to literal frames.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace quarn::testing {

using Bytes = std::vector<uint8_t>;

// Frame bytes with stuffing, head to tail, built independently of the library's codec so that the two
// cannot agree on a mistake. code is given as it goes on the wire (bit 7 set for CRC mode).
Bytes StuffedFrame(const Bytes& unstuffed);
// An unstuffed frame in the one-byte form (or the two-byte form when its count exceeds 127):
// head, length, code, payload, CRC when code has bit 7, tail.
Bytes ReplyFrame(uint8_t code, const Bytes& payload);
// The same with the two-byte length form always.
Bytes LongReplyFrame(uint8_t code, const Bytes& payload);
// An antenna reply frame: marker 0xFE and the antenna number before the code.
Bytes AntennaReplyFrame(uint8_t antenna, uint8_t code, const Bytes& payload);
// An unstuffed frame from its parts (everything between the length field and the CRC): the two-byte
// length form when asked or when the one-byte count would pass 127, and the CRC when withCrc.
Bytes FrameEnvelope(bool twoByteForm, const Bytes& inner, bool withCrc);
// StuffedFrame(ReplyFrame(code, payload)): what a reader puts on the wire.
Bytes WireReply(uint8_t code, const Bytes& payload);
// The reference CRC-16 over bytes, high byte first.
Bytes ReferenceCrc(const Bytes& bytes);
// Concatenation.
Bytes Join(std::initializer_list<Bytes> parts);
// The CRC-mode form of a plain one-byte-form frame: code bit 7, two more in the length, the CRC before the
// tail.
Bytes CrcForm(const Bytes& plain);
// A tag record with the given first byte, as long as that byte says, its later bytes counting up from 0x41.
Bytes CountingRecord(uint8_t firstByte);
// bytes behind their count, two bytes high first, as data blocks travel.
Bytes LengthPrefixed(const Bytes& bytes);

// Gathers the unstuffed command frames out of the bytes a library writes, as a reader would.
class CommandUnstuffer {
 public:
  // Takes one written byte; true when it completed a frame, which frame() then holds, head to tail.
  bool Take(uint8_t value);
  const Bytes& frame() const { return current_; }

 private:
  Bytes current_;
  bool inFrame_ = false;
  bool escaped_ = false;
};

}  // namespace quarn::testing
