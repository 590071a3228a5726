#pragma once
// The serial ports of the machine and what identifies each: which adapter it is, not which name the
// kernel handed out this time. Two USB adapters swap ttyUSB0 and ttyUSB1 on replug; their vendor and
// product IDs, serial number, interface and /dev/serial/by-id/ link stay.
//
// Linux reads sysfs (/sys/class/tty and the device tree above each port) and the links udev keeps under
// /dev/serial/. Windows is not covered yet: there the listing fails with std::errc::function_not_supported.

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace quarn {

struct SerialPortInfo {
  std::string name;        // the kernel's name: ttyUSB0, ttyACM0, ttyS0, ttyAMA0
  std::string devicePath;  // what to open: /dev/ttyUSB0 (under the listing's root when one is given)
  std::string driver;      // the driver behind the port: ftdi_sio, cp210x, cdc_acm, serial, pl011...
  std::string bus;         // where the port hangs: usb, pci, pnp, platform, amba...

  // Of the USB device, on USB adapters only; empty or absent where the adapter does not say.
  std::optional<uint16_t> vendorId;
  std::optional<uint16_t> productId;
  std::string manufacturer;
  std::string product;
  std::string serialNumber;
  // The USB interface the port belongs to: adapters with two or four ports on one device tell them apart
  // by it (the ifNN of their by-id link).
  std::optional<int> interfaceNumber;

  // The links that name this port whatever its kernel name; empty where udev made none.
  std::string byIdPath;    // /dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0
  std::string byPathPath;  // /dev/serial/by-path/pci-0000:00:14.0-usb-0:1:1.0-port0

  bool isUsb() const { return vendorId.has_value(); }
  // The path that names this adapter and no other after a replug: the by-id link of an adapter with a
  // serial number; else the by-path link (two adapters without serial numbers share a by-id name, made of
  // their model alone, but not a socket); else whichever there is, else the device.
  const std::string& stablePath() const;
};

struct SerialPortListOptions {
  // The tree to read: sysfs at root/sys, the links at root/dev/serial. "/" is the machine's own; a
  // made-up tree lets tests and containers with the host's /sys mounted elsewhere list ports too.
  std::string root = "/";
};

// Every serial port of the machine, in name order (ttyS2 before ttyS10). Listed are ttys with a device
// behind them: USB adapters, and platform, PNP and PCI UARTs. Left out: virtual consoles and ptys (no
// device), and the UART slots the 8250 driver registers without hardware (the ttyS1..ttyS31 of a PC,
// whose type reads 0 - opening one succeeds and nothing ever comes).
// The throwing form throws std::system_error; the other sets error and returns an empty list.
std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions& options = {});
std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions& options, std::error_code& error);

// Which adapter an application wants: every field given must match; an empty query matches every port.
// Fields left out of a brace list match anything: SerialPortQuery{"A10K3XYZ"} is that serial number.
struct SerialPortQuery {
  std::string serialNumber{};  // exactly, case and all
  std::optional<uint16_t> vendorId{};
  std::optional<uint16_t> productId{};
  std::optional<int> interfaceNumber{};
  std::string name{};  // ttyUSB0, or a device or link path such as /dev/serial/by-id/usb-...

  bool Matches(const SerialPortInfo& port) const;
  // "serial A10K3XYZ, 0403:6001, interface 1": how error messages name what was asked for.
  std::string Describe() const;
};

std::vector<SerialPortInfo> MatchSerialPorts(const std::vector<SerialPortInfo>& ports, const SerialPortQuery& query);

// The one port the query names, e.g. "the adapter with serial A10K3XYZ". Fails with
// std::errc::no_such_device when none matches, and with std::errc::invalid_argument when several do
// (a two-port adapter has one serial number for both: add its interfaceNumber).
SerialPortInfo FindSerialPort(const SerialPortQuery& query, const SerialPortListOptions& options = {});
std::optional<SerialPortInfo> FindSerialPort(const SerialPortQuery& query, const SerialPortListOptions& options,
                                             std::error_code& error);

// "0403" for 0x0403: how USB IDs are written everywhere (lsusb, udev, by-id links).
std::string UsbIdText(uint16_t id);

}  // namespace quarn
