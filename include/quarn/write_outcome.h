#pragma once
// How a block write or an SR write ended. These writes may stop part way: the reader then says how many
// words it wrote, and the caller needs that as much as the error.

#include <cstdint>
#include <optional>

#include "quarn/tag.h"

namespace quarn {

enum class WriteStatus : uint8_t {
  kWritten = 0x00,               // every word was written
  kNoUsableReply = 0x80,         // no reply, or one that tells nothing: the words may or may not be written
  kFailedWithErrorCode = 0x81,   // stopped, with the reader's error code
  kFailedWithoutErrorCode = 0x82,  // stopped, without one
};

struct WriteOutcome {
  WriteStatus status = WriteStatus::kNoUsableReply;
  uint8_t writtenWordCount = 0;           // words written before a failure; 0 after success
  std::optional<uint8_t> readerErrorCode;  // with kFailedWithErrorCode
  // Block write by EPC: the record the tag answers to after the write (the old one with the words that
  // were written to the EPC bank laid over it). Writes to the single tag in the field: the answering
  // tag's record, when the reply carried a whole one.
  std::optional<TagRecord> tag;

  bool written() const { return status == WriteStatus::kWritten; }
};

}  // namespace quarn
