#pragma once
// The ordinary writes: words into one memory bank, by the tag's record or to the single tag in the
// field. Their frames always carry a one-byte length; longer writes are the block writes' business.

#include <cstdint>

#include "link/command_frame.h"
#include "link/outcome.h"
#include "quarn_api.h"
#include "tags/write_outcome.h"

namespace quarn::tags {

// What every write sends before the tag's record: the memory address, the word count's low byte and
// 2 x that count data bytes. A count of 0 is sent as it stands, with no data.
void AppendWrittenWords(link::CommandFrame& frame, const uint8_t* accessPassword, uint32_t bank,
                        const uint8_t* wordPtr, uint32_t wordCount, const uint8_t* data);

// Copies what a single-tag write answered into the caller's 64-byte tagRecord and returns the count
// copied. A reply that announces more than 64 bytes gives its first 64.
uint8_t StoreAnsweredTag(const ReplyBytes& answered, uint8_t* tagRecord);

link::Result WriteDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                    uint32_t wordCount, const uint8_t* epc, const uint8_t* data, uint8_t* errorCode, uint32_t crcFlag);

// tagRecord receives the reply data the length byte counts, at most 64 bytes.
link::Result WriteDataToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                          uint32_t wordCount, const uint8_t* data, uint8_t* tagRecord, uint8_t* tagRecordLength,
                          uint8_t* errorCode, uint32_t crcFlag);

}  // namespace quarn::tags
