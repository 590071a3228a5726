#include "update/update_reply.h"

#include <optional>

#include "link/status_rules.h"

namespace quarn::update {

bool AcceptUpdateReply(const link::ReplyView& view, uint8_t code, uint8_t* status) {
  const std::optional<uint8_t> statusByte = view.Status();
  if (!statusByte) return false;
  if (view.Echoes(code) && link::IsZeroStatus(*statusByte)) return true;
  // Also a reply to another command reports its byte in the status position.
  *status = *statusByte;
  return false;
}

bool ExchangeUpdateCommand(PortHandle port, link::CommandFrame& frame, uint8_t* status) {
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  if (!AcceptUpdateReply(reply.View(), frame.code(), status)) return false;
  *status = 0;
  return true;
}

}  // namespace quarn::update
