#include "tags/write_outcome.h"

#include <optional>

#include "link/exchange.h"
#include "link/frame_format.h"
#include "link/status_rules.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

constexpr size_t kLengthPosition = 1;
// The length byte counts itself, the code and the status before the data, and the CRC in CRC mode.
constexpr uint8_t kPlainOverhead = 3;
constexpr uint8_t kCrcOverhead = 5;

constexpr uint8_t kSecondErrorFormStatus = kFailedWithoutErrorCode;
constexpr uint8_t kSingleTagFirstErrorFormStatus = kFailedWithErrorCode;

bool IsFirstErrorForm(uint8_t status, WriteReplyForm form) {
  return form == WriteReplyForm::kByEpc ? link::CarriesErrorCode(status)
                                        : status == kSingleTagFirstErrorFormStatus;
}

ReplyBytes RecordAt(const link::ReplyView& reply, size_t dataIndex, WriteReplyForm form) {
  if (form == WriteReplyForm::kByEpc) return {nullptr, 0};
  const uint8_t* record = FindTagRecord(reply, dataIndex);
  return {record, record == nullptr ? 0 : TagRecordSize(record[0])};
}

WriteOutcome Succeeded(const link::ReplyView& reply, bool crcMode, WriteReplyForm form, const link::Result& result) {
  if (form == WriteReplyForm::kByEpc) return {kWrittenInFull, link::kNoErrorCode, 0, {nullptr, 0}, result};
  const ReplyBytes data = SingleTagWriteData(reply, crcMode);
  if (data.bytes == nullptr) return NoUsableWriteReply(link::TooShort());
  return {kWrittenInFull, link::kNoErrorCode, 0, data, result};
}

// Error code at data byte 0, written-word count at 1, the single tag's record from 2.
WriteOutcome FirstErrorForm(const link::ReplyView& reply, WriteReplyForm form, uint8_t status) {
  const std::optional<uint8_t> errorCode = reply.DataByte(0);
  const std::optional<uint8_t> written = reply.DataByte(1);
  const ReplyBytes record = RecordAt(reply, 2, form);
  if (!errorCode || !written || (form == WriteReplyForm::kSingleTag && record.bytes == nullptr)) {
    return NoUsableWriteReply(link::TooShort());
  }
  return {kFailedWithErrorCode, *errorCode, *written, record, link::Refused(status, *errorCode)};
}

// Written-word count at data byte 0, the single tag's record from 1.
WriteOutcome SecondErrorForm(const link::ReplyView& reply, WriteReplyForm form) {
  const std::optional<uint8_t> written = reply.DataByte(0);
  const ReplyBytes record = RecordAt(reply, 1, form);
  if (!written || (form == WriteReplyForm::kSingleTag && record.bytes == nullptr)) {
    return NoUsableWriteReply(link::TooShort());
  }
  return {kFailedWithoutErrorCode, link::kNoErrorCode, *written, record,
          link::Refused(kSecondErrorFormStatus, link::kNoErrorCode)};
}

}  // namespace

ReplyBytes SingleTagWriteData(const link::ReplyView& reply, bool crcMode) {
  const std::optional<uint8_t> lengthByte = reply.At(kLengthPosition);
  if (!lengthByte.has_value()) return {nullptr, 0};
  const size_t count = static_cast<uint8_t>(*lengthByte - (crcMode ? kCrcOverhead : kPlainOverhead));
  return {reply.Data(0, count), count};
}

WriteOutcome NoUsableWriteReply(const link::Result& why) {
  return {kNoUsableReply, link::kNoErrorCode, 0, {nullptr, 0}, why};
}

void StoreWriteOutcome(const WriteOutcome& outcome, uint8_t* errorCode, uint8_t* writeStatus,
                       uint8_t* writtenWordCount) {
  *errorCode = outcome.errorCode;
  *writeStatus = outcome.writeStatus;
  *writtenWordCount = outcome.writtenWordCount;
}

WriteOutcome ExchangeWrite(PortHandle port, link::CommandFrame& frame, WriteReplyForm form, link::ReceivedFrame& reply) {
  const link::Result result = link::Exchange(port, frame, reply);
  if (result) return Succeeded(reply.View(), frame.crcMode(), form, result);
  if (result.outcome != link::Outcome::kRefused) return NoUsableWriteReply(result);
  if (IsFirstErrorForm(result.status, form)) return FirstErrorForm(reply.View(), form, result.status);
  if (result.status == kSecondErrorFormStatus) return SecondErrorForm(reply.View(), form);
  // A refusal of no form the writes know tells neither a code nor a count.
  return NoUsableWriteReply(link::Refused(result.status, link::kNoErrorCode));
}

}  // namespace quarn::tags
