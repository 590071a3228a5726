#pragma once
// Sending and receiving single frames over the serial backend. Each routine's Result names what went
// wrong; it converts to true only on success.

#include <cstddef>
#include <cstdint>

#include "link/frame_format.h"
#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::link {

// Discards the port's input, then writes the unstuffed frame (head to tail, at least 4 bytes) one byte a
// write, escaping every body byte 0xAA, 0x55 or 0xFF. Stops at the first failed write: kWriteFailed, or
// kPortGone / kPortUnusable when the port says so.
Result SendFrame(PortHandle port, const uint8_t* frame, size_t length);

// Receives one frame into buffer (kFrameBufferSize bytes). Success with a complete frame, whose CRC was
// checked when its code has bit 7 set, and its length (body length + 2) in *frameLength.
// The time limit ends only the hunt for the head; a frame once begun ends by its own bytes. A port that
// is gone ends the reception at once.
Result ReceiveFrame(PortHandle port, uint8_t* buffer, uint32_t timeLimitMs, size_t* frameLength);

// As ReceiveFrame, for antenna reply frames (marker and antenna number before the code). The time limit
// ends the reception in every state.
Result ReceiveAntennaFrame(PortHandle port, uint8_t* buffer, uint32_t timeLimitMs, size_t* frameLength);

}  // namespace quarn::link
