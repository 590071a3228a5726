#pragma once
// The reader's own settings and identity as values: the baud rate of its port, its frequency
// configuration, version bytes, unique identifier and power amplifier status. Their meaning is the
// reader's; the library carries the bytes unchanged.

#include <array>
#include <cstdint>
#include <string>

#include "quarn/bytes.h"

namespace quarn {

// The four rates the reader's port runs at.
enum class Baud : uint8_t { k9600, k19200, k57600, k115200 };

// The seven bytes of the frequency configuration, in the one order GetFrequency reads them and
// SetFrequency writes them (freq0, freq1, freq23[0], freq23[1], freq4, freq5, freq6).
struct FrequencyConfig {
  std::array<uint8_t, 7> bytes{};

  friend bool operator==(const FrequencyConfig& a, const FrequencyConfig& b) { return a.bytes == b.bytes; }
  friend bool operator!=(const FrequencyConfig& a, const FrequencyConfig& b) { return !(a == b); }
};

// The reader's nine version bytes, as it sends them: a 6-byte block and a 3-byte block.
struct Version {
  std::array<uint8_t, 6> block1{};
  std::array<uint8_t, 3> block2{};

  std::string hex() const { return ToHex(block1) + " " + ToHex(block2); }
};

// The reader's 12-byte unique identifier.
using ReaderUid = std::array<uint8_t, 12>;

// The power amplifier's state: the reader answers status 0 when the amplifier is well, and another
// status byte (its own code) when it is not.
struct PaStatus {
  uint8_t status = 0;
  bool ok() const { return status == 0; }
};

}  // namespace quarn
