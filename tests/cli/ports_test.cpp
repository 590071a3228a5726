// quarn ports on made-up machines (table, JSON, filters, mistakes), and --port given a by-id path: a link
// named as udev names an adapter's, pointing at the virtual reader's terminal.

#include <gtest/gtest.h>

#include <filesystem>

#include "../cpp/ports/fake_sysfs.h"
#include "quarn_runner.h"
#include "reader_fixture.h"

namespace quarn::cli::testing {
namespace {

using quarn::testing::FakeSysfs;

constexpr const char* kById = "usb-FTDI_FT232R_USB_UART_A10K3XYZ-if00-port0";

// The three kinds the listing tells apart: a USB adapter with its by-id link, a platform UART, a pty.
class CliPorts : public ::testing::Test {
 protected:
  void SetUp() override {
    tree.AddUsbAdapter({"ttyUSB0", "ftdi_sio", "1-1", "0403", "6001", "FTDI", "FT232R USB UART", "A10K3XYZ", 0});
    tree.AddSerialLink("by-id", kById, "ttyUSB0");
    tree.AddPlatformUart("ttyAMA0", "amba", "fe201000.serial", "uart-pl011", "32");
    tree.AddVirtualTty("ptmx");
  }
  Outcome Ports(std::vector<std::string> args) {
    args.insert(args.begin(), {"ports", "--root", tree.root().string()});
    return RunQuarn(args);
  }
  std::string ById() const { return (tree.root() / "dev" / "serial" / "by-id" / kById).string(); }

  FakeSysfs tree;
};

TEST_F(CliPorts, JsonIsOneObjectPerPortWithEveryField) {
  Outcome run = RunQuarn({"--json", "ports", "--root", tree.root().string()});
  ASSERT_EQ(run.status, 0) << run.err;
  nlohmann::json expected = nlohmann::json::parse(R"([
    {"name": "ttyAMA0", "devicePath": ")" + tree.Dev("ttyAMA0") + R"(", "driver": "uart-pl011", "bus": "amba",
     "vendorId": null, "productId": null, "manufacturer": null, "product": null, "serialNumber": null,
     "interfaceNumber": null, "byIdPath": null, "byPathPath": null, "stablePath": ")" + tree.Dev("ttyAMA0") + R"("},
    {"name": "ttyUSB0", "devicePath": ")" + tree.Dev("ttyUSB0") + R"(", "driver": "ftdi_sio", "bus": "usb",
     "vendorId": "0403", "productId": "6001", "manufacturer": "FTDI", "product": "FT232R USB UART",
     "serialNumber": "A10K3XYZ", "interfaceNumber": 0, "byIdPath": ")" + ById() + R"(", "byPathPath": null,
     "stablePath": ")" + ById() + R"("}
  ])");
  EXPECT_EQ(run.Json(), expected) << run.out;
}

TEST_F(CliPorts, TableNamesTheAdapterAndItsStablePath) {
  Outcome run = Ports({});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("stable path"), std::string::npos) << run.out;
  size_t row = run.out.find(tree.Dev("ttyUSB0"));
  ASSERT_NE(row, std::string::npos) << run.out;
  std::string line = run.out.substr(row, run.out.find('\n', row) - row);
  for (const std::string& cell : std::vector<std::string>{"0403:6001", "A10K3XYZ", "ftdi_sio", "FTDI FT232R USB UART", ById()})
    EXPECT_NE(line.find(cell), std::string::npos) << cell << " missing from: " << line;
  EXPECT_EQ(run.out.find("ptmx"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("2 serial ports"), std::string::npos) << run.out;
}

TEST_F(CliPorts, FiltersNameTheAdapterAndFailWhenNoneMatches) {
  struct Case {
    std::vector<std::string> args;
    int status;
    size_t count;
  };
  const Case cases[] = {
      {{"--serial", "A10K3XYZ"}, 0, 1},
      {{"--usb-id", "0403"}, 0, 1},
      {{"--usb-id", "0403:6001"}, 0, 1},
      {{"--usb-id", "0403:6010"}, 1, 0},
      {{"--serial", "NOSUCH01"}, 1, 0},
      {{}, 0, 2},
  };
  for (const auto& c : cases) {
    auto args = c.args;
    args.insert(args.begin(), {"--json", "ports", "--root", tree.root().string()});
    Outcome run = RunQuarn(args);
    EXPECT_EQ(run.status, c.status) << run.err;
    EXPECT_EQ(run.Json().size(), c.count) << run.out;
  }
  Outcome none = Ports({"--serial", "NOSUCH01"});
  EXPECT_NE(none.out.find("no serial port matches serial NOSUCH01"), std::string::npos) << none.out;
}

TEST_F(CliPorts, MistakesAreUsageErrorsThatSayWhatIsWrong) {
  struct Case {
    std::vector<std::string> args;
    const char* message;
  };
  const Case cases[] = {
      {{"ports", "--usb-id", "04031"}, "USB id '04031' is not VID or VID:PID in hex"},
      {{"ports", "--usb-id", "0403:"}, "is not VID or VID:PID"},
      {{"ports", "--usb-id", "xyz"}, "is not VID or VID:PID"},
      {{"ports", "--root", "/nonexistent/quarn-root"}, "/nonexistent/quarn-root/sys/class/tty cannot be read"},
  };
  for (const auto& c : cases) {
    Outcome run = RunQuarn(c.args);
    EXPECT_EQ(run.status, 2) << c.args.back();
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
  }
}

TEST(CliPortsMachine, NoPortsIsSaidPlainlyAndHelpTellsOfWindows) {
  FakeSysfs empty;
  empty.AddVirtualTty("ptmx");
  Outcome run = RunQuarn({"ports", "--root", empty.root().string()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("no serial ports found"), std::string::npos) << run.out;
  EXPECT_EQ(RunQuarn({"--json", "ports", "--root", empty.root().string()}).Json(), nlohmann::json::array());

  // The machine's own, whatever it has; no --port is needed.
  Outcome own = RunQuarn({"ports"});
  EXPECT_EQ(own.status, 0) << own.err;
  EXPECT_TRUE(own.out.find("serial port") != std::string::npos ||
              own.out.find("no serial ports found") != std::string::npos)
      << own.out;

  Outcome help = RunQuarn({"ports", "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("Windows is not covered yet"), std::string::npos) << help.out;
}

#if QUARN_CLI_WITH_SIM

// A folder standing in for /dev/serial/by-id, with the adapter's link to the virtual reader's terminal.
class CliPortByIdPath : public ReaderTest {
 protected:
  void SetUp() override {
    StartOneTag();
    byId = folder.root() / "dev" / "serial" / "by-id";
    std::filesystem::create_directories(byId);
  }
  FakeSysfs folder;
  std::filesystem::path byId;
};

TEST_F(CliPortByIdPath, PortTakesTheLinkAsItStands) {
  auto link = byId / kById;
  std::filesystem::create_symlink(server_->devicePath(), link);
  Outcome run = RunQuarn({"--json", "--port", link.string(), "info"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.Json()["paStatus"], "ok");
  // QUARN_PORT takes it the same way.
  EXPECT_EQ(RunQuarn({"--json", "power"}, link.string()).status, 0);
}

TEST_F(CliPortByIdPath, ALinkToAnUnpluggedAdapterIsAnUnopenablePort) {
  auto link = byId / "usb-FTDI_FT232R_USB_UART_UNPLUGGD-if00-port0";
  std::filesystem::create_symlink(folder.root() / "dev" / "ttyUSB9", link);
  Outcome run = RunQuarn({"--port", link.string(), "info"});
  EXPECT_EQ(run.status, 3);
  EXPECT_NE(run.err.find(link.string()), std::string::npos) << run.err;
}

#endif

}  // namespace
}  // namespace quarn::cli::testing
