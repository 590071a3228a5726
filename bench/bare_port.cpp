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

bool BarePort::WriteAll(const std::vector<uint8_t>& wire) {
  size_t done = 0;
  while (done < wire.size()) {
    const ssize_t written = write(fd_, wire.data() + done, wire.size() - done);
    if (written <= 0) return false;
    done += static_cast<size_t>(written);
  }
  return true;
}

bool BarePort::ReadWhatComes(size_t count) {
  uint8_t chunk[4096];
  for (size_t done = 0; done < count;) {
    const size_t want = count - done < sizeof chunk ? count - done : sizeof chunk;
    const ssize_t got = read(fd_, chunk, want);
    if (got <= 0) return false;
    done += static_cast<size_t>(got);
    last_ = chunk[got - 1];
  }
  return true;
}

}  // namespace quarn::bench
