#pragma once
// The 3-byte lock payload of the Gen2 Lock command, from one choice per lockable area. The lock
// commands pass it through unread: this is the one place that knows its bit layout.

#include <cstdint>

namespace quarn::tags {

// Choices (low byte): 1 locked, 2 unlocked, 3 permanently locked, 4 permanently unlocked; any other
// value leaves the area as it is. Writes all 3 bytes of lockPayload.
void BuildLockPayload(uint32_t killPasswordChoice, uint32_t accessPasswordChoice, uint32_t epcChoice,
                      uint32_t tidChoice, uint32_t userChoice, uint8_t* lockPayload);

}  // namespace quarn::tags
