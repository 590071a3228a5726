#pragma once

#include <cstdint>

namespace quarn::sim {

// The name of a plain command code as the trace shows it, or "Unknown".
const char* CommandName(uint8_t plainCode);

}  // namespace quarn::sim
