#pragma once
// The secure access module in the reader's two PSAM slots, answering a few ISO/IEC 7816-4 commands,
// and the 80 bytes of SR information (SR A, bytes 0 to 39, and SR B, bytes 40 to 79).

#include <array>
#include <cstdint>
#include <optional>
#include <random>

#include "sim/codec/frame_codec.h"

namespace quarn::sim {

struct ApduResponse {
  Bytes data;  // exactly Le bytes: what the card returned, zero-filled or cut to Le
  uint8_t sw1 = 0x90;
  uint8_t sw2 = 0x00;
  bool ok() const { return sw1 == 0x90 && sw2 == 0x00; }
};

inline constexpr size_t kSrSize = 80;
inline constexpr size_t kSrHalf = 40;

class Sam {
 public:
  explicit Sam(uint32_t seed);

  // Slots 1 and 2. Switching a slot on makes it the one the SAM commands reach; switching the active
  // slot off falls back to the other slot when that one is on. Returns the answer to reset on power-on.
  Bytes SetPower(uint8_t slot, bool on);
  bool powered() const { return activeSlot_ != 0; }
  uint8_t activeSlot() const { return activeSlot_; }

  // One short APDU (cases 1 to 4, the host's length rule). A block of no valid case answers 67 00.
  ApduResponse Process(const Bytes& apdu);

  std::array<uint8_t, kSrSize>& sr() { return sr_; }
  // Puts a response into SR A (part 0) or SR B (part 1), zero-filled to 40 bytes.
  void StoreInSr(int part, const Bytes& data);

 private:
  ApduResponse Select(uint8_t p1, const Bytes& data);
  ApduResponse GetChallenge(size_t le);
  ApduResponse ReadBinary(uint8_t p1, uint8_t p2, size_t le);
  ApduResponse GetData(uint8_t p1, uint8_t p2, size_t le);

  std::array<bool, 2> slotOn_{true, false};
  uint8_t activeSlot_ = 1;
  uint16_t selectedFile_ = 0x3F00;
  Bytes serial_;
  Bytes binaryFile_;
  std::array<uint8_t, kSrSize> sr_{};
  std::mt19937 random_;
};

}  // namespace quarn::sim
