#pragma once

#include <cstddef>
#include <cstdint>

#include "link/frame_format.h"

namespace quarn::link {

// CRC-16 of EPC Gen2 (polynomial 0x1021, preset 0xFFFF, no reflection, result inverted), stored high
// byte first in out[0], out[1].
void ComputeFrameCrc(const uint8_t* bytes, size_t count, uint8_t out[kCrcSize]);

}  // namespace quarn::link
