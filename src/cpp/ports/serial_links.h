#pragma once
// The links udev keeps under /dev/serial/: by-id (made of the adapter's vendor, product, serial number
// and interface) and by-path (made of the socket it is plugged into).

#include <filesystem>
#include <map>
#include <string>

namespace quarn::ports {

struct StableLinks {
  std::string byId;
  std::string byPath;
};

// The links of a /dev tree, keyed by the device path each points to (root/dev/ttyUSB0). Where several
// links point to one device the first in name order is kept: udev's by-path gives USB ports two names,
// "-usb-" and "-usbv2-", and the first is the classic one. No /dev/serial at all is no error: udev makes
// it with the first adapter.
std::map<std::string, StableLinks> ReadSerialLinks(const std::filesystem::path& root);

}  // namespace quarn::ports
