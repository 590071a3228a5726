#pragma once
// The value types check their input in one routine that returns the reason it is refused (nullptr
// when it is fine); the two public forms turn that reason into an exception or an error code.

#include <system_error>

#include "quarn/error.h"

namespace quarn::cpp {

[[noreturn]] void ThrowInvalid(const char* command, const char* reason);

// Throws quarn::Error when reason is set.
inline void ThrowIfRefused(const char* command, const char* reason) {
  if (reason != nullptr) ThrowInvalid(command, reason);
}

// Sets ec to kInvalidArgument when reason is set, clears it otherwise; true when it was fine.
inline bool Accepted(const char* reason, std::error_code& ec) {
  if (reason != nullptr) {
    ec = make_error_code(Errc::kInvalidArgument);
    return false;
  }
  ec.clear();
  return true;
}

}  // namespace quarn::cpp
