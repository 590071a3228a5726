#include "tags/select_filters.h"

#include <cstring>
#include <optional>

#include "link/exchange.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

constexpr uint8_t kLastReportStatus = 0x01;
// A report must be longer than its length byte, code and status plus the five one-byte fields.
constexpr uint8_t kMinReportLengthByte = 9;
constexpr size_t kLengthPosition = 1;

// Reply data positions of a report; the pointer bytes follow the five fields that come before it.
constexpr size_t kPointerIndex = 5;

// What the short filter commands report for a reply that echoes another code: its status byte.
enum class OtherCodeStatus { kNoUsableReply, kReported };

// errorCode is the status byte of a usable reply, success included, and kNoErrorCode otherwise.
uint8_t FilterErrorCode(const link::Result& result, const link::ReceivedFrame& reply, OtherCodeStatus otherCode) {
  if (result.ok()) return result.status;
  if (result.outcome == link::Outcome::kOtherCommand && otherCode == OtherCodeStatus::kNoUsableReply) {
    return link::kNoErrorCode;
  }
  return link::RefusingStatus(result, reply).value_or(link::kNoErrorCode);
}

link::Result ExchangeFilterCommand(PortHandle port, link::CommandFrame& frame, OtherCodeStatus otherCode,
                                   uint8_t* errorCode) {
  link::ReceivedFrame reply;
  const link::Result result = link::Exchange(port, frame, reply);
  *errorCode = FilterErrorCode(result, reply, otherCode);
  return result;
}

link::Result IndexCommand(PortHandle port, const link::CommandSpec& definition, uint32_t filterIndex,
                          uint32_t filterOption, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(definition, crcFlag);
  frame.Byte(filterIndex).Byte(filterOption);
  return ExchangeFilterCommand(port, frame, OtherCodeStatus::kReported, errorCode);
}

bool IsReportStatus(uint8_t status) { return status <= kLastReportStatus; }

}  // namespace

size_t MaskSize(uint8_t maskBitLength) { return (static_cast<size_t>(maskBitLength) + 7) / 8; }

void AppendFilterRecord(link::CommandFrame& frame, const FilterRecord& filter) {
  frame.Byte(filter.filterIndex).Byte(filter.recordLength).Byte(filter.target).Byte(filter.action);
  frame.Byte(filter.memBank);
  frame.Bytes(filter.pointer, WordPointerSize(filter.pointer));
  frame.Byte(filter.maskBitLength).Bytes(filter.mask, MaskSize(filter.maskBitLength));
  frame.Byte(filter.truncate);
}

bool DecodeFilterReport(const link::ReplyView& view, FilterRecord* filter) {
  const uint8_t* fields = view.Data(0, kPointerIndex + 1);
  if (fields == nullptr) return false;
  const size_t pointerSize = WordPointerSize(fields + kPointerIndex);
  const uint8_t* pointer = view.Data(kPointerIndex, pointerSize);
  const size_t maskBitLengthIndex = kPointerIndex + pointerSize;
  const std::optional<uint8_t> maskBitLength = view.DataByte(maskBitLengthIndex);
  if (pointer == nullptr || !maskBitLength.has_value()) return false;
  const uint8_t* mask = view.Data(maskBitLengthIndex + 1, MaskSize(*maskBitLength));
  // recordLength marks the record's last byte, where truncate stands; a length of 0 marks none.
  const uint8_t recordLength = fields[1];
  const std::optional<uint8_t> truncate =
      recordLength == 0 ? std::nullopt : view.DataByte(static_cast<size_t>(recordLength) - 1);
  if (mask == nullptr || !truncate.has_value()) return false;

  // Every field was found in the frame; only now is the caller's record written.

  filter->filterIndex = fields[0];
  filter->recordLength = recordLength;
  filter->target = fields[2];
  filter->action = fields[3];
  filter->memBank = fields[4];
  std::memcpy(filter->pointer, pointer, pointerSize);
  filter->maskBitLength = *maskBitLength;
  std::memcpy(filter->mask, mask, MaskSize(*maskBitLength));
  filter->truncate = *truncate;
  return true;
}

link::Result AddFilter(PortHandle port, const FilterRecord* filter, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kAddFilter, crcFlag);
  AppendFilterRecord(frame, *filter);
  return ExchangeFilterCommand(port, frame, OtherCodeStatus::kNoUsableReply, errorCode);
}

link::Result DeleteFilterByIndex(PortHandle port, uint32_t filterIndex, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kDeleteFilterByIndex, crcFlag);
  frame.Byte(filterIndex);
  return ExchangeFilterCommand(port, frame, OtherCodeStatus::kReported, errorCode);
}

link::Result StartGetFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                                   uint32_t crcFlag) {
  return IndexCommand(port, link::commands::kStartGetFilterByIndex, filterIndex, filterOption, errorCode, crcFlag);
}

link::Result SelectFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                                 uint32_t crcFlag) {
  return IndexCommand(port, link::commands::kSelectFilterByIndex, filterIndex, filterOption, errorCode, crcFlag);
}

link::Result ReadFilterByIndex(PortHandle port, uint8_t* frameStatus, FilterRecord* filter) {
  link::ReceivedFrame reply;
  const link::Result result = link::ReceiveStreamFrame(port, link::commands::kReadFilterByIndex, reply);
  if (!result) {
    *frameStatus = link::kNoErrorCode;
    return result;
  }
  *frameStatus = result.status;
  // Any other status ends or refuses the listing; the reader's status byte tells which.
  if (!IsReportStatus(result.status)) return link::Refused(result.status, result.status);
  const link::ReplyView view = reply.View(link::commands::kReadFilterByIndex.layout);
  if (view.At(kLengthPosition).value_or(0) < kMinReportLengthByte) return link::TooShort();
  return DecodeFilterReport(view, filter) ? result : link::TooShort();
}

}  // namespace quarn::tags
