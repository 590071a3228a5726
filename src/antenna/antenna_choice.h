#pragma once
// The reader's antenna check and the choice of the antenna it uses. The check result and the antenna
// number are the reader's own encodings, passed through unchanged.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::antenna {

// Status 0 only; *antennaState = reply data byte 0 on success, untouched otherwise.
bool CheckAntenna(PortHandle port, uint8_t* antennaState, uint32_t crcFlag);
// Sends the low byte of antenna; status 0 only.
bool ChooseAntenna(PortHandle port, uint32_t antenna, uint32_t crcFlag);

}  // namespace quarn::antenna
