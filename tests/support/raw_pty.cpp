#include "raw_pty.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace quarn::testing {

bool OpenRawPty(RawPty* pty) {
  pty->master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  const char* name = pty->master >= 0 && grantpt(pty->master) == 0 && unlockpt(pty->master) == 0
                         ? ptsname(pty->master)
                         : nullptr;
  if (name != nullptr) {
    pty->slavePath = name;
    pty->slaveKeeper = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  }
  termios settings{};
  if (pty->slaveKeeper >= 0 && tcgetattr(pty->slaveKeeper, &settings) == 0) {
    cfmakeraw(&settings);
    if (tcsetattr(pty->slaveKeeper, TCSANOW, &settings) == 0) return true;
  }
  CloseRawPty(pty);
  return false;
}

void CloseRawPty(RawPty* pty) {
  if (pty->slaveKeeper >= 0) close(pty->slaveKeeper);
  if (pty->master >= 0) close(pty->master);
  pty->slaveKeeper = -1;
  pty->master = -1;
}

}  // namespace quarn::testing
