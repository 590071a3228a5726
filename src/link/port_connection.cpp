#include "link/port_connection.h"

#include "link/serial/serial_backend.h"
#include "quarn_api.h"

namespace quarn::link {

namespace {
constexpr uint32_t kBaudSelectionMask = QUARN_BAUD_MASK;
constexpr uint32_t kBaudRates[] = {9600, 19200, 57600, 115200};
}  // namespace

std::optional<uint32_t> SelectBaudRate(uint32_t portOptions) {
  const uint32_t selection = (portOptions & kBaudSelectionMask) >> 1;
  if (selection >= sizeof kBaudRates / sizeof kBaudRates[0]) return std::nullopt;
  return kBaudRates[selection];
}

bool OpenSerialPort(PortHandle* portHandleOut, const char* portName, serial::OpenFailure* why) {
  *portHandleOut = serial::OpenExclusive(portName, why);
  return *portHandleOut != QUARN_INVALID_PORT;
}

void ConfigureSerialPort(PortHandle port, uint32_t baudRate) { serial::Configure(port, baudRate); }

Result OpenPort(PortHandle* portHandleOut, const char* portName, uint32_t portOptions, serial::OpenFailure* why) {
  const std::optional<uint32_t> baudRate = SelectBaudRate(portOptions);
  if (!baudRate) {
    *portHandleOut = QUARN_INVALID_PORT;
    return Failed(Outcome::kInvalidArgument);
  }
  if (!OpenSerialPort(portHandleOut, portName, why)) return Failed(Outcome::kPortUnusable);
  ConfigureSerialPort(*portHandleOut, *baudRate);
  return Succeeded();
}

void ClosePort(const PortHandle* portHandleRef) { serial::Close(*portHandleRef); }

}  // namespace quarn::link
