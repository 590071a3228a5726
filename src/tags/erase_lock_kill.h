#pragma once
// Erasing words of a memory bank, locking memory areas and passwords, and killing a tag, by the tag's
// record or on the single tag in the field. The single-tag forms hand back the answering tag's record
// and report no length: the caller sizes it by its first byte.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::tags {

link::Result EraseDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                    uint32_t wordCount, const uint8_t* epc, uint8_t* errorCode, uint32_t crcFlag);

link::Result EraseDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                            uint32_t wordCount, uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag);

// lockPayload: the 3 bytes LockGenCode builds, sent unread.
link::Result LockMemByEpc(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload, const uint8_t* epc,
                  uint8_t* errorCode, uint32_t crcFlag);

link::Result LockMemFromSingleTag(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload,
                          uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag);

link::Result KillTagByEpc(PortHandle port, const uint8_t* killPassword, const uint8_t* epc, uint8_t* errorCode,
                  uint32_t crcFlag);

link::Result KillSingleTag(PortHandle port, const uint8_t* killPassword, uint8_t* tagRecord, uint8_t* errorCode,
                   uint32_t crcFlag);

}  // namespace quarn::tags
