#pragma once
// Telling the reader to write its SR data into a tag, addressed by its record or as the single tag in
// the field. The outcome is reported as for the block writes.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::sam {

// A single-tag success may report up to 255 data bytes; the caller's buffer holds that many.
inline constexpr size_t kMaxSrTagDataSize = QUARN_SR_TAG_RECORD_SIZE;

// How the tag is reached and what the reader is told, in frame order (the record of a ByEPC write
// follows the four SR parameters).
struct SrWriteRequest {
  const uint8_t* accessPassword;  // 4 bytes
  uint32_t bank;
  const uint8_t* wordPtr;  // 1 or 2 bytes
  uint32_t srParams[4];
};

struct SrWriteOutputs {
  uint8_t* errorCode;
  uint8_t* writeStatus;
  uint8_t* writtenWordCount;
};

link::Result WriteSrToTagByEpc(PortHandle port, const SrWriteRequest& request, const uint8_t* epc,
                       const SrWriteOutputs& outputs, uint32_t crcFlag);

link::Result WriteSrToTagSingle(PortHandle port, const SrWriteRequest& request, uint8_t* tagRecord, uint8_t* tagRecordLength,
                        const SrWriteOutputs& outputs, uint32_t crcFlag);

}  // namespace quarn::sam
