#pragma once
// The reader's secure access module (SAM; PSAM where its power is switched): the values its commands
// take and give. The APDUs are ISO/IEC 7816-4 short-form command APDUs, passed through unchanged.

#include <array>
#include <cstdint>
#include <vector>

namespace quarn {

// The SAM's status word, SW1 then SW2 (0x90 0x00 is the usual success).
struct StatusWord {
  uint8_t sw1 = 0;
  uint8_t sw2 = 0;
  uint16_t value() const { return static_cast<uint16_t>((sw1 << 8) | sw2); }
};

// What the SAM answered to one APDU: the Le response bytes the APDU asked for, then its status word.
struct SamResponse {
  std::vector<uint8_t> data;
  StatusWord statusWord;
};

// Which of the reader's SR the SAM information goes into.
enum class SrTarget : uint8_t { kA, kB };

// The PSAM slots the power command switches.
enum class PsamSlot : uint8_t { k1 = 1, k2 = 2 };

// The reader's SR information, 80 bytes.
using SrInfo = std::array<uint8_t, 80>;

// The four SR parameter bytes of an SR write, sent in this order; their meaning is the reader's.
using SrParams = std::array<uint8_t, 4>;

}  // namespace quarn
