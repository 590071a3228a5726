// The serial port listing on made-up machines: which ttys are ports, what identifies each, the udev links
// that name them, and finding the adapter an application asks for.

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "fake_sysfs.h"
#include "quarn/ports.h"

namespace quarn::testing {
namespace {

constexpr const char* kFtdiById = "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";
constexpr const char* kFtdiByPath = "pci-0000:00:14.0-usb-0:1:1.0-port0";
constexpr const char* kFtdiByPathV2 = "pci-0000:00:14.0-usbv2-0:1:1.0-port0";

// Every field in one line, so that a mismatch shows the whole port.
std::string Render(const SerialPortInfo& port) {
  auto id = [](const std::optional<uint16_t>& value) { return value ? UsbIdText(*value) : "-"; };
  std::ostringstream text;
  text << port.name << " | " << port.devicePath << " | " << port.driver << " | " << port.bus << " | "
       << id(port.vendorId) << ":" << id(port.productId) << " | " << port.manufacturer << " | " << port.product
       << " | " << port.serialNumber << " | if " << (port.interfaceNumber ? std::to_string(*port.interfaceNumber) : "-")
       << " | " << port.byIdPath << " | " << port.byPathPath;
  return text.str();
}

std::vector<std::string> Names(const std::vector<SerialPortInfo>& ports) {
  std::vector<std::string> names;
  for (const auto& port : ports) names.push_back(port.name);
  return names;
}

// A machine with every kind of tty: USB adapters (one with two ports), UARTs of old and new kernels, an
// 8250 slot without hardware, virtual ttys and a port unplugged mid-listing.
class PortListing : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.AddUsbAdapter({"ttyUSB0", "ftdi_sio", "1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ", 0});
    tree.AddUsbAdapter({"ttyUSB1", "ftdi_sio", "1-2", "0403", "6010", "FTDI", "Dual RS232-HS", "FT5XYZ12", 0});
    tree.AddUsbAdapter({"ttyUSB2", "ftdi_sio", "1-2", "0403", "6010", "FTDI", "Dual RS232-HS", "FT5XYZ12", 1});
    // An adapter without product and serial strings, and no by-id link.
    tree.AddUsbAdapter({"ttyACM0", "cdc_acm", "1-3", "2341", "0043", "Arduino (www.arduino.cc)", "", "", 0});
    tree.AddSerialCoreUart("ttyS0", "pnp", "00:04", "serial", "4");
    tree.AddSerialCoreUart("ttyS1", "platform", "serial8250", "serial8250", "0");
    tree.AddSerialCoreUart("ttyS2", "pnp", "00:05", "serial", "4");
    tree.AddPlatformUart("ttyS10", "platform", "serial8250.1", "serial8250", "4");
    tree.AddPlatformUart("ttyAMA0", "amba", "fe201000.serial", "uart-pl011", "32");
    for (const char* tty : {"ptmx", "tty0", "tty1", "console", "ttyp0"}) tree.AddVirtualTty(tty);
    tree.AddVanishedTty("ttyUSB7");
    tree.AddSerialLink("by-id", kFtdiById, "ttyUSB0");
    tree.AddSerialLink("by-path", kFtdiByPathV2, "ttyUSB0");
    tree.AddSerialLink("by-path", kFtdiByPath, "ttyUSB0");
    tree.AddSerialLink("by-id", "usb-FTDI_Dual_RS232-HS_FT5XYZ12-if00-port0", "ttyUSB1");
    tree.AddSerialLink("by-id", "usb-FTDI_Dual_RS232-HS_FT5XYZ12-if01-port0", "ttyUSB2");
  }

  std::vector<SerialPortInfo> List() { return ListSerialPorts({tree.root().string()}); }
  std::string Link(const std::string& folder, const std::string& name) {
    return (tree.root() / "dev" / "serial" / folder / name).string();
  }

  FakeSysfs tree;
};

TEST_F(PortListing, ListsSerialPortsInCountingOrderAndNothingElse) {
  EXPECT_EQ(Names(List()), (std::vector<std::string>{"ttyACM0", "ttyAMA0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0",
                                                     "ttyUSB1", "ttyUSB2"}));
}

TEST_F(PortListing, EveryFieldOfEachKindOfPort) {
  auto port = [&](std::string name, std::string driver, std::string bus) {
    SerialPortInfo info;
    info.devicePath = tree.Dev(name);
    info.name = std::move(name);
    info.driver = std::move(driver);
    info.bus = std::move(bus);
    return info;
  };
  auto usb = [&](SerialPortInfo info, uint16_t vendor, uint16_t product, std::string manufacturer,
                 std::string productName, std::string serial, int interface) {
    info.vendorId = vendor;
    info.productId = product;
    info.manufacturer = std::move(manufacturer);
    info.product = std::move(productName);
    info.serialNumber = std::move(serial);
    info.interfaceNumber = interface;
    return info;
  };
  SerialPortInfo ftdi = usb(port("ttyUSB0", "ftdi_sio", "usb"), 0x0403, 0x6001, "FTDI", "FT232R USB UART", "A10K3XYZ", 0);
  ftdi.byIdPath = Link("by-id", kFtdiById);
  ftdi.byPathPath = Link("by-path", kFtdiByPath);  // the classic name, not the usbv2 one
  SerialPortInfo secondOfTwo =
      usb(port("ttyUSB2", "ftdi_sio", "usb"), 0x0403, 0x6010, "FTDI", "Dual RS232-HS", "FT5XYZ12", 1);
  secondOfTwo.byIdPath = Link("by-id", "usb-FTDI_Dual_RS232-HS_FT5XYZ12-if01-port0");
  const std::vector<SerialPortInfo> expected = {
      usb(port("ttyACM0", "cdc_acm", "usb"), 0x2341, 0x0043, "Arduino (www.arduino.cc)", "", "", 0),
      port("ttyAMA0", "uart-pl011", "amba"),
      port("ttyS0", "serial", "pnp"),  // the driver above serial-base's port and controller
      port("ttyS10", "serial8250", "platform"),
      ftdi,
      secondOfTwo,
  };

  std::map<std::string, SerialPortInfo> listed;
  for (const auto& info : List()) listed[info.name] = info;
  for (const auto& want : expected) {
    ASSERT_EQ(listed.count(want.name), 1u) << want.name;
    EXPECT_EQ(Render(listed[want.name]), Render(want));
  }
}

TEST_F(PortListing, StablePathNamesThisAdapterAndNoOther) {
  std::map<std::string, SerialPortInfo> listed;
  for (const auto& info : List()) listed[info.name] = info;
  EXPECT_EQ(listed["ttyUSB0"].stablePath(), Link("by-id", kFtdiById));
  EXPECT_EQ(listed["ttyACM0"].stablePath(), tree.Dev("ttyACM0"));

  // Without a serial number the by-id name is the model's, shared by every such adapter: the socket wins.
  tree.AddSerialLink("by-id", "usb-2341_0043-if00", "ttyACM0");
  for (const auto& info : List()) listed[info.name] = info;
  EXPECT_EQ(listed["ttyACM0"].stablePath(), Link("by-id", "usb-2341_0043-if00"));
  tree.AddSerialLink("by-path", "pci-0000:00:14.0-usb-0:3:1.0", "ttyACM0");
  for (const auto& info : List()) listed[info.name] = info;
  EXPECT_EQ(listed["ttyACM0"].stablePath(), Link("by-path", "pci-0000:00:14.0-usb-0:3:1.0"));
  EXPECT_TRUE(listed["ttyUSB0"].isUsb());
  EXPECT_FALSE(listed["ttyS0"].isUsb());
}

TEST_F(PortListing, AnAbsoluteLinkTargetIsReadWithinTheTree) {
  tree.AddAbsoluteSerialLink("by-id", "usb-Arduino_Uno-if00", "ttyACM0");
  auto found = MatchSerialPorts(List(), {"", {}, {}, {}, "ttyACM0"});
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].byIdPath, Link("by-id", "usb-Arduino_Uno-if00"));
}

TEST_F(PortListing, FindsTheAdapterAnApplicationAsksFor) {
  struct Case {
    SerialPortQuery query;
    std::vector<std::string> names;
  };
  const Case cases[] = {
      {{"A10K3XYZ"}, {"ttyUSB0"}},
      {{"a10k3xyz"}, {}},  // serial numbers are compared exactly
      {{"FT5XYZ12"}, {"ttyUSB1", "ttyUSB2"}},
      {{"FT5XYZ12", {}, {}, 1}, {"ttyUSB2"}},
      {{"", 0x0403}, {"ttyUSB0", "ttyUSB1", "ttyUSB2"}},
      {{"", 0x0403, 0x6010}, {"ttyUSB1", "ttyUSB2"}},
      {{"", {}, {}, 0}, {"ttyACM0", "ttyUSB0", "ttyUSB1"}},
      {{"", {}, {}, {}, "ttyS2"}, {"ttyS2"}},
      {{"", {}, {}, {}, Link("by-id", kFtdiById)}, {"ttyUSB0"}},
      {{"", {}, {}, {}, Link("by-path", kFtdiByPath)}, {"ttyUSB0"}},
      {{"", {}, {}, {}, tree.Dev("ttyAMA0")}, {"ttyAMA0"}},
      {{}, {"ttyACM0", "ttyAMA0", "ttyS0", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB1", "ttyUSB2"}},
  };
  auto ports = List();
  for (const auto& c : cases) EXPECT_EQ(Names(MatchSerialPorts(ports, c.query)), c.names) << c.query.Describe();
}

TEST_F(PortListing, FindingNeedsExactlyOnePort) {
  SerialPortListOptions options{tree.root().string()};
  EXPECT_EQ(FindSerialPort({"A10K3XYZ"}, options).devicePath, tree.Dev("ttyUSB0"));

  std::error_code error;
  EXPECT_FALSE(FindSerialPort({"NOSUCH01"}, options, error));
  EXPECT_EQ(error, std::errc::no_such_device);
  EXPECT_FALSE(FindSerialPort({"FT5XYZ12"}, options, error));
  EXPECT_EQ(error, std::errc::invalid_argument);
  auto found = FindSerialPort({"FT5XYZ12", {}, {}, 1}, options, error);
  ASSERT_TRUE(found);
  EXPECT_FALSE(error);
  EXPECT_EQ(found->name, "ttyUSB2");

  try {
    FindSerialPort({"FT5XYZ12"}, options);
    ADD_FAILURE() << "two ports matched and no error came";
  } catch (const std::system_error& failure) {
    std::string message = failure.what();
    EXPECT_NE(message.find("2 serial ports match serial FT5XYZ12"), std::string::npos) << message;
    EXPECT_NE(message.find(tree.Dev("ttyUSB1") + ", " + tree.Dev("ttyUSB2")), std::string::npos) << message;
    EXPECT_NE(message.find("interface number"), std::string::npos) << message;
  }
  try {
    FindSerialPort({"NOSUCH01", 0x0403, 0x6001}, options);
    ADD_FAILURE() << "nothing matched and no error came";
  } catch (const std::system_error& failure) {
    EXPECT_NE(std::string(failure.what()).find("no serial port matches serial NOSUCH01, 0403:6001"), std::string::npos)
        << failure.what();
  }
}

TEST(PortListingTrees, WithoutSysfsTheListingFailsAndSaysWhere) {
  const std::string root = "/nonexistent/quarn-root";
  std::error_code error;
  EXPECT_TRUE(ListSerialPorts({root}, error).empty());
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  try {
    ListSerialPorts({root});
    ADD_FAILURE() << "a root without sysfs listed";
  } catch (const std::system_error& failure) {
    EXPECT_EQ(failure.code(), std::errc::no_such_file_or_directory);
    EXPECT_NE(std::string(failure.what()).find(root + "/sys/class/tty"), std::string::npos) << failure.what();
  }
}

TEST(PortListingTrees, NoLinksFolderAndNoPortsAreNoErrors) {
  FakeSysfs tree;
  tree.AddVirtualTty("ptmx");
  std::error_code error;
  EXPECT_TRUE(ListSerialPorts({tree.root().string()}, error).empty());
  EXPECT_FALSE(error);

  tree.AddPlatformUart("ttyS0", "platform", "serial8250", "serial8250", "4");
  auto ports = ListSerialPorts({tree.root().string()}, error);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_TRUE(ports[0].byIdPath.empty());
  EXPECT_EQ(ports[0].stablePath(), tree.Dev("ttyS0"));
}

// The machine's own sysfs: whatever it has, consoles and pseudo-terminals are not among the ports.
TEST(PortListingTrees, TheMachinesOwnListsNoVirtualTty) {
  if (!std::filesystem::exists("/sys/class/tty")) GTEST_SKIP() << "no sysfs here";
  for (const auto& port : ListSerialPorts()) {
    EXPECT_EQ(port.devicePath, "/dev/" + port.name);
    EXPECT_NE(port.name, "ptmx");
    EXPECT_NE(port.name, "console");
    EXPECT_FALSE(port.name.size() > 3 && port.name.compare(0, 3, "tty") == 0 && std::isdigit(port.name[3]))
        << port.name << " is a virtual console";
  }
}

}  // namespace
}  // namespace quarn::testing
