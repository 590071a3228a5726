#pragma once
// The port operations the frame code needs. Each backend (POSIX, Win32, and the test fake) implements
// them in a file of its own and is chosen at link time, so the codec and the exchange hold no #ifdef.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::serial {

enum class ReadOutcome {
  kByte,    // one byte arrived
  kNoByte,  // the read time-out (3050 ms) passed with nothing received
  kFailed,  // the system reported an error
};

// Opens the named port for exclusive read and write. Returns QUARN_INVALID_PORT when it will not open.
PortHandle OpenExclusive(const char* portName);

// Queue sizes, time-outs, baud rate with 8N1. Failures of the system calls are not reported.
void Configure(PortHandle port, uint32_t baudRate);

// Returns false when the system refuses to close the handle.
bool Close(PortHandle port);

// Discards whatever waits in the port's input.
void PurgeInput(PortHandle port);

// Writes one byte; false when the system reports failure or the write time-out (550 ms) passes.
bool WriteByte(PortHandle port, uint8_t value);

// Reads one byte, waiting at most the port's read time-out.
ReadOutcome ReadByte(PortHandle port, uint8_t* value);

// A millisecond counter that wraps at 32 bits; only differences of two readings mean anything.
uint32_t TickMs(PortHandle port);

}  // namespace quarn::serial
