#pragma once
// Stopping a running operation (a continuous inventory or a multi-tag read). The reader may still be
// streaming when the stop arrives, so frames other than the acknowledgement are skipped.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::reader {

// Up to two sends, the second only when the first fails; then up to five receives of 800 ms for a reply
// that echoes the stop code with status bit 7 clear. The stop is never sent again once it went out.
link::Result StopOperation(PortHandle port, uint32_t crcFlag);

}  // namespace quarn::reader
