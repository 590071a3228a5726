#include "sam/apdu_case.h"

#include "link/frame_format.h"

namespace quarn::sam {

namespace {

constexpr size_t kHeaderSize = 4;        // CLA, INS, P1, P2
constexpr size_t kLcPosition = 4;        // Lc in cases 3 and 4, Le in case 2
constexpr size_t kLcCaseOverhead = 5;    // header and Lc before the command data
constexpr size_t kLcLeCaseOverhead = 6;  // header, Lc and the trailing Le

ApduBlock HeaderOnly() { return {kHeaderSize, 0, false}; }

}  // namespace

std::optional<ApduBlock> ClassifyApdu(const uint8_t* apdu, uint32_t apduLength) {
  const size_t length = apduLength & 0xFFu;
  if (length == kHeaderSize) return HeaderOnly();
  if (length == kHeaderSize + 1) return ApduBlock{length, apdu[kLcPosition], true};
  if (length < kHeaderSize) return std::nullopt;
  const size_t lc = apdu[kLcPosition];
  if (length == lc + kLcCaseOverhead) return ApduBlock{length, 0, false};
  if (length == lc + kLcLeCaseOverhead) return ApduBlock{length, apdu[length - 1], true};
  return std::nullopt;
}

bool FitsOneByteFrame(const ApduBlock& block, uint32_t crcFlag) {
  // The length value counts the length byte, the code, the APDU and the CRC.
  const size_t value = 2 + block.length + (link::IsCrcMode(crcFlag) ? 2 : 0);
  return value <= link::kMaxOneByteLength;
}

}  // namespace quarn::sam
