#pragma once
// Reading words of one memory bank of one tag, addressed by its record (ByEpc) or as the single tag in
// the field (FromSingleTag, which also hands back the answering tag's record). The Max forms send a word
// count of 0 and receive the data behind an explicit two-byte length.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::tags {

link::Result ReadDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                   uint32_t wordCount, const uint8_t* epc, uint8_t* data, uint8_t* errorCode, uint32_t crcFlag);

link::Result ReadDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                           uint32_t wordCount, uint8_t* data, uint8_t* tagRecord, uint8_t* tagRecordLength,
                           uint8_t* errorCode, uint32_t crcFlag);

link::Result ReadMaxDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                      const uint8_t* epc, uint8_t* dataLength, uint8_t* data, uint8_t* errorCode, uint32_t crcFlag);

link::Result ReadMaxDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                              uint8_t* dataLength, uint8_t* data, uint8_t* tagRecord, uint8_t* tagRecordLength,
                              uint8_t* errorCode, uint32_t crcFlag);

}  // namespace quarn::tags
