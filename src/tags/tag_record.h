#pragma once
// The tag record (PC word, high byte first, then the EPC) and the EBV word pointer, as every tag
// family sends and receives them, and the reply rule that every tag operation shares.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::tags {

// The largest record: 32 words.
inline constexpr size_t kMaxTagRecordSize = QUARN_TAG_RECORD_MAX_SIZE;

// ((byte 0 >> 3) + 1) x 2 bytes: the EPC-length field of the PC word plus the PC word itself, 2 to 64.
inline size_t TagRecordSize(uint8_t firstByte) { return static_cast<size_t>(QUARN_TAG_RECORD_SIZE(firstByte)); }

// The word pointer is an EBV the caller encoded: its second byte exists only when the first has bit 7.
inline size_t WordPointerSize(const uint8_t* wordPtr) { return (wordPtr[0] & 0x80) != 0 ? 2 : 1; }

inline void AppendWordPointer(link::CommandFrame& frame, const uint8_t* wordPtr) {
  frame.Bytes(wordPtr, WordPointerSize(wordPtr));
}

// Sends the TagRecordSize(epc[0]) bytes of the record.
inline void AppendTagRecord(link::CommandFrame& frame, const uint8_t* epc) {
  frame.Bytes(epc, TagRecordSize(epc[0]));
}

// The address of tag memory as every memory command begins: the 4 password bytes in the order given,
// the bank's low byte, then the word pointer.
inline void AppendMemoryAddress(link::CommandFrame& frame, const uint8_t* accessPassword, uint32_t bank,
                                const uint8_t* wordPtr) {
  frame.Bytes(accessPassword, 4).Byte(bank);
  AppendWordPointer(frame, wordPtr);
}

// The record that starts at reply data byte dataIndex, or nullptr when its first byte, or any of the
// bytes that first byte announces, lies past the reply data. Its size is TagRecordSize(record[0]).
const uint8_t* FindTagRecord(const link::ReplyView& reply, size_t dataIndex);

// Copies a record found by FindTagRecord into the caller's buffer (at most 64 bytes) and returns its size.
size_t StoreTagRecord(const uint8_t* record, uint8_t* tagRecord);

// FindTagRecord then StoreTagRecord: false, with tagRecord and tagRecordLength untouched, when the reply
// does not hold the whole record. tagRecordLength may be nullptr for the exports that report no length.
bool CopyTagRecord(const link::ReplyView& reply, size_t dataIndex, uint8_t* tagRecord, uint8_t* tagRecordLength);

// Finishes and sends the command, receives its reply and checks it by the command's row. errorCode is
// written on every path: kNoErrorCode unless the reply carried the reader's code.
link::Result ExchangeTagCommand(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply,
                                uint8_t* errorCode);

}  // namespace quarn::tags
