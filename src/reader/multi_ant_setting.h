#pragma once
// The reader's multi-antenna setting: one register byte that the multi-antenna operations depend on.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

inline constexpr uint32_t kMultiAntSettingAddress = QUARN_MULTI_ANT_REGISTER;

// Register writes and reads of that one byte; the register errorCode is not passed on.
link::Result SetMultiAntSetting(PortHandle port, const uint8_t* multiAntSetting, uint32_t crcFlag);
link::Result GetMultiAntSetting(PortHandle port, uint8_t* multiAntSetting, uint32_t crcFlag);

}  // namespace quarn::reader
