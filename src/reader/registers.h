#pragma once
// The reader's byte-addressed parameter registers (512 bytes, 0x000 to 0x1FF). Addresses and counts
// travel as 16-bit values, high byte first; the library checks no address.
//
// errorCode reports the reply's status byte: 0 on success, the refusing status otherwise. After no usable
// reply the read sets it to 0xFF and the write leaves it as it was.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

inline constexpr uint32_t kRegisterSpaceSize = QUARN_REGISTER_SPACE_SIZE;

// The bytes a read copies: registerCount, or the rest of the register space when the count is 0.
uint32_t RegisterCopyCount(uint32_t registerAddress, uint32_t registerCount);

link::Result GetRegister(PortHandle port, uint32_t registerAddress, uint32_t registerCount, uint8_t* errorCode,
                 uint8_t* registerData, uint32_t crcFlag);
// registerCount of 0 or less (as a signed value) sends no data bytes. A frame too long for the command
// buffer is refused before anything is sent, with errorCode 0xFF.
link::Result SetRegister(PortHandle port, uint32_t registerAddress, int32_t registerCount, const uint8_t* registerData,
                 uint8_t* errorCode, uint32_t crcFlag);
link::Result ResetRegister(PortHandle port, uint32_t crcFlag);
link::Result SaveRegister(PortHandle port, uint32_t crcFlag);

}  // namespace quarn::reader
