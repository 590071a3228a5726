#include "tags/tag_record.h"

#include <cstring>


namespace quarn::tags {

const uint8_t* FindTagRecord(const link::ReplyView& reply, size_t dataIndex) {
  const std::optional<uint8_t> firstByte = reply.DataByte(dataIndex);
  if (!firstByte.has_value()) return nullptr;
  return reply.Data(dataIndex, TagRecordSize(*firstByte));
}

size_t StoreTagRecord(const uint8_t* record, uint8_t* tagRecord) {
  const size_t size = TagRecordSize(record[0]);
  std::memcpy(tagRecord, record, size);
  return size;
}

bool CopyTagRecord(const link::ReplyView& reply, size_t dataIndex, uint8_t* tagRecord, uint8_t* tagRecordLength) {
  const uint8_t* record = FindTagRecord(reply, dataIndex);
  if (record == nullptr) return false;
  const size_t size = StoreTagRecord(record, tagRecord);
  if (tagRecordLength != nullptr) *tagRecordLength = static_cast<uint8_t>(size);
  return true;
}

link::Result ExchangeTagCommand(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply,
                                uint8_t* errorCode) {
  const link::Result result = link::Exchange(port, frame, reply);
  *errorCode = result.errorCode;
  return result;
}

}  // namespace quarn::tags
