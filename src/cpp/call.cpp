#include "cpp/call.h"

#include "cpp/outcome_errc.h"

namespace quarn::cpp {

Call::Call(Reader& reader, const char* command, std::error_code& ec) : reader_(reader), ec_(ec) {
  detail() = ErrorDetail();
  detail().command = command;
  ec_.clear();
}

bool Call::Ready() {
  if (port() != QUARN_INVALID_PORT) return true;
  return Fail(Errc::kNotOpen, "open the Reader first (Reader::Open), and do not use one that was moved from");
}

bool Call::Invalid(const char* reason) { return Fail(Errc::kInvalidArgument, reason); }

bool Call::Fail(Errc errc, const char* reason) {
  detail().code = make_error_code(errc);
  detail().reason = reason;
  ec_ = detail().code;
  return false;
}

bool Call::Record(const link::Result& result) {
  RecordResult(detail(), result);
  ec_ = detail().code;
  return result.ok();
}

}  // namespace quarn::cpp
