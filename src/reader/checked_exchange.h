#pragma once
// The exchange of the fixed-size management commands: one frame out, one reply in, accepted only when it
// echoes the code as sent (bit 7 included, so a reply in the other mode is refused) and its status byte
// passes the command's rule. These replies are read at the positions of the one-byte length form.

#include <cstdint>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::reader {

using StatusRule = bool (*)(uint8_t status);

// True when view holds the echoed code and a status byte that passes rule.
bool AcceptsReply(const link::ReplyView& view, uint8_t code, StatusRule rule);

// Finishes frame, exchanges it and checks the reply. On true the reply is in reply for the outputs.
bool ExchangeAccepted(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply, StatusRule rule);

// For commands without outputs: the whole exchange for one frame.
bool ExchangeAccepted(PortHandle port, link::CommandFrame& frame, StatusRule rule);

}  // namespace quarn::reader
