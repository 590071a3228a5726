#pragma once
// Word and bit pointers travel as EPC Gen2 EBVs: 7 bits a byte, high group first, bit 7 set on every
// byte but the last. The library sends one or two bytes, so a pointer stops at 16383.

#include <cstddef>
#include <cstdint>

namespace quarn::cpp {

inline constexpr uint32_t kMaxTwoByteEbv = 0x3FFF;

struct Ebv {
  uint8_t bytes[2];
  size_t size;  // 0 when the value needs more than two bytes
};

inline Ebv EncodeEbv(uint32_t value) {
  if (value < 0x80) return {{static_cast<uint8_t>(value), 0}, 1};
  if (value > kMaxTwoByteEbv) return {{0, 0}, 0};
  return {{static_cast<uint8_t>(0x80 | (value >> 7)), static_cast<uint8_t>(value & 0x7F)}, 2};
}

// The value of a one- or two-byte EBV as the reader reports it (second byte read only when the first
// has bit 7 set).
inline uint32_t DecodeEbv(const uint8_t* bytes) {
  if ((bytes[0] & 0x80) == 0) return bytes[0];
  return (uint32_t{bytes[0] & 0x7Fu} << 7) | (bytes[1] & 0x7Fu);
}

}  // namespace quarn::cpp
