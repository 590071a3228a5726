#pragma once
// What happened in one exchange with the reader, kept apart from the 1 or 0 the C exports return, so
// that every failure can say why: the port, the line, the frame, or the reader's own refusal.

#include <cstdint>
#include "quarn_api.h"

namespace quarn::link {

// errorCode after a reply that carries no code, success included, and after no usable reply.
inline constexpr uint8_t kNoErrorCode = QUARN_NO_ERROR_CODE;

enum class Outcome : uint8_t {
  kSuccess,
  kPortUnusable,         // the handle is not an open port
  kPortGone,             // the device hung up or was removed
  kWriteFailed,          // a byte of the command could not be written
  kNoReply,              // no head byte within the time limit
  kCutOff,               // the reply stopped before its tail
  kBadEscape,            // an escape byte followed by a byte that needs no escape
  kUnescapedHeadOrTail,  // a bare 0xAA or 0x55 inside the reply
  kWrongTail,            // the byte after the body is not the tail
  kTooLong,              // the reply announces more than the receive buffer, or the caller's, holds
  kCrcMismatch,          // the reply's CRC does not match its bytes
  kOtherCommand,         // a reply to another command, or in the other mode
  kRefused,              // the status byte fails the command's rule
  kTooShort,             // the reply lacks bytes the command reads
  kCommandTooLong,       // the parameters do not fit the command buffer; nothing was sent
  kInvalidArgument,      // an argument the command cannot carry; nothing was sent
};

// The outcome with what the reply told of it: status is the status byte after success and kRefused
// (0 otherwise), errorCode the reader's code after kRefused where the reply carried one; code is the
// echoed code of a reply to another command, and sentCode the code the command itself went out with, so
// the two can be told apart by their mode.
struct Result {
  Outcome outcome = Outcome::kSuccess;
  uint8_t status = 0;
  uint8_t errorCode = kNoErrorCode;  // the reader's error code, or kNoErrorCode when the reply carried none
  uint8_t code = 0;
  uint8_t sentCode = 0;

  constexpr bool ok() const { return outcome == Outcome::kSuccess; }
  constexpr explicit operator bool() const { return ok(); }
};


constexpr Result Succeeded() { return {}; }
constexpr Result Failed(Outcome outcome) { return {outcome, 0, kNoErrorCode, 0}; }
constexpr Result Refused(uint8_t status, uint8_t errorCode) { return {Outcome::kRefused, status, errorCode, 0}; }
constexpr Result TooShort() { return Failed(Outcome::kTooShort); }
constexpr Result OtherCommand(uint8_t code, uint8_t sentCode) {
  return {Outcome::kOtherCommand, 0, kNoErrorCode, code, sentCode};
}

}  // namespace quarn::link
