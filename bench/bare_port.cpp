#include "bare_port.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>

namespace quarn::bench {

BarePort::BarePort(const std::string& path) {
  fd_ = open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) throw std::runtime_error("cannot open " + path);
  termios settings{};
  tcgetattr(fd_, &settings);
  cfmakeraw(&settings);
  settings.c_cflag |= CLOCAL | CREAD;
  settings.c_cc[VMIN] = 1;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, B115200);
  cfsetospeed(&settings, B115200);
  tcsetattr(fd_, TCSANOW, &settings);
}

BarePort::~BarePort() { close(fd_); }

bool BarePort::WriteEach(const std::vector<uint8_t>& wire) {
  for (uint8_t value : wire) {
    if (write(fd_, &value, 1) != 1) return false;
  }
  return true;
}

bool BarePort::ReadEach(size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (read(fd_, &last_, 1) != 1) return false;
  }
  return true;
}

}  // namespace quarn::bench
