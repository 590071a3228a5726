#pragma once
// The checks and conversions every tag operation shares: the word pointer's EBV, the words to write,
// and the tag records the core writes into 64-byte buffers.

#include <cstddef>
#include <cstdint>

#include "cpp/call.h"
#include "cpp/ebv.h"
#include "quarn/tag.h"

namespace quarn::cpp {

// The largest record a reply can hand back, and so the buffer the core writes one into.
inline constexpr size_t kRecordBuffer = TagRecord::kMaxSize;

// start as the EBV the core sends; false, with kInvalidArgument recorded, past 16383.
inline bool EncodePointer(Call& call, WordPointer start, Ebv& ebv) {
  ebv = EncodeEbv(start.address());
  if (ebv.size != 0) return true;
  return call.Invalid("a word pointer goes up to 16383: the reader takes a one- or two-byte EBV");
}

// The word count of words: false, with kInvalidArgument recorded, for an odd byte count or more than
// 255 words.
inline bool CountWords(Call& call, ByteView words, uint8_t& wordCount) {
  if (words.size() % 2 != 0) return call.Invalid("words are 2 bytes each, high byte first: give an even byte count");
  if (words.size() > 2 * 255) return call.Invalid("at most 255 words go in one write");
  wordCount = static_cast<uint8_t>(words.size() / 2);
  return true;
}

// The bank as the core sends it: the enum's values are the bank codes.
inline uint32_t BankCode(MemoryBank bank) { return static_cast<uint32_t>(bank); }

// The record at the start of buffer, sized by its first byte.
inline TagRecord RecordIn(const uint8_t* buffer) {
  std::error_code ignored;  // a size taken from the first byte always passes the size rule
  return TagRecord::FromBytes(ByteView(buffer, TagRecord::SizeFor(buffer[0])), ignored);
}

}  // namespace quarn::cpp
