#include "link/frame_crc.h"

namespace quarn::link {

namespace {
constexpr uint16_t kCrcPreset = 0xFFFF;
constexpr uint16_t kCrcPolynomial = 0x1021;
}  // namespace

void ComputeFrameCrc(const uint8_t* bytes, size_t count, uint8_t out[kCrcSize]) {
  uint16_t crc = kCrcPreset;
  for (size_t i = 0; i < count; ++i) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool dataBit = ((bytes[i] >> bit) & 1u) != 0;
      const bool topBit = (crc & 0x8000u) != 0;
      crc = static_cast<uint16_t>(crc << 1);
      if (dataBit != topBit) crc ^= kCrcPolynomial;
    }
  }
  crc = static_cast<uint16_t>(~crc);
  out[0] = static_cast<uint8_t>(crc >> 8);
  out[1] = static_cast<uint8_t>(crc & 0xFF);
}

}  // namespace quarn::link
