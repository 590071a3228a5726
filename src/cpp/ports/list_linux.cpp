// The listing on Linux: every tty of sysfs that is a serial port, with the /dev/serial links to it.

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "natural_order.h"
#include "quarn/ports.h"
#include "serial_links.h"
#include "sysfs_port.h"

namespace quarn {

namespace fs = std::filesystem;

namespace {

fs::path RootOf(const SerialPortListOptions& options) { return options.root.empty() ? "/" : options.root; }

fs::path TtyClass(const fs::path& root) { return root / "sys" / "class" / "tty"; }

std::vector<std::string> TtyNames(const fs::path& root, std::error_code& error) {
  std::vector<std::string> names;
  for (fs::directory_iterator it(TtyClass(root), error), end; !error && it != end; it.increment(error))
    names.push_back(it->path().filename().string());
  if (error) return {};
  std::sort(names.begin(), names.end(), ports::NaturalLess);
  return names;
}

void AddLinks(const fs::path& root, const std::map<std::string, ports::StableLinks>& links, SerialPortInfo& port) {
  port.devicePath = (root / "dev" / port.name).lexically_normal().string();
  auto found = links.find(port.devicePath);
  if (found == links.end()) return;
  port.byIdPath = found->second.byId;
  port.byPathPath = found->second.byPath;
}

}  // namespace

std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions& options, std::error_code& error) {
  const fs::path root = RootOf(options);
  std::vector<std::string> names = TtyNames(root, error);
  if (error) return {};
  const auto links = ports::ReadSerialLinks(root);
  std::vector<SerialPortInfo> found;
  for (const std::string& name : names) {
    std::optional<SerialPortInfo> port = ports::ReadSysfsPort(root, name);
    if (!port) continue;
    AddLinks(root, links, *port);
    found.push_back(std::move(*port));
  }
  return found;
}

std::vector<SerialPortInfo> ListSerialPorts(const SerialPortListOptions& options) {
  std::error_code error;
  std::vector<SerialPortInfo> found = ListSerialPorts(options, error);
  if (error)
    throw std::system_error(error, "cannot list the serial ports: " + TtyClass(RootOf(options)).string() +
                                       " cannot be read; the root must hold a Linux sysfs at sys/");
  return found;
}

}  // namespace quarn
