#pragma once
// The short-form command APDU as the SAM commands carry it: which of the four cases a block is, how many
// response bytes it asks for, and whether it fits a frame whose length the reader reads as one byte.

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quarn::sam {

struct ApduBlock {
  size_t length;   // bytes sent: the low byte of apduLength
  size_t le;       // response bytes expected; 0 in cases 1 and 3, and an Le of 0 is no response, not 256
  bool carriesLe;  // cases 2 and 4, whose Le the caller learns through responseLength
};

// The case rule. Nothing for a block that is none of the four cases.
std::optional<ApduBlock> ClassifyApdu(const uint8_t* apdu, uint32_t apduLength);

// A frame length value above 127 would be read by the reader as the first of two length bytes, so a
// longer APDU cannot travel in the one-byte form these commands use.
bool FitsOneByteFrame(const ApduBlock& block, uint32_t crcFlag);

}  // namespace quarn::sam
