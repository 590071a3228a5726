#pragma once
// The reader's version bytes and unique identifier, copied as the reader sends them.

#include <cstddef>
#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

inline constexpr size_t kVersionBlock1Size = QUARN_VERSION_BLOCK1_SIZE;
inline constexpr size_t kVersionBlock2Size = QUARN_VERSION_BLOCK2_SIZE;
inline constexpr size_t kReaderUidSize = QUARN_READER_UID_SIZE;

// Any status with bit 7 clear; both blocks written on success only.
link::Result GetVersion(PortHandle port, uint8_t* versionBlock1, uint8_t* versionBlock2, uint32_t crcFlag);
// Status 0 only; readerUid written on success only.
link::Result GetReaderUid(PortHandle port, uint8_t* readerUid, uint32_t crcFlag);

}  // namespace quarn::reader
