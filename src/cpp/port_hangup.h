#pragma once
// Whether a port's device has hung up. A POSIX terminal that hung up (a USB adapter unplugged, a pty
// whose other side closed) answers every read with 0 bytes at once, which the serial backend takes for a
// read with nothing to read: a stream waiting through silence would then never learn that the port is
// gone. A stream asks here when it met silence.

#include "quarn_api.h"

namespace quarn::cpp {

bool PortHungUp(PortHandle port);

}  // namespace quarn::cpp
