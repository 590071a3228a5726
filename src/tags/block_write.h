#pragma once
// Block writes: words into one memory bank in one frame, however long (the two-byte length form when
// needed), with the outcome told by writeStatus and writtenWordCount. The EPC forms give a tag a new EPC
// by block-writing a new PC word and the EPC from bank word 1 on.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::tags {

// newTagRecord (64 bytes) receives the record the tag answers to after the write: the copy of epc with
// the written EPC-bank words laid over it.
link::Result BlockWriteDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                         uint32_t wordCount, const uint8_t* epc, const uint8_t* data, uint8_t* errorCode,
                         uint8_t* writeStatus, uint8_t* writtenWordCount, uint8_t* newTagRecord, uint32_t crcFlag);

link::Result BlockWriteDataToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                               uint32_t wordCount, const uint8_t* data, uint8_t* tagRecord, uint8_t* tagRecordLength,
                               uint8_t* writeStatus, uint8_t* errorCode, uint8_t* writtenWordCount, uint32_t crcFlag);

link::Result BlockWriteEpcByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t epcWordCount, const uint8_t* epc,
                        const uint8_t* newEpc, uint8_t* errorCode, uint8_t* writeStatus, uint8_t* writtenWordCount,
                        uint8_t* newTagRecord, uint32_t crcFlag);

link::Result BlockWriteEpcToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t epcWordCount,
                              const uint8_t* newEpc, uint8_t* tagRecord, uint8_t* tagRecordLength,
                              uint8_t* writeStatus, uint8_t* errorCode, uint8_t* writtenWordCount, uint32_t crcFlag);

}  // namespace quarn::tags
