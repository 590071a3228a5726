#pragma once
// Why a port did not open, in the C++ API's terms, and the options word the port routines take.

#include <cstdint>
#include <string>

#include "cpp/call.h"
#include "link/serial/serial_backend.h"
#include "quarn/reader_types.h"

namespace quarn::cpp {

// The options word's baud selection, bits 1 to 3, as the port routines take it. A value outside the four
// rates becomes a selection the port routines refuse, rather than losing its high bits to another rate.
inline uint32_t PortOptionsOf(Baud baud) {
  constexpr uint32_t kRefusedSelection = 0x08;
  return baud <= Baud::k115200 ? static_cast<uint32_t>(baud) << 1 : kRefusedSelection;
}

// Records the failure of opening portName, with the fix a person can make.
void RecordOpenFailure(Call& call, const std::string& portName, serial::OpenFailure why);

}  // namespace quarn::cpp
