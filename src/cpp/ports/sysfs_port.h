#pragma once
// One tty of a sysfs tree, read into what identifies its port.

#include <filesystem>
#include <optional>
#include <string>

#include "quarn/ports.h"

namespace quarn::ports {

// The port of the tty called name under root/sys/class/tty; none when it is no serial port (no device
// behind it, or an 8250 slot without a UART) or when it vanished while being read. The paths are left
// empty: they depend on the /dev tree, not on sysfs.
std::optional<SerialPortInfo> ReadSysfsPort(const std::filesystem::path& root, const std::string& name);

}  // namespace quarn::ports
