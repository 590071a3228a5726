#pragma once
// Opening, configuring and closing the serial port the reader is attached to.

#include <cstdint>
#include <optional>

#include "link/outcome.h"
#include "link/serial/serial_backend.h"
#include "quarn_api.h"

namespace quarn::link {

// The baud rate selected by bits 1 to 3 of an options word, or nothing for a refused selection.
std::optional<uint32_t> SelectBaudRate(uint32_t portOptions);

// Opens the named port exclusively and stores its handle, or the invalid handle, in *portHandleOut. Why
// it did not open goes to *why when why is not nullptr.
bool OpenSerialPort(PortHandle* portHandleOut, const char* portName, serial::OpenFailure* why = nullptr);

// Queue sizes, read and write time-outs, baud rate with 8 data bits, no parity, one stop bit.
void ConfigureSerialPort(PortHandle port, uint32_t baudRate);

// The whole opening of a port: the baud selection is examined before anything is opened, so a refused
// selection (kInvalidArgument) leaves nothing open and the invalid handle in *portHandleOut. A port that
// does not open is kPortUnusable, and *why tells why; the refused selection leaves *why as it was.
Result OpenPort(PortHandle* portHandleOut, const char* portName, uint32_t portOptions,
              serial::OpenFailure* why = nullptr);

// Closes the handle *portHandleRef; the caller's variable is left as it is.
void ClosePort(const PortHandle* portHandleRef);

}  // namespace quarn::link
