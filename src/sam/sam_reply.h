#pragma once
// The reply rule every SAM command shares. The SAM's own refusal (status 0x81) still carries its
// response and status word, which the caller gets even though the call fails.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/outcome.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::sam {

// Where one SAM command puts what the SAM answered: responseCount bytes of response data, then SW1, SW2.
struct SamAnswer {
  uint8_t* response;  // may be null when responseCount is 0
  size_t responseCount;
  uint8_t* sw1;
  uint8_t* sw2;
};

// Finishes and exchanges a SAM command and applies the rule to its reply, read at layout. status receives
// the byte in the status position of any reply that has one, also of a reply to another command, and 0
// on success; the answer is copied on success and after status 0x81, and only when the reply holds all
// of it.
link::Result ExchangeSamCommand(PortHandle port, link::CommandFrame& frame, link::ReplyLayout layout,
                                const SamAnswer& answer, uint8_t* status);

}  // namespace quarn::sam
