#pragma once
// How a block write or an SR write ended, as reported through writeStatus, errorCode and
// writtenWordCount, and the decoding of the reply that tells it.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/outcome.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::tags {

inline constexpr uint8_t kWrittenInFull = QUARN_WRITE_STATUS_WRITTEN;
inline constexpr uint8_t kNoUsableReply = QUARN_WRITE_STATUS_NO_REPLY;
inline constexpr uint8_t kFailedWithErrorCode = QUARN_WRITE_STATUS_FAILED_WITH_CODE;
inline constexpr uint8_t kFailedWithoutErrorCode = QUARN_WRITE_STATUS_FAILED_WITHOUT_CODE;

// Bytes of a reply, or nullptr when they did not all arrive.
struct ReplyBytes {
  const uint8_t* bytes;
  size_t count;
};

// The data of a single-tag write success, counted by the reply's length byte less 3 (plain mode) or 5
// (CRC mode), on one byte as the reader sends it. A length byte that announces more than arrived (or
// that wraps below 3 or 5) gives nullptr; the caller still bounds the copy by its own buffer.
ReplyBytes SingleTagWriteData(const link::ReplyView& reply, bool crcMode);

// Which statuses make the first error form: the ByEPC writes take every status with bits 7 and 0 set
// (0x81, 0x83, ... 0xFF), the single-tag writes 0x81 alone. The second form is 0x82 in both.
enum class WriteReplyForm { kByEpc, kSingleTag };

struct WriteOutcome {
  uint8_t writeStatus;
  uint8_t errorCode;
  uint8_t writtenWordCount;
  // Single-tag form, inside the reply: after success the data the length byte counts, after an error
  // form the answering tag's record (TagRecordSize of its first byte). Empty otherwise.
  ReplyBytes tagBytes;
  // What happened, as the exchange names it.
  link::Result result;
};

// No reply, a wrong echoed code, a status of no known form, or a reply too short for its form; why
// tells which.
WriteOutcome NoUsableWriteReply(const link::Result& why);

// Finishes and exchanges a write command and classifies its reply. An error form missing its error code,
// its written-word count or (single tag) any byte of the tag's record counts as no usable reply, so
// nothing is copied from outside the reply. The outcome's tag bytes point into reply, so the caller keeps
// reply alive for as long as it reads them.
WriteOutcome ExchangeWrite(PortHandle port, link::CommandFrame& frame, WriteReplyForm form, link::ReceivedFrame& reply);

inline bool WrittenInFull(const WriteOutcome& outcome) { return outcome.writeStatus == kWrittenInFull; }

// Writes the three one-byte out-parameters, on every path.
void StoreWriteOutcome(const WriteOutcome& outcome, uint8_t* errorCode, uint8_t* writeStatus,
                       uint8_t* writtenWordCount);

}  // namespace quarn::tags
