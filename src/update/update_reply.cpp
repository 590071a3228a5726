#include "update/update_reply.h"

#include <optional>


namespace quarn::update {

link::Result ExchangeUpdateReply(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply,
                                 uint8_t* status) {
  const link::Result result = link::Exchange(port, frame, reply);
  // Also a reply to another command reports its byte in the status position.
  const std::optional<uint8_t> refusing = link::RefusingStatus(result, reply);
  if (refusing.has_value()) *status = *refusing;
  return result;
}

link::Result ExchangeUpdateCommand(PortHandle port, link::CommandFrame& frame, uint8_t* status) {
  link::ReceivedFrame reply;
  const link::Result result = ExchangeUpdateReply(port, frame, reply, status);
  if (result) *status = 0;
  return result;
}

}  // namespace quarn::update
