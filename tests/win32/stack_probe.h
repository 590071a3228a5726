#pragma once
// One call of a DLL function with a given list of pointer-sized arguments, observing the stack pointer.

#include <cstddef>
#include <cstdint>

namespace quarn::win32ring {

struct ProbeOutcome {
  uintptr_t result;       // what the function left in the result register
  uint32_t removedBytes;  // argument bytes the callee took off the stack (32-bit x86 only)
};

inline constexpr size_t kMaxProbeArguments = 16;

#if defined(__i386__)
// On 32-bit x86 the two conventions differ in who removes the arguments, which the probe can see.
inline constexpr bool kConventionIsObservable = true;
#else
inline constexpr bool kConventionIsObservable = false;
#endif

// Pushes arguments[0..count) right to left, calls, and reports. count is at most kMaxProbeArguments.
ProbeOutcome ProbeCall(void (*function)(), const uintptr_t* arguments, size_t count);

}  // namespace quarn::win32ring
