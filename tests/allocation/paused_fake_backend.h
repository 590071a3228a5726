#pragma once
#include <cstdint>

namespace quarn::allocation {

// How often the library called a port operation while the counter was armed: proof that the armed
// stretches cover the library's work and the pause covers only the fake's.
uint64_t ArmedBackendCalls();

}  // namespace quarn::allocation
