#pragma once
// Switching the power of the reader's PSAM; the reader may hand back data with its answer.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::sam {

// answerLength is one byte, so a longer answer could not be reported and is refused instead.
inline constexpr size_t kMaxPsamAnswerSize = QUARN_PSAM_ANSWER_SIZE;

// psamSelect must be 1 or 2 and powerState 0 or 1 (low bytes); anything else returns before sending.
link::Result SetPsamPower(PortHandle port, uint32_t psamSelect, uint32_t powerState, uint8_t* answer,
                          uint8_t* answerLength, uint32_t crcFlag);

}  // namespace quarn::sam
