#include "reader/checked_exchange.h"

namespace quarn::reader {

bool AcceptsReply(const link::ReplyView& view, uint8_t code, StatusRule rule) {
  const std::optional<uint8_t> status = view.Status();
  return view.Echoes(code) && status.has_value() && rule(*status);
}

bool ExchangeAccepted(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply, StatusRule rule) {
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  return AcceptsReply(reply.View(), frame.code(), rule);
}

bool ExchangeAccepted(PortHandle port, link::CommandFrame& frame, StatusRule rule) {
  link::ReceivedFrame reply;
  return ExchangeAccepted(port, frame, reply, rule);
}

}  // namespace quarn::reader
