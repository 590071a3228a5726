#include "link/port_connection.h"

#include "link/serial/serial_backend.h"

namespace quarn::link {

namespace {
constexpr uint32_t kBaudSelectionMask = 0x0E;
constexpr uint32_t kBaudRates[] = {9600, 19200, 57600, 115200};
}  // namespace

std::optional<uint32_t> SelectBaudRate(uint32_t portOptions) {
  const uint32_t selection = (portOptions & kBaudSelectionMask) >> 1;
  if (selection >= sizeof kBaudRates / sizeof kBaudRates[0]) return std::nullopt;
  return kBaudRates[selection];
}

bool OpenSerialPort(PortHandle* portHandleOut, const char* portName) {
  *portHandleOut = serial::OpenExclusive(portName, nullptr);
  return *portHandleOut != QUARN_INVALID_PORT;
}

void ConfigureSerialPort(PortHandle port, uint32_t baudRate) { serial::Configure(port, baudRate); }

bool OpenPort(PortHandle* portHandleOut, const char* portName, uint32_t portOptions) {
  const std::optional<uint32_t> baudRate = SelectBaudRate(portOptions);
  if (!baudRate) {
    *portHandleOut = QUARN_INVALID_PORT;
    return false;
  }
  if (!OpenSerialPort(portHandleOut, portName)) return false;
  ConfigureSerialPort(*portHandleOut, *baudRate);
  return true;
}

void ClosePort(const PortHandle* portHandleRef) { serial::Close(*portHandleRef); }

}  // namespace quarn::link
