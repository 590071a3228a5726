#pragma once
// Command APDUs passed to the reader's secure access module: the full SAM command, which returns the
// SAM's response data, and the two that move SAM information into the reader's SR A or SR B.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::sam {

// Which reader SR the information goes into.
enum class SrTarget { kSrA, kSrB };

link::Result SetSam(PortHandle port, const uint8_t* apdu, uint32_t apduLength, uint8_t* response, int* responseLength,
            uint8_t* sw1, uint8_t* sw2, uint8_t* status, uint32_t crcFlag);

link::Result GetInfoSamToSr(PortHandle port, SrTarget target, const uint8_t* apdu, uint32_t apduLength, uint8_t* sw1,
                    uint8_t* sw2, uint8_t* status, uint32_t crcFlag);

}  // namespace quarn::sam
