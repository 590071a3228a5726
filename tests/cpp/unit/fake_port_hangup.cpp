// The hang-up probe of the C++ layer on the fake port: a port the test hung up.

#include "cpp/port_hangup.h"
#include "fake_serial.h"

namespace quarn::cpp {

bool PortHungUp(PortHandle port) { return testing::FakePort::FromHandle(port)->hungUp(); }

}  // namespace quarn::cpp
