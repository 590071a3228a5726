#include "tags/tag_record.h"

#include <cstring>

#include "link/status_rules.h"

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

TagReply CheckTagReply(const link::ReplyView& reply, uint8_t codeSent) {
  const std::optional<uint8_t> status = reply.Status();
  if (!reply.Echoes(codeSent) || !status.has_value()) return {false, link::kNoErrorCode};
  if (link::HasErrorBitClear(*status)) return {true, link::kNoErrorCode};
  if (!link::CarriesErrorCode(*status)) return {false, link::kNoErrorCode};
  return {false, reply.DataByte(0).value_or(link::kNoErrorCode)};
}

bool ExchangeTagCommand(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply,
                        link::ReplyLayout layout, uint8_t* errorCode) {
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) {
    *errorCode = link::kNoErrorCode;
    return false;
  }
  const TagReply checked = CheckTagReply(reply.View(layout), frame.code());
  *errorCode = checked.errorCode;
  return checked.succeeded;
}

}  // namespace quarn::tags
