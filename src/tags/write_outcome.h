#pragma once
// How a block write or an SR write ended, as reported through writeStatus.

#include <cstdint>

namespace quarn::tags {

inline constexpr uint8_t kWrittenInFull = 0x00;
inline constexpr uint8_t kNoUsableReply = 0x80;
inline constexpr uint8_t kFailedWithErrorCode = 0x81;
inline constexpr uint8_t kFailedWithoutErrorCode = 0x82;

}  // namespace quarn::tags
