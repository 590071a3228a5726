#include "tags/inventory.h"

#include <optional>

#include "link/exchange.h"
#include "link/status_rules.h"
#include "tags/inventory_request.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

bool IsTagReport(const link::ReplyView& reply) {
  const std::optional<uint8_t> code = reply.Code();
  const std::optional<uint8_t> status = reply.Status();
  return code && status && IsInventoryCode(*code) && link::IsInventoryReportStatus(*status);
}

}  // namespace

bool StartInventory(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag) {
  link::CommandFrame frame(InventoryStartSpec(hasParam, link::FrameKind::kPlain), crcFlag);
  AppendInventoryStartParameter(frame, hasParam, param);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  const link::ReplyView view = reply.View();
  const std::optional<uint8_t> status = view.Status();
  return view.Echoes(frame.code()) && status && link::IsInventoryStartStatus(*status);
}

bool ReadInventory(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord) {
  link::ReceivedFrame reply;
  if (!reply.Receive(port, link::commands::kReadInventory)) return false;
  const link::ReplyView view = reply.View();
  return IsTagReport(view) && CopyTagRecord(view, 0, tagRecord, tagRecordLength);
}

bool InventorySingleTag(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kInventorySingleTag, crcFlag);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  const link::ReplyView view = reply.View();
  const std::optional<uint8_t> status = view.Status();
  return view.Echoes(frame.code()) && status && link::IsZeroStatus(*status) &&
         CopyTagRecord(view, 0, tagRecord, tagRecordLength);
}

}  // namespace quarn::tags
