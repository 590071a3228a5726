#include "cpp/value_checks.h"

namespace quarn::cpp {

void ThrowInvalid(const char* command, const char* reason) {
  ErrorDetail detail;
  detail.code = make_error_code(Errc::kInvalidArgument);
  detail.command = command;
  detail.reason = reason;
  throw Error(detail);
}

}  // namespace quarn::cpp
