#include "tags/write_outcome.h"

#include <optional>

#include "link/frame_format.h"
#include "link/status_rules.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

constexpr size_t kLengthPosition = 1;
// The length byte counts itself, the code and the status before the data, and the CRC in CRC mode.
constexpr uint8_t kPlainOverhead = 3;
constexpr uint8_t kCrcOverhead = 5;

constexpr uint8_t kSecondErrorFormStatus = 0x82;
constexpr uint8_t kSingleTagFirstErrorFormStatus = 0x81;

bool IsFirstErrorForm(uint8_t status, WriteReplyForm form) {
  return form == WriteReplyForm::kByEpc ? link::CarriesErrorCode(status)
                                        : status == kSingleTagFirstErrorFormStatus;
}

ReplyBytes RecordAt(const link::ReplyView& reply, size_t dataIndex, WriteReplyForm form) {
  if (form == WriteReplyForm::kByEpc) return {nullptr, 0};
  const uint8_t* record = FindTagRecord(reply, dataIndex);
  return {record, record == nullptr ? 0 : TagRecordSize(record[0])};
}

WriteOutcome Succeeded(const link::ReplyView& reply, uint8_t codeSent, WriteReplyForm form) {
  if (form == WriteReplyForm::kByEpc) return {kWrittenInFull, link::kNoErrorCode, 0, {nullptr, 0}};
  const ReplyBytes data = SingleTagWriteData(reply, (codeSent & link::kCrcModeCodeBit) != 0);
  if (data.bytes == nullptr) return NoUsableWriteReply();
  return {kWrittenInFull, link::kNoErrorCode, 0, data};
}

// Error code at data byte 0, written-word count at 1, the single tag's record from 2.
WriteOutcome FirstErrorForm(const link::ReplyView& reply, WriteReplyForm form) {
  const std::optional<uint8_t> errorCode = reply.DataByte(0);
  const std::optional<uint8_t> written = reply.DataByte(1);
  const ReplyBytes record = RecordAt(reply, 2, form);
  if (!errorCode || !written || (form == WriteReplyForm::kSingleTag && record.bytes == nullptr)) {
    return NoUsableWriteReply();
  }
  return {kFailedWithErrorCode, *errorCode, *written, record};
}

// Written-word count at data byte 0, the single tag's record from 1.
WriteOutcome SecondErrorForm(const link::ReplyView& reply, WriteReplyForm form) {
  const std::optional<uint8_t> written = reply.DataByte(0);
  const ReplyBytes record = RecordAt(reply, 1, form);
  if (!written || (form == WriteReplyForm::kSingleTag && record.bytes == nullptr)) return NoUsableWriteReply();
  return {kFailedWithoutErrorCode, link::kNoErrorCode, *written, record};
}

}  // namespace

ReplyBytes SingleTagWriteData(const link::ReplyView& reply, bool crcMode) {
  const std::optional<uint8_t> lengthByte = reply.At(kLengthPosition);
  if (!lengthByte.has_value()) return {nullptr, 0};
  const size_t count = static_cast<uint8_t>(*lengthByte - (crcMode ? kCrcOverhead : kPlainOverhead));
  return {reply.Data(0, count), count};
}

WriteOutcome NoUsableWriteReply() { return {kNoUsableReply, link::kNoErrorCode, 0, {nullptr, 0}}; }

WriteOutcome DecodeWriteOutcome(const link::ReplyView& reply, uint8_t codeSent, WriteReplyForm form) {
  const std::optional<uint8_t> status = reply.Status();
  if (!reply.Echoes(codeSent) || !status.has_value()) return NoUsableWriteReply();
  if (link::HasErrorBitClear(*status)) return Succeeded(reply, codeSent, form);
  if (IsFirstErrorForm(*status, form)) return FirstErrorForm(reply, form);
  if (*status == kSecondErrorFormStatus) return SecondErrorForm(reply, form);
  return NoUsableWriteReply();
}

void StoreWriteOutcome(const WriteOutcome& outcome, uint8_t* errorCode, uint8_t* writeStatus,
                       uint8_t* writtenWordCount) {
  *errorCode = outcome.errorCode;
  *writeStatus = outcome.writeStatus;
  *writtenWordCount = outcome.writtenWordCount;
}

WriteOutcome ExchangeWrite(PortHandle port, link::CommandFrame& frame, WriteReplyForm form, link::ReceivedFrame& reply) {
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return NoUsableWriteReply();
  return DecodeWriteOutcome(reply.View(), frame.code(), form);
}

}  // namespace quarn::tags
