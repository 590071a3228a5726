// Picking the adapter an application wants out of the listing, whatever its kernel name is today.

#include <cstdio>
#include <system_error>

#include "quarn/ports.h"

namespace quarn {

namespace {

bool NamesPort(const std::string& name, const SerialPortInfo& port) {
  return name == port.name || name == port.devicePath || (!port.byIdPath.empty() && name == port.byIdPath) ||
         (!port.byPathPath.empty() && name == port.byPathPath);
}

template <typename T>
bool SameOrUnasked(const std::optional<T>& asked, const std::optional<T>& has) {
  return !asked || asked == has;
}

std::string JoinDevicePaths(const std::vector<SerialPortInfo>& ports) {
  std::string text;
  for (const auto& port : ports) text += (text.empty() ? "" : ", ") + port.devicePath;
  return text;
}

// Exactly one port must answer a find: none and several are both errors.
std::error_code CountError(size_t matches) {
  if (matches == 0) return std::make_error_code(std::errc::no_such_device);
  if (matches > 1) return std::make_error_code(std::errc::invalid_argument);
  return {};
}

}  // namespace

const std::string& SerialPortInfo::stablePath() const {
  if (!byIdPath.empty() && !serialNumber.empty()) return byIdPath;
  if (!byPathPath.empty()) return byPathPath;
  return byIdPath.empty() ? devicePath : byIdPath;
}

std::string UsbIdText(uint16_t id) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", id);
  return text;
}

bool SerialPortQuery::Matches(const SerialPortInfo& port) const {
  return (serialNumber.empty() || serialNumber == port.serialNumber) && SameOrUnasked(vendorId, port.vendorId) &&
         SameOrUnasked(productId, port.productId) && SameOrUnasked(interfaceNumber, port.interfaceNumber) &&
         (name.empty() || NamesPort(name, port));
}

std::string SerialPortQuery::Describe() const {
  std::string text;
  auto add = [&text](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
  if (!serialNumber.empty()) add("serial " + serialNumber);
  if (vendorId || productId)
    add((vendorId ? UsbIdText(*vendorId) : "any") + ":" + (productId ? UsbIdText(*productId) : "any"));
  if (interfaceNumber) add("interface " + std::to_string(*interfaceNumber));
  if (!name.empty()) add(name);
  return text.empty() ? "any port" : text;
}

std::vector<SerialPortInfo> MatchSerialPorts(const std::vector<SerialPortInfo>& ports, const SerialPortQuery& query) {
  std::vector<SerialPortInfo> matches;
  for (const auto& port : ports)
    if (query.Matches(port)) matches.push_back(port);
  return matches;
}

std::optional<SerialPortInfo> FindSerialPort(const SerialPortQuery& query, const SerialPortListOptions& options,
                                             std::error_code& error) {
  std::vector<SerialPortInfo> matches = MatchSerialPorts(ListSerialPorts(options, error), query);
  if (!error) error = CountError(matches.size());
  if (error) return std::nullopt;
  return matches.front();
}

SerialPortInfo FindSerialPort(const SerialPortQuery& query, const SerialPortListOptions& options) {
  std::vector<SerialPortInfo> matches = MatchSerialPorts(ListSerialPorts(options), query);
  std::error_code error = CountError(matches.size());
  if (!error) return matches.front();
  if (matches.empty())
    throw std::system_error(error, "no serial port matches " + query.Describe() + "; is the adapter plugged in?");
  throw std::system_error(error, std::to_string(matches.size()) + " serial ports match " + query.Describe() + " (" +
                                     JoinDevicePaths(matches) + "); name the interface number too");
}

}  // namespace quarn
