#pragma once
// Why a port did not open, in the C++ API's terms, and the options word the port routines take.

#include <cstdint>

#include "cpp/call.h"
#include "link/serial/serial_backend.h"
#include "quarn/reader_types.h"

namespace quarn::cpp {

// The options word's baud selection, bits 1 to 3, as the port routines take it.
inline uint32_t PortOptionsOf(Baud baud) { return static_cast<uint32_t>(baud) << 1; }

// Records the failure with the fix a person can make.
void RecordOpenFailure(Call& call, serial::OpenFailure why);

}  // namespace quarn::cpp
