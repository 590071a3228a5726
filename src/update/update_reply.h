#pragma once
// The reply rule of the update commands: the echoed code as sent and status 0 exactly. Every nonzero
// status is the reader's refusal, bit 7 clear included, and the caller gets it through status.

#include <cstdint>

#include "link/command_frame.h"
#include "link/exchange.h"
#include "link/outcome.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::update {

// Finishes and exchanges an update command and applies the rule: status receives the byte in the status
// position of a refusal or of a reply to another command, and is left as it was otherwise; on success the
// reply is in reply and status is left for the caller, who still copies the outputs.
link::Result ExchangeUpdateReply(PortHandle port, link::CommandFrame& frame, link::ReceivedFrame& reply,
                                 uint8_t* status);

// The same for the commands whose only output is status, which becomes 0 on success.
link::Result ExchangeUpdateCommand(PortHandle port, link::CommandFrame& frame, uint8_t* status);

}  // namespace quarn::update
