#include "sysfs_port.h"

#include <cstdlib>
#include <fstream>
#include <system_error>

namespace quarn::ports {

namespace fs = std::filesystem;

namespace {

// The 8250 driver's ports carry the UART it found; 0 means none answered at that address.
constexpr const char* kNoUartType = "0";
// Since Linux 6.5 a serial-core port hangs below two devices of this bus, whose drivers ("port", "ctrl")
// are the core's own; the UART's driver is the next one up.
constexpr const char* kSerialCoreBus = "serial-base";
constexpr const char* kUsbBus = "usb";
// Deeper than any real device tree; keeps a looped made-up tree from walking on forever.
constexpr int kMostAncestors = 64;

// A sysfs attribute without its trailing newline; empty when the file is missing or unreadable (a device
// without a serial number string has no serial file).
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string text;
  std::getline(in, text);
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
  return text;
}

std::optional<unsigned long> ParseHex(const std::string& text, unsigned long most) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  unsigned long value = std::strtoul(text.c_str(), &end, 16);
  if (*end != '\0' || value > most) return std::nullopt;
  return value;
}

std::optional<uint16_t> ReadUsbId(const fs::path& file) {
  auto value = ParseHex(ReadAttribute(file), 0xFFFF);
  if (!value) return std::nullopt;
  return static_cast<uint16_t>(*value);
}

// The last part of the link a device has to its driver or its bus; empty without one.
std::string LinkName(const fs::path& link) {
  std::error_code error;
  fs::path target = fs::read_symlink(link, error);
  return error ? std::string() : target.filename().string();
}

bool Exists(const fs::path& file) {
  std::error_code error;
  return fs::exists(file, error);
}

// What the walk up the device tree has gathered so far.
struct Ancestry {
  SerialPortInfo& port;
  bool usbDeviceFound = false;
};

void TakeDriver(const fs::path& dir, Ancestry& ancestry) {
  if (!ancestry.port.driver.empty()) return;
  std::string bus = LinkName(dir / "subsystem");
  std::string driver = LinkName(dir / "driver");
  if (driver.empty() || bus == kSerialCoreBus) return;
  ancestry.port.driver = driver;
  ancestry.port.bus = bus;
}

void TakeInterface(const fs::path& dir, Ancestry& ancestry) {
  if (ancestry.port.interfaceNumber) return;
  if (auto number = ParseHex(ReadAttribute(dir / "bInterfaceNumber"), 0xFF))
    ancestry.port.interfaceNumber = static_cast<int>(*number);
}

void TakeUsbDevice(const fs::path& dir, Ancestry& ancestry) {
  if (!Exists(dir / "idVendor")) return;
  SerialPortInfo& port = ancestry.port;
  port.vendorId = ReadUsbId(dir / "idVendor");
  port.productId = ReadUsbId(dir / "idProduct");
  port.manufacturer = ReadAttribute(dir / "manufacturer");
  port.product = ReadAttribute(dir / "product");
  port.serialNumber = ReadAttribute(dir / "serial");
  port.bus = kUsbBus;
  ancestry.usbDeviceFound = true;
}

// From the tty's device up to the top of sysfs: the driver is the first real one on the way, the
// interface and the USB device the first that carry their attributes.
void WalkAncestors(const fs::path& device, const fs::path& top, SerialPortInfo& port) {
  Ancestry ancestry{port};
  fs::path dir = device;
  for (int depth = 0; depth < kMostAncestors && !ancestry.usbDeviceFound; ++depth) {
    if (dir == top || !dir.has_relative_path()) break;
    TakeDriver(dir, ancestry);
    TakeInterface(dir, ancestry);
    TakeUsbDevice(dir, ancestry);
    dir = dir.parent_path();
  }
  if (port.bus.empty()) port.bus = LinkName(device / "subsystem");
}

}  // namespace

std::optional<SerialPortInfo> ReadSysfsPort(const fs::path& root, const std::string& name) {
  const fs::path entry = root / "sys" / "class" / "tty" / name;
  std::error_code error;
  // Virtual consoles, ptys and the console have no device; a device that went away mid-listing neither.
  const fs::path device = fs::canonical(entry / "device", error);
  if (error) return std::nullopt;
  if (ReadAttribute(entry / "type") == kNoUartType) return std::nullopt;

  SerialPortInfo port;
  port.name = name;
  const fs::path top = fs::canonical(root / "sys", error);
  WalkAncestors(device, error ? fs::path() : top, port);
  return port;
}

}  // namespace quarn::ports
