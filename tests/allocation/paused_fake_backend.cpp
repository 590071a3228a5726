// The fake port records every byte the library writes and queues the replies it releases, in vectors and
// deques: that is the test's bookkeeping, not the library's. The link wraps the seven backend operations
// (--wrap on their mangled names, see CMakeLists.txt) so that the counter pauses inside them.

#include <cstdint>
#include <type_traits>

#include "allocation_counter.h"
#include "link/serial/serial_backend.h"
#include "paused_fake_backend.h"
#include "quarn_api.h"

// The mangled names in CMakeLists.txt spell PortHandle as long.
static_assert(std::is_same_v<PortHandle, long>, "the wrapped backend names assume a 64-bit Linux PortHandle");

namespace quarn::allocation {

namespace {

uint64_t armedBackendCalls = 0;

// Notes that the library reached the port while armed.
struct ArmedNote {
  ArmedNote() {
    if (Counting()) ++armedBackendCalls;
  }
};

// The note comes before the pause: members are built in the order they are declared.
struct BackendCall {
  ArmedNote note;
  PausedScope paused;
};

}  // namespace

uint64_t ArmedBackendCalls() { return armedBackendCalls; }

}  // namespace quarn::allocation

using quarn::allocation::BackendCall;

extern "C" {

PortHandle __real__ZN5quarn6serial13OpenExclusiveEPKcPNS0_11OpenFailureE(const char* portName, quarn::serial::OpenFailure* why);
void __real__ZN5quarn6serial9ConfigureElj(PortHandle port, uint32_t baudRate);
bool __real__ZN5quarn6serial5CloseEl(PortHandle port);
void __real__ZN5quarn6serial10PurgeInputEl(PortHandle port);
quarn::serial::WriteOutcome __real__ZN5quarn6serial9WriteByteElh(PortHandle port, uint8_t value);
quarn::serial::ReadOutcome __real__ZN5quarn6serial8ReadByteElPh(PortHandle port, uint8_t* value);
uint32_t __real__ZN5quarn6serial6TickMsEl(PortHandle port);

PortHandle __wrap__ZN5quarn6serial13OpenExclusiveEPKcPNS0_11OpenFailureE(const char* portName, quarn::serial::OpenFailure* why) {
  const BackendCall call;
  return __real__ZN5quarn6serial13OpenExclusiveEPKcPNS0_11OpenFailureE(portName, why);
}

void __wrap__ZN5quarn6serial9ConfigureElj(PortHandle port, uint32_t baudRate) {
  const BackendCall call;
  __real__ZN5quarn6serial9ConfigureElj(port, baudRate);
}

bool __wrap__ZN5quarn6serial5CloseEl(PortHandle port) {
  const BackendCall call;
  return __real__ZN5quarn6serial5CloseEl(port);
}

void __wrap__ZN5quarn6serial10PurgeInputEl(PortHandle port) {
  const BackendCall call;
  __real__ZN5quarn6serial10PurgeInputEl(port);
}

quarn::serial::WriteOutcome __wrap__ZN5quarn6serial9WriteByteElh(PortHandle port, uint8_t value) {
  const BackendCall call;
  return __real__ZN5quarn6serial9WriteByteElh(port, value);
}

quarn::serial::ReadOutcome __wrap__ZN5quarn6serial8ReadByteElPh(PortHandle port, uint8_t* value) {
  const BackendCall call;
  return __real__ZN5quarn6serial8ReadByteElPh(port, value);
}

uint32_t __wrap__ZN5quarn6serial6TickMsEl(PortHandle port) {
  const BackendCall call;
  return __real__ZN5quarn6serial6TickMsEl(port);
}

}  // extern "C"
