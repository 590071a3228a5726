#include "antenna/multi_antenna.h"

#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "tags/inventory_request.h"
#include "tags/tag_record.h"

namespace quarn::antenna {

using link::Result;

Result StartInventoryForMultiAnt(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag) {
  link::CommandFrame frame(tags::InventoryStartSpec(hasParam, link::FrameKind::kAntenna), crcFlag);
  tags::AppendInventoryStartParameter(frame, hasParam, param);
  // Whichever start form was sent, either code answers it; status bit 7 is not looked at.
  link::ReceivedFrame reply;
  return link::Exchange(port, frame, reply);
}

Result ReadInventoryFromMultiAnt(PortHandle port, uint8_t* antenna, uint8_t* tagRecordLength, uint8_t* tagRecord) {
  link::ReceivedFrame reply;
  const Result result = link::ReceiveStreamFrame(port, link::commands::kReadInventoryFromMultiAnt, reply);
  if (!result) return result;
  const link::ReplyView view = reply.View(link::commands::kReadInventoryFromMultiAnt.layout);
  const std::optional<uint8_t> antennaNumber = view.Antenna();
  if (!antennaNumber.has_value() || !tags::CopyTagRecord(view, 0, tagRecord, tagRecordLength)) {
    return link::TooShort();
  }
  *antenna = *antennaNumber;
  return result;
}

Result StartReadDataForMultiAnt(PortHandle port, const tags::MultiTagReadRequest& request, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kStartReadDataForMultiAnt, crcFlag);
  tags::AppendMultiTagReadRequest(frame, request);
  link::ReceivedFrame reply;
  return link::Exchange(port, frame, reply);
}

Result GetDataFromMultiAnt(PortHandle port, uint8_t* antenna, const tags::DataFrameOutputs& outputs) {
  link::ReceivedFrame reply;
  const Result result = link::ReceiveStreamFrame(port, link::commands::kGetDataFromMultiAnt, reply);
  if (!result) return result;
  // Data frames longer than 127 bytes come in the two-byte length form.
  const link::ReplyView view = reply.View(link::commands::kGetDataFromMultiAnt.layout);
  const std::optional<uint8_t> antennaNumber = view.Antenna();
  if (!antennaNumber.has_value()) return link::TooShort();
  const tags::DataFrameOutcome decoded = tags::DecodeDataFrame(view, outputs);
  if (decoded == tags::DataFrameOutcome::kRunsPastFrame) return link::TooShort();
  if (decoded == tags::DataFrameOutcome::kDecoded) *antenna = *antennaNumber;
  return result;
}

}  // namespace quarn::antenna
