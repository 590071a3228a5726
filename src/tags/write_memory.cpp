#include "tags/write_memory.h"

#include <cstring>

#include "link/exchange.h"
#include "tags/tag_record.h"

namespace quarn::tags {

void AppendWrittenWords(link::CommandFrame& frame, const uint8_t* accessPassword, uint32_t bank,
                        const uint8_t* wordPtr, uint32_t wordCount, const uint8_t* data) {
  const uint8_t count = static_cast<uint8_t>(wordCount & 0xFF);
  AppendMemoryAddress(frame, accessPassword, bank, wordPtr);
  frame.Byte(count).Bytes(data, 2 * static_cast<size_t>(count));
}

uint8_t StoreAnsweredTag(const ReplyBytes& answered, uint8_t* tagRecord) {
  const size_t count = answered.count < kMaxTagRecordSize ? answered.count : kMaxTagRecordSize;
  if (count > 0) std::memcpy(tagRecord, answered.bytes, count);
  return static_cast<uint8_t>(count);
}

link::Result WriteDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                    uint32_t wordCount, const uint8_t* epc, const uint8_t* data, uint8_t* errorCode,
                    uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kWriteDataByEpc, crcFlag);
  AppendWrittenWords(frame, accessPassword, bank, wordPtr, wordCount, data);
  AppendTagRecord(frame, epc);
  link::ReceivedFrame reply;
  return ExchangeTagCommand(port, frame, reply, errorCode);
}

link::Result WriteDataToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank,
                                  const uint8_t* wordPtr, uint32_t wordCount, const uint8_t* data, uint8_t* tagRecord,
                                  uint8_t* tagRecordLength, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kWriteDataToSingleTag, crcFlag);
  AppendWrittenWords(frame, accessPassword, bank, wordPtr, wordCount, data);
  link::ReceivedFrame reply;
  const link::Result result = ExchangeTagCommand(port, frame, reply, errorCode);
  if (!result) return result;
  const ReplyBytes answered = SingleTagWriteData(reply.View(), frame.crcMode());
  if (answered.bytes == nullptr) return link::TooShort();
  *tagRecordLength = StoreAnsweredTag(answered, tagRecord);
  return result;
}

}  // namespace quarn::tags
