#pragma once
// Constants of the frame envelope shared by the codec, the sender and the receivers.

#include <cstddef>
#include <cstdint>
#include "quarn_api.h"

namespace quarn::link {

inline constexpr uint8_t kFrameHead = 0xAA;
inline constexpr uint8_t kFrameTail = 0x55;
inline constexpr uint8_t kEscapeByte = 0xFF;

// Both the command buffer and the receive buffer hold one unstuffed frame from the head on.
inline constexpr size_t kFrameBufferSize = 2048;
// The head and the tail are outside the body, so the largest body length a buffer can hold.
inline constexpr size_t kMaxBodyLength = kFrameBufferSize - 2;

// A one-byte count above this value no longer fits the one-byte length form.
inline constexpr size_t kMaxOneByteLength = QUARN_MAX_ONE_BYTE_LENGTH;
inline constexpr uint8_t kTwoByteLengthFlag = 0x80;

// The code sits two bytes further on in antenna reply frames, behind the marker and the antenna number.
inline constexpr uint8_t kAntennaMarker = 0xFE;
inline constexpr size_t kAntennaPrefixSize = 2;

inline constexpr uint8_t kCrcModeCodeBit = 0x80;
// In CRC mode the body ends with a CRC-16, high byte first, counted in the length.
inline constexpr size_t kCrcSize = 2;

enum class FrameKind { kPlain, kAntenna };

// Where a reply's code, status and data are read.
enum class ReplyLayout {
  kOneByteForm,  // code at 2, status at 3, data from 4, whatever the reply's length field says
  kTwoByteForm,  // one position further on: code at 3, status at 4, data from 5
  kAsReceived,   // by bit 7 of the reply's position 1
};

// Which length forms a command frame may take.
enum class LengthForms {
  // The length is always one byte. Only commands whose frames stay short use this form; a count above
  // 255 keeps its low byte, as the reader expects the caller to keep such commands short.
  kOneByteOnly,
  // The two-byte length form is taken when the one-byte count would exceed 127.
  kTwoByteWhenLong,
};

inline bool NeedsEscape(uint8_t value) {
  return value == kFrameHead || value == kFrameTail || value == kEscapeByte;
}

inline bool IsCrcMode(uint32_t crcFlag) { return (crcFlag & 1u) != 0; }

}  // namespace quarn::link
