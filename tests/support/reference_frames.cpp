#include "reference_frames.h"

#include <cstddef>

namespace quarn::testing {

Bytes ReferenceCrc(const Bytes& bytes) {
  // Bytewise, with the register's top byte folded in at once: a different road to the same CRC-16.
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc = static_cast<uint16_t>(crc ^ (byte << 8));
    for (int i = 0; i < 8; ++i) {
      crc = static_cast<uint16_t>((crc & 0x8000) ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  crc = static_cast<uint16_t>(~crc);
  return {static_cast<uint8_t>(crc >> 8), static_cast<uint8_t>(crc)};
}

Bytes StuffedFrame(const Bytes& unstuffed) {
  Bytes wire;
  for (size_t i = 0; i < unstuffed.size(); ++i) {
    const uint8_t value = unstuffed[i];
    const bool body = i > 0 && i + 1 < unstuffed.size();
    if (body && (value == 0xAA || value == 0x55 || value == 0xFF)) wire.push_back(0xFF);
    wire.push_back(value);
  }
  return wire;
}

Bytes FrameEnvelope(bool twoByteForm, const Bytes& inner, bool withCrc) {
  const size_t count = 1 + inner.size() + (withCrc ? 2 : 0);
  Bytes body;
  if (twoByteForm || count > 127) {
    const size_t n = count + 1;
    body = {static_cast<uint8_t>(0x80 | (n >> 7)), static_cast<uint8_t>(n & 0x7F)};
  } else {
    body = {static_cast<uint8_t>(count)};
  }
  body.insert(body.end(), inner.begin(), inner.end());
  if (withCrc) {
    const Bytes crc = ReferenceCrc(body);
    body.insert(body.end(), crc.begin(), crc.end());
  }
  Bytes frame;
  frame.reserve(body.size() + 2);
  frame.push_back(0xAA);
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(0x55);
  return frame;
}


Bytes ReplyFrame(uint8_t code, const Bytes& payload) {
  return FrameEnvelope(false, Join({{code}, payload}), (code & 0x80) != 0);
}

Bytes LongReplyFrame(uint8_t code, const Bytes& payload) {
  return FrameEnvelope(true, Join({{code}, payload}), (code & 0x80) != 0);
}

Bytes AntennaReplyFrame(uint8_t antenna, uint8_t code, const Bytes& payload) {
  return FrameEnvelope(false, Join({{0xFE, antenna, code}, payload}), (code & 0x80) != 0);
}

Bytes WireReply(uint8_t code, const Bytes& payload) { return StuffedFrame(ReplyFrame(code, payload)); }

Bytes Join(std::initializer_list<Bytes> parts) {
  Bytes joined;
  for (const Bytes& part : parts) joined.insert(joined.end(), part.begin(), part.end());
  return joined;
}

Bytes CrcForm(const Bytes& plain) {
  Bytes body{static_cast<uint8_t>(plain[1] + 2), static_cast<uint8_t>(plain[2] | 0x80)};
  body.insert(body.end(), plain.begin() + 3, plain.end() - 1);
  return Join({{0xAA}, body, ReferenceCrc(body), {0x55}});
}

Bytes CountingRecord(uint8_t firstByte) {
  Bytes record{firstByte};
  const size_t size = ((firstByte >> 3) + 1) * 2;
  for (size_t i = 1; i < size; ++i) record.push_back(static_cast<uint8_t>(0x40 + i));
  return record;
}

Bytes LengthPrefixed(const Bytes& bytes) {
  return Join({{static_cast<uint8_t>(bytes.size() >> 8), static_cast<uint8_t>(bytes.size())}, bytes});
}

bool CommandUnstuffer::Take(uint8_t value) {
  if (!inFrame_) {
    if (value != 0xAA) return false;
    inFrame_ = true;
    escaped_ = false;
    current_.assign(1, value);
    return false;
  }
  if (escaped_) {
    current_.push_back(value);
    escaped_ = false;
    return false;
  }
  if (value == 0xFF) {
    escaped_ = true;
    return false;
  }
  current_.push_back(value);
  if (value != 0x55) return false;
  inFrame_ = false;
  return true;
}

}  // namespace quarn::testing
