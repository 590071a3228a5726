#pragma once
// Expected command frames and sample records for the tag access tests, built independently of the
// library's frame builder.

#include <algorithm>
#include <cstdint>

#include "fake_serial.h"

namespace quarn::testing::tags {

inline constexpr uint8_t kSentinel = 0xEE;

// A buffer the library must leave alone except where an export documents a write.
inline Bytes Sentinels(size_t count) { return Bytes(count, kSentinel); }

// A record with a 6-word EPC: PC word 0x30 0x00 and 12 EPC bytes.
inline Bytes Record14() {
  return {0x30, 0x00, 0xE2, 0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA};
}

// Another tag's record of the same size, for replies.
inline Bytes OtherRecord14() {
  return {0x30, 0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C};
}

inline const Bytes kPassword = {0x11, 0x22, 0x33, 0x44};

// The unstuffed command frame: the one-byte length form, or the two-byte form when allowed and the
// one-byte count would pass 127; CRC over the length field through the parameters in CRC mode.
inline Bytes ExpectedCommand(uint8_t plainCode, const Bytes& params, bool crcMode, bool twoByteAllowed = false) {
  const size_t count = 2 + params.size() + (crcMode ? 2 : 0);
  Bytes body;
  if (twoByteAllowed && count > 127) {
    body = {static_cast<uint8_t>(0x80 | ((count + 1) >> 7)), static_cast<uint8_t>((count + 1) & 0x7F)};
  } else {
    body = {static_cast<uint8_t>(count)};
  }
  body.push_back(crcMode ? static_cast<uint8_t>(plainCode | 0x80) : plainCode);
  body.insert(body.end(), params.begin(), params.end());
  if (crcMode) body = Join({body, ReferenceCrc(body)});
  return Join({{0xAA}, body, {0x55}});
}

// Fills a sentinel buffer's first bytes with a record, the rest staying sentinel.
inline Bytes WithPrefix(const Bytes& prefix, size_t size) {
  Bytes buffer = Sentinels(size);
  std::copy(prefix.begin(), prefix.end(), buffer.begin());
  return buffer;
}

// Bytes 0, 1, 2, ... as distinguishable data.
inline Bytes Counting(size_t count, uint8_t first = 0) {
  Bytes bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
  return bytes;
}

inline Bytes Head(const Bytes& bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + count); }

}  // namespace quarn::testing::tags
