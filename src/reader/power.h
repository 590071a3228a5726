#pragma once
// The power amplifier's state and the RF output power. The power bytes are the reader's own; they are
// passed through unchecked.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

// Status 0 only; *status = 0 on success, untouched otherwise.
link::Result GetPaStatus(PortHandle port, uint8_t* status, uint32_t crcFlag);
// *power = reply data byte 0 on success.
link::Result GetPower(PortHandle port, uint8_t* power, uint32_t crcFlag);
// Sends the low bytes of powerParam1 and powerParam2, in that order.
link::Result SetPower(PortHandle port, uint32_t powerParam1, uint32_t powerParam2, uint32_t crcFlag);

}  // namespace quarn::reader
