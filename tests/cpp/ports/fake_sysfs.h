#pragma once
// A made-up machine in a temporary folder: sysfs under sys/ laid out as Linux lays it out (relative links
// from /sys/class/tty into /sys/devices, drivers and buses as links), and udev's links under dev/serial/.
// Header-only, so that the tool's tests build the same trees.

#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

namespace quarn::testing {

class FakeSysfs {
 public:
  FakeSysfs() {
    std::string pattern = (std::filesystem::temp_directory_path() / "quarn-sysfs-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    std::filesystem::create_directories(root_ / "sys" / "class" / "tty");
  }
  ~FakeSysfs() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  FakeSysfs(const FakeSysfs&) = delete;
  FakeSysfs& operator=(const FakeSysfs&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::string Dev(const std::string& name) const { return (root_ / "dev" / name).string(); }

  struct UsbAdapter {
    std::string tty;             // ttyUSB0 (a usb-serial driver) or ttyACM0 (cdc_acm)
    std::string driver;          // ftdi_sio, cdc_acm
    std::string usbPath = "1-1";  // the device's place on the bus
    std::string vendorId, productId, manufacturer, product, serial;  // empty: the attribute is missing
    int interfaceNumber = 0;
  };

  // USB device, its interface, and for usb-serial drivers the port device between interface and tty.
  void AddUsbAdapter(const UsbAdapter& adapter) {
    auto device = Devices() / "pci0000:00" / "0000:00:14.0" / "usb1" / adapter.usbPath;
    Attribute(device / "idVendor", adapter.vendorId);
    Attribute(device / "idProduct", adapter.productId);
    Attribute(device / "manufacturer", adapter.manufacturer);
    Attribute(device / "product", adapter.product);
    Attribute(device / "serial", adapter.serial);
    Bus(device, "usb");
    Driver(device, "usb", "usb");
    char interfaceText[8];
    std::snprintf(interfaceText, sizeof interfaceText, "%02x", adapter.interfaceNumber);
    auto interface = device / (adapter.usbPath + ":1." + std::to_string(adapter.interfaceNumber));
    Attribute(interface / "bInterfaceNumber", interfaceText);
    Bus(interface, "usb");
    Driver(interface, "usb", adapter.driver);
    bool acm = adapter.tty.rfind("ttyACM", 0) == 0;
    auto portDevice = interface;
    if (!acm) {
      portDevice = interface / adapter.tty;
      Bus(portDevice, "usb-serial");
      Driver(portDevice, "usb-serial", adapter.driver);
    }
    Tty(adapter.tty, portDevice, "");
  }

  // A UART of Linux 6.5 on: the port device and its controller are serial-base's, the driver above them.
  void AddSerialCoreUart(const std::string& tty, const std::string& bus, const std::string& deviceName,
                         const std::string& driver, const std::string& type) {
    auto device = Devices() / (bus == "pnp" ? "pnp0" : "platform") / deviceName;
    Bus(device, bus);
    Driver(device, bus, driver);
    auto controller = device / (deviceName + ":0");
    auto port = controller / (deviceName + ":0.0");
    for (const auto& dir : {controller, port}) Bus(dir, "serial-base");
    Driver(controller, "serial-base", "ctrl");
    Driver(port, "serial-base", "port");
    Tty(tty, port, type);
  }

  // A UART of older kernels: the tty straight below the device of its driver.
  void AddPlatformUart(const std::string& tty, const std::string& bus, const std::string& deviceName,
                       const std::string& driver, const std::string& type) {
    auto device = Devices() / "platform" / deviceName;
    Bus(device, bus);
    Driver(device, bus, driver);
    Tty(tty, device, type);
  }

  // A tty without a device: a pty, a virtual console, the console.
  void AddVirtualTty(const std::string& tty) { Tty(tty, {}, ""); }

  // A class entry whose device went away while the listing read it.
  void AddVanishedTty(const std::string& tty) {
    auto ttyDir = Devices() / "gone" / "tty" / tty;
    std::filesystem::create_directories(ttyDir);
    Link(ttyDir / "device", Devices() / "gone" / "device-removed");
    Link(root_ / "sys" / "class" / "tty" / tty, ttyDir);
  }

  void AddSerialLink(const std::string& folder, const std::string& name, const std::string& tty) {
    Link(root_ / "dev" / "serial" / folder / name, root_ / "dev" / tty);
  }
  // udev writes relative targets; this one points the way an administrator's hand-made link might.
  void AddAbsoluteSerialLink(const std::string& folder, const std::string& name, const std::string& tty) {
    auto link = root_ / "dev" / "serial" / folder / name;
    std::filesystem::create_directories(link.parent_path());
    std::filesystem::create_symlink("/dev/" + tty, link);
  }

 private:
  std::filesystem::path Devices() const { return root_ / "sys" / "devices"; }

  static void Attribute(const std::filesystem::path& file, const std::string& value) {
    std::filesystem::create_directories(file.parent_path());
    if (value.empty()) return;
    std::ofstream(file) << value << "\n";
  }

  // Two ports of one adapter share its device: the second finds its links made.
  void Link(const std::filesystem::path& link, const std::filesystem::path& target) {
    std::filesystem::create_directories(link.parent_path());
    if (std::filesystem::is_symlink(link)) return;
    std::filesystem::create_symlink(std::filesystem::relative(target, link.parent_path()), link);
  }

  void Bus(const std::filesystem::path& device, const std::string& bus) {
    std::filesystem::create_directories(root_ / "sys" / "bus" / bus);
    Link(device / "subsystem", root_ / "sys" / "bus" / bus);
  }

  void Driver(const std::filesystem::path& device, const std::string& bus, const std::string& driver) {
    auto driverDir = root_ / "sys" / "bus" / bus / "drivers" / driver;
    std::filesystem::create_directories(driverDir);
    Link(device / "driver", driverDir);
  }

  // The tty's own folder below its device (or under virtual/ without one), its class entry, its /dev node.
  void Tty(const std::string& tty, const std::filesystem::path& device, const std::string& type) {
    auto ttyDir = device.empty() ? Devices() / "virtual" / "tty" / tty : device / "tty" / tty;
    Attribute(ttyDir / "dev", "4:64");
    Attribute(ttyDir / "type", type);
    if (!device.empty()) Link(ttyDir / "device", device);
    Link(root_ / "sys" / "class" / "tty" / tty, ttyDir);
    std::filesystem::create_directories(root_ / "dev");
    std::ofstream(root_ / "dev" / tty) << "";
  }

  std::filesystem::path root_;
};

}  // namespace quarn::testing
