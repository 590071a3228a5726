#pragma once
// The reader's antenna check and the choice of the antenna it uses. The check result and the antenna
// number are the reader's own encodings, passed through unchanged.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::antenna {

// Status 0 only; *antennaState = reply data byte 0 on success, untouched otherwise.
link::Result CheckAntenna(PortHandle port, uint8_t* antennaState, uint32_t crcFlag);
// Sends the low byte of antenna; status 0 only.
link::Result ChooseAntenna(PortHandle port, uint32_t antenna, uint32_t crcFlag);

}  // namespace quarn::antenna
