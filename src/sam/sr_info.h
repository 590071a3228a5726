#pragma once
// Reading the reader's SR information.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::sam {

inline constexpr size_t kSrInfoSize = QUARN_SR_DATA_SIZE;

// srData receives kSrInfoSize bytes, and only from a reply that holds all of them.
link::Result GetSr(PortHandle port, uint32_t srSelect, uint8_t* srData, uint8_t* status, uint32_t crcFlag);

}  // namespace quarn::sam
