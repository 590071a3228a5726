#include "tags/select_filters.h"

#include <cstring>
#include <optional>

#include "link/command_table.h"
#include "link/exchange.h"
#include "link/status_rules.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

constexpr uint8_t kFilterSucceeded = 0x00;
constexpr uint8_t kListingStarted = 0x01;
constexpr uint8_t kReportCode = 0x3A;
constexpr uint8_t kCodeWithoutCrcBit = 0x7F;
constexpr uint8_t kLastReportStatus = 0x01;
// A report must be longer than its length byte, code and status plus the five one-byte fields.
constexpr uint8_t kMinReportLengthByte = 9;
constexpr size_t kLengthPosition = 1;

// Reply data positions of a report; the pointer bytes follow the five fields that come before it.
constexpr size_t kPointerIndex = 5;

// A filter command's status for success, and what it reports for a reply echoing another code.
struct FilterReplyRule {
  uint8_t successStatus;
  bool wrongCodeReportsStatus;
};

constexpr FilterReplyRule kAddFilterRule = {kFilterSucceeded, false};
constexpr FilterReplyRule kDeleteFilterRule = {kFilterSucceeded, true};
constexpr FilterReplyRule kStartListingRule = {kListingStarted, true};
constexpr FilterReplyRule kSelectFilterRule = {kFilterSucceeded, true};

bool ExchangeFilterCommand(PortHandle port, link::CommandFrame& frame, FilterReplyRule rule, uint8_t* errorCode) {
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) {
    *errorCode = link::kNoErrorCode;
    return false;
  }
  const link::ReplyView view = reply.View(link::ReplyLayout::kOneByteForm);
  const std::optional<uint8_t> status = view.Status();
  const bool echoed = view.Echoes(frame.code());
  if (!status.has_value() || (!echoed && !rule.wrongCodeReportsStatus)) {
    *errorCode = link::kNoErrorCode;
    return false;
  }
  *errorCode = *status;
  return echoed && *status == rule.successStatus;
}

bool IndexCommand(PortHandle port, const link::CommandSpec& definition, uint32_t filterIndex, uint32_t filterOption,
                  FilterReplyRule rule, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(definition, crcFlag);
  frame.Byte(filterIndex).Byte(filterOption);
  return ExchangeFilterCommand(port, frame, rule, errorCode);
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

bool AddFilter(PortHandle port, const FilterRecord* filter, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kAddFilter, crcFlag);
  AppendFilterRecord(frame, *filter);
  return ExchangeFilterCommand(port, frame, kAddFilterRule, errorCode);
}

bool DeleteFilterByIndex(PortHandle port, uint32_t filterIndex, uint8_t* errorCode, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kDeleteFilterByIndex, crcFlag);
  frame.Byte(filterIndex);
  return ExchangeFilterCommand(port, frame, kDeleteFilterRule, errorCode);
}

bool StartGetFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                           uint32_t crcFlag) {
  return IndexCommand(port, link::commands::kStartGetFilterByIndex, filterIndex, filterOption, kStartListingRule,
                      errorCode, crcFlag);
}

bool SelectFilterByIndex(PortHandle port, uint32_t filterIndex, uint32_t filterOption, uint8_t* errorCode,
                         uint32_t crcFlag) {
  return IndexCommand(port, link::commands::kSelectFilterByIndex, filterIndex, filterOption, kSelectFilterRule,
                      errorCode, crcFlag);
}

bool ReadFilterByIndex(PortHandle port, uint8_t* frameStatus, FilterRecord* filter) {
  link::ReceivedFrame reply;
  if (!reply.Receive(port, link::commands::kReadFilterByIndex)) {
    *frameStatus = link::kNoErrorCode;
    return false;
  }
  const link::ReplyView view = reply.View(link::ReplyLayout::kOneByteForm);
  const std::optional<uint8_t> code = view.Code();
  const std::optional<uint8_t> status = view.Status();
  if (!code.has_value() || (*code & kCodeWithoutCrcBit) != kReportCode || !status.has_value()) {
    *frameStatus = link::kNoErrorCode;
    return false;
  }
  *frameStatus = *status;
  if (!IsReportStatus(*status) || view.At(kLengthPosition).value_or(0) < kMinReportLengthByte) return false;
  return DecodeFilterReport(view, filter);
}

}  // namespace quarn::tags
