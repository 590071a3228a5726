#pragma once
// Commands that change the reader's operating mode: sleep and transparent transfer.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::reader {

bool EnterSleepMode(PortHandle port, uint32_t crcFlag);
// A nonzero low byte of enable switches transparent transfer on, zero switches it off. *status = 0 on
// success, untouched otherwise.
bool SetTransparentTransfer(PortHandle port, uint32_t enable, uint8_t* status, uint32_t crcFlag);

}  // namespace quarn::reader
