#pragma once
// The seven bytes of the frequency configuration, in the one order used for reading and writing:
// freq0, freq1, freq23[0], freq23[1], freq4, freq5, freq6. Their meaning is the reader's.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

inline constexpr size_t kFrequencyConfigSize = 7;

// The caller's places for the configuration bytes; freq23 holds two.
struct FrequencyOutputs {
  uint8_t* freq0;
  uint8_t* freq1;
  uint8_t* freq23;
  uint8_t* freq4;
  uint8_t* freq5;
  uint8_t* freq6;
};

// The values to send; of the integers only the low byte goes out.
struct FrequencyInputs {
  uint32_t freq0;
  uint32_t freq1;
  const uint8_t* freq23;
  uint32_t freq4;
  uint32_t freq5;
  uint32_t freq6;
};

// Writes every output on success, none otherwise.
link::Result GetFrequency(PortHandle port, const FrequencyOutputs& outputs, uint32_t crcFlag);
link::Result SetFrequency(PortHandle port, const FrequencyInputs& inputs, uint32_t crcFlag);

}  // namespace quarn::reader
