#include "tags/inventory.h"

#include "link/exchange.h"
#include "tags/inventory_request.h"
#include "tags/tag_record.h"

namespace quarn::tags {

using link::Result;

namespace {

// The tag's record behind the status byte; all of it, or nothing is copied.
Result CopyRecord(const Result& result, const link::ReplyView& view, uint8_t* tagRecordLength, uint8_t* tagRecord) {
  if (!result) return result;
  return CopyTagRecord(view, 0, tagRecord, tagRecordLength) ? result : link::TooShort();
}

}  // namespace

Result StartInventory(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag) {
  link::CommandFrame frame(InventoryStartSpec(hasParam, link::FrameKind::kPlain), crcFlag);
  AppendInventoryStartParameter(frame, hasParam, param);
  return link::Exchange(port, frame);
}

Result ReadInventory(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord) {
  link::ReceivedFrame reply;
  const Result result = link::ReceiveStreamFrame(port, link::commands::kReadInventory, reply);
  return CopyRecord(result, reply.View(), tagRecordLength, tagRecord);
}

Result InventorySingleTag(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kInventorySingleTag, crcFlag);
  link::ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  return CopyRecord(result, reply.View(), tagRecordLength, tagRecord);
}

}  // namespace quarn::tags
