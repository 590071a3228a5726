// ports: the serial ports of the machine and which adapter is behind each, so that a person can tell
// two USB adapters apart and name the reader's by the path that survives a replug. No reader needed.

#include <cstdlib>
#include <memory>

#include "commands.h"
#include "quarn/ports.h"

namespace quarn::cli {

namespace {

constexpr const char* kRootOfTheMachine = "/";
constexpr const char* kNone = "-";
constexpr const char* kPortsFooter =
    "Linux only: Windows is not covered yet; there, name the port (COM3) as Device Manager shows it.\n"
    "A /dev/serial/by-id/ path names the same adapter after a replug or a reboot; use it with --port.";

struct PortsArgs {
  std::string serial;
  std::string usbId;
  std::string root = kRootOfTheMachine;
};

uint16_t ParseUsbId(const std::string& text, const std::string& whole) {
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (text.empty() || text.size() > 4 || *end != '\0' || value > 0xFFFF)
    FailUsage("USB id '" + whole + "' is not VID or VID:PID in hex, such as 0403 or 0403:6001");
  return static_cast<uint16_t>(value);
}

SerialPortQuery QueryFor(const PortsArgs& args) {
  SerialPortQuery query;
  query.serialNumber = args.serial;
  if (args.usbId.empty()) return query;
  size_t colon = args.usbId.find(':');
  query.vendorId = ParseUsbId(args.usbId.substr(0, colon), args.usbId);
  if (colon != std::string::npos) query.productId = ParseUsbId(args.usbId.substr(colon + 1), args.usbId);
  return query;
}

std::vector<SerialPortInfo> ListPorts(const PortsArgs& args) {
  try {
    return ListSerialPorts({args.root});
  } catch (const std::system_error& failure) {
    if (args.root != kRootOfTheMachine) FailUsage(std::string(failure.what()) + " (check --root)");
    FailReader(failure.what());
  }
}

Json TextOrNull(const std::string& text) { return text.empty() ? Json(nullptr) : Json(text); }

Json UsbIdJson(const std::optional<uint16_t>& id) { return id ? Json(UsbIdText(*id)) : Json(nullptr); }

Json PortJson(const SerialPortInfo& port) {
  Json json = Json::object();
  json["name"] = port.name;
  json["devicePath"] = port.devicePath;
  json["driver"] = TextOrNull(port.driver);
  json["bus"] = TextOrNull(port.bus);
  json["vendorId"] = UsbIdJson(port.vendorId);
  json["productId"] = UsbIdJson(port.productId);
  json["manufacturer"] = TextOrNull(port.manufacturer);
  json["product"] = TextOrNull(port.product);
  json["serialNumber"] = TextOrNull(port.serialNumber);
  json["interfaceNumber"] = port.interfaceNumber ? Json(*port.interfaceNumber) : Json(nullptr);
  json["byIdPath"] = TextOrNull(port.byIdPath);
  json["byPathPath"] = TextOrNull(port.byPathPath);
  json["stablePath"] = port.stablePath();
  return json;
}

std::string OrNone(const std::string& text) { return text.empty() ? kNone : text; }

std::vector<std::string> PortRow(const SerialPortInfo& port) {
  std::string usbId = port.isUsb() ? UsbIdText(*port.vendorId) + ":" + UsbIdText(port.productId.value_or(0)) : kNone;
  std::string adapter = port.manufacturer + (port.manufacturer.empty() || port.product.empty() ? "" : " ") + port.product;
  return {port.devicePath,
          usbId,
          OrNone(port.serialNumber),
          port.interfaceNumber ? std::to_string(*port.interfaceNumber) : kNone,
          OrNone(port.driver),
          OrNone(port.bus),
          OrNone(adapter),
          port.stablePath() == port.devicePath ? kNone : port.stablePath()};
}

std::string PortsText(const std::vector<SerialPortInfo>& ports) {
  std::vector<std::vector<std::string>> rows;
  for (const auto& port : ports) rows.push_back(PortRow(port));
  return TableText({"port", "usb id", "serial", "if", "driver", "bus", "adapter", "stable path"}, rows) +
      Counted(ports.size(), "serial port") + "\n";
}

Report Ports(const PortsArgs& args) {
  SerialPortQuery query = QueryFor(args);
  std::vector<SerialPortInfo> ports = MatchSerialPorts(ListPorts(args), query);
  Report report;
  report.data = Json::array();
  for (const auto& port : ports) report.data.push_back(PortJson(port));
  bool filtered = !args.serial.empty() || !args.usbId.empty();
  if (!ports.empty()) {
    report.text = PortsText(ports);
  } else if (filtered) {
    report.text = "no serial port matches " + query.Describe();
    report.exitStatus = kExitFailed;
  } else {
    report.text = "no serial ports found: no USB adapter is plugged in and no UART has hardware behind it";
  }
  return report;
}

}  // namespace

void AddPortsCommand(CLI::App& app, CommandSet& commands) {
  auto args = std::make_shared<PortsArgs>();
  auto* command = commands.Add(app, "ports", "list the serial ports and the adapter behind each (no reader needed)",
                               [args](Context&) { return Ports(*args); });
  command->footer(kPortsFooter);
  command->add_option("-s,--serial", args->serial, "only the adapter with this USB serial number, such as A10K3XYZ");
  command->add_option("-u,--usb-id", args->usbId, "only adapters with this USB VID or VID:PID in hex, such as 0403:6001");
  command->add_option("--root", args->root, "read sysfs and /dev/serial under this folder instead of /")
      ->capture_default_str();
}

}  // namespace quarn::cli
