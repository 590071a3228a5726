#include "antenna/multi_antenna.h"

#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "link/frame_format.h"
#include "link/status_rules.h"
#include "tags/inventory_request.h"
#include "tags/tag_record.h"

namespace quarn::antenna {

namespace {

bool IsInventoryCode(std::optional<uint8_t> code) { return code.has_value() && tags::IsInventoryCode(*code); }

bool HasMarker(const link::ReplyView& view) { return view.Marker() == link::kAntennaMarker; }

// Inventory frames are short: they are read at the positions of the one-byte length form.
bool IsInventoryFrame(const link::ReplyView& view, bool (*statusRule)(uint8_t)) {
  const std::optional<uint8_t> status = view.Status();
  return HasMarker(view) && IsInventoryCode(view.Code()) && status.has_value() && statusRule(*status);
}

}  // namespace

bool StartInventoryForMultiAnt(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag) {
  link::CommandFrame frame(tags::InventoryStartSpec(hasParam, link::FrameKind::kAntenna), crcFlag);
  tags::AppendInventoryStartParameter(frame, hasParam, param);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  // Whichever start form was sent, either code answers it; status bit 7 is not looked at.
  return IsInventoryFrame(reply.View(link::ReplyLayout::kOneByteForm), link::HasFlagBitSet);
}

bool ReadInventoryFromMultiAnt(PortHandle port, uint8_t* antenna, uint8_t* tagRecordLength, uint8_t* tagRecord) {
  link::ReceivedFrame reply;
  if (!reply.Receive(port, link::commands::kReadInventoryFromMultiAnt)) return false;
  const link::ReplyView view = reply.View(link::ReplyLayout::kOneByteForm);
  const std::optional<uint8_t> antennaNumber = view.Antenna();
  if (!IsInventoryFrame(view, link::IsInventoryReportStatus) || !antennaNumber.has_value()) return false;
  if (!tags::CopyTagRecord(view, 0, tagRecord, tagRecordLength)) return false;
  *antenna = *antennaNumber;
  return true;
}

bool StartReadDataForMultiAnt(PortHandle port, const tags::MultiTagReadRequest& request, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kStartReadDataForMultiAnt, crcFlag);
  tags::AppendMultiTagReadRequest(frame, request);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  const link::ReplyView view = reply.View(link::ReplyLayout::kOneByteForm);
  const std::optional<uint8_t> status = view.Status();
  return HasMarker(view) && view.Echoes(frame.code()) && status.has_value() && link::IsOneStatus(*status);
}

bool GetDataFromMultiAnt(PortHandle port, uint8_t* antenna, const tags::DataFrameOutputs& outputs) {
  link::ReceivedFrame reply;
  if (!reply.Receive(port, link::commands::kGetDataFromMultiAnt)) return false;
  // Data frames longer than 127 bytes come in the two-byte length form; the marker is not looked at.
  const link::ReplyView view = reply.View(link::ReplyLayout::kAsReceived);
  const std::optional<uint8_t> antennaNumber = view.Antenna();
  if (!tags::IsDataFrameCode(view.Code()) || !antennaNumber.has_value()) return false;
  const tags::DataFrameOutcome outcome = tags::DecodeDataFrame(view, outputs);
  if (outcome == tags::DataFrameOutcome::kDecoded) *antenna = *antennaNumber;
  return outcome != tags::DataFrameOutcome::kRunsPastFrame;
}

}  // namespace quarn::antenna
