#pragma once
// Commands that change the reader's operating mode: sleep and transparent transfer.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

link::Result EnterSleepMode(PortHandle port, uint32_t crcFlag);
// A nonzero low byte of enable switches transparent transfer on, zero switches it off. *status = 0 on
// success, untouched otherwise.
link::Result SetTransparentTransfer(PortHandle port, uint32_t enable, uint8_t* status, uint32_t crcFlag);

}  // namespace quarn::reader
