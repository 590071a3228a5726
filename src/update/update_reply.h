#pragma once
// The reply rule of the update commands: the echoed code as sent and status 0 exactly. Every nonzero
// status is the reader's refusal, bit 7 clear included, and the caller gets it through status.

#include <cstdint>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::update {

// True when view passes the rule. Otherwise status receives the byte in the status position, when the
// reply has one; status is not touched on success, whose outputs the caller still has to copy.
bool AcceptUpdateReply(const link::ReplyView& view, uint8_t code, uint8_t* status);

// Finishes frame, exchanges it and applies the rule; status becomes 0 on success. For the commands whose
// only output is status.
bool ExchangeUpdateCommand(PortHandle port, link::CommandFrame& frame, uint8_t* status);

}  // namespace quarn::update
