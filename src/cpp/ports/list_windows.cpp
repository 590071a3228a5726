// The listing on Windows: not there yet. Ports there are named COM3, COM10, and nothing here reads which
// adapter is behind each.

#include <system_error>

#include "quarn/ports.h"

namespace quarn {

std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions&, std::error_code& error) {
  error = std::make_error_code(std::errc::function_not_supported);
  return {};
}

std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions& options) {
  std::error_code error;
  ListSerialPorts(options, error);
  throw std::system_error(error, "listing serial ports is not available on Windows yet; name the port (COM3) "
                                 "as Device Manager shows it");
}

}  // namespace quarn
