#pragma once
// Erasing words of a memory bank, locking memory areas and passwords, and killing a tag, by the tag's
// record or on the single tag in the field. The single-tag forms hand back the answering tag's record
// and report no length: the caller sizes it by its first byte.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::tags {

bool EraseDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                    uint32_t wordCount, const uint8_t* epc, uint8_t* errorCode, uint32_t crcFlag);

bool EraseDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                            uint32_t wordCount, uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag);

// lockPayload: the 3 bytes LockGenCode builds, sent unread.
bool LockMemByEpc(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload, const uint8_t* epc,
                  uint8_t* errorCode, uint32_t crcFlag);

bool LockMemFromSingleTag(PortHandle port, const uint8_t* accessPassword, const uint8_t* lockPayload,
                          uint8_t* tagRecord, uint8_t* errorCode, uint32_t crcFlag);

bool KillTagByEpc(PortHandle port, const uint8_t* killPassword, const uint8_t* epc, uint8_t* errorCode,
                  uint32_t crcFlag);

bool KillSingleTag(PortHandle port, const uint8_t* killPassword, uint8_t* tagRecord, uint8_t* errorCode,
                   uint32_t crcFlag);

}  // namespace quarn::tags
