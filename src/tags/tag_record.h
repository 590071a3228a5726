#pragma once
// The tag record (PC word, high byte first, then the EPC) and the EBV word pointer, as every tag
// family sends and receives them.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"

namespace quarn::tags {

// The largest record: 32 words.
inline constexpr size_t kMaxTagRecordSize = 64;

// ((byte 0 >> 3) + 1) x 2 bytes: the EPC-length field of the PC word plus the PC word itself, 2 to 64.
inline size_t TagRecordSize(uint8_t firstByte) { return ((static_cast<size_t>(firstByte) >> 3) + 1) * 2; }

// The word pointer is an EBV the caller encoded: its second byte exists only when the first has bit 7.
inline size_t WordPointerSize(const uint8_t* wordPtr) { return (wordPtr[0] & 0x80) != 0 ? 2 : 1; }

inline void AppendWordPointer(link::CommandFrame& frame, const uint8_t* wordPtr) {
  frame.Bytes(wordPtr, WordPointerSize(wordPtr));
}

// Sends the TagRecordSize(epc[0]) bytes of the record.
inline void AppendTagRecord(link::CommandFrame& frame, const uint8_t* epc) {
  frame.Bytes(epc, TagRecordSize(epc[0]));
}

}  // namespace quarn::tags
