#include "cpp/outcome_errc.h"

#include "link/status_rules.h"

namespace quarn::cpp {

// A switch without default, so that an outcome the core gains is a compiler warning here.
Errc ErrcOf(link::Outcome outcome) {
  switch (outcome) {
    case link::Outcome::kSuccess: return Errc::kSuccess;
    case link::Outcome::kPortUnusable: return Errc::kPortUnusable;
    case link::Outcome::kPortGone: return Errc::kPortGone;
    case link::Outcome::kWriteFailed: return Errc::kWriteFailed;
    case link::Outcome::kNoReply: return Errc::kNoReply;
    case link::Outcome::kCutOff: return Errc::kCutOff;
    case link::Outcome::kBadEscape: return Errc::kBadEscape;
    case link::Outcome::kUnescapedHeadOrTail: return Errc::kUnescapedHeadOrTail;
    case link::Outcome::kWrongTail: return Errc::kWrongTail;
    case link::Outcome::kTooLong: return Errc::kTooLong;
    case link::Outcome::kCrcMismatch: return Errc::kCrcMismatch;
    case link::Outcome::kOtherCommand: return Errc::kOtherCommand;
    case link::Outcome::kRefused: return Errc::kRefused;
    case link::Outcome::kTooShort: return Errc::kTooShort;
    case link::Outcome::kCommandTooLong: return Errc::kCommandTooLong;
    case link::Outcome::kInvalidArgument: return Errc::kInvalidArgument;
  }
  // A value outside the enumeration: still a failure, never a success.
  return Errc::kTooShort;
}

void RecordResult(ErrorDetail& detail, const link::Result& result) {
  detail.code = make_error_code(ErrcOf(result.outcome));
  if (result.outcome == link::Outcome::kRefused) {
    detail.status = result.status;
    // The register and filter commands' code is their status byte itself, already in status; a code
    // that followed the status is the tag's.
    if (result.errorCode != link::kNoErrorCode && result.errorCode != result.status)
      detail.readerErrorCode = result.errorCode;
  }
  if (result.outcome == link::Outcome::kOtherCommand) {
    detail.echoedCode = result.code;
    detail.sentCode = result.sentCode;
  }
}

}  // namespace quarn::cpp
