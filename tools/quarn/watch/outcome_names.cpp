#include "outcome_names.h"

#include "quarn/error.h"

namespace quarn::watch {

namespace {

struct OutcomeRow {
  Errc errc;
  const char* name;
};

constexpr OutcomeRow kOutcomeNames[] = {
    {Errc::kSuccess, "success"},
    {Errc::kPortUnusable, "port unusable"},
    {Errc::kPortGone, "port gone"},
    {Errc::kWriteFailed, "write failed"},
    {Errc::kNoReply, "no reply"},
    {Errc::kCutOff, "cut off"},
    {Errc::kBadEscape, "bad escape"},
    {Errc::kUnescapedHeadOrTail, "bare head or tail"},
    {Errc::kWrongTail, "wrong tail"},
    {Errc::kTooLong, "too long"},
    {Errc::kCrcMismatch, "crc mismatch"},
    {Errc::kOtherCommand, "other reply"},
    {Errc::kRefused, "refused"},
    {Errc::kTooShort, "too short"},
    {Errc::kCommandTooLong, "command too long"},
    {Errc::kInvalidArgument, "invalid argument"},
    {Errc::kNotOpen, "not open"},
    {Errc::kNoSuchPort, "no such port"},
    {Errc::kPermissionDenied, "permission denied"},
    {Errc::kBusy, "port busy"},
    {Errc::kNotSerialPort, "not a serial port"},
    {Errc::kBadPortName, "bad port name"},
    {Errc::kBadBaud, "bad baud rate"},
    {Errc::kOpenFailed, "cannot open"},
};

}  // namespace

std::string OutcomeName(const std::error_code& error) {
  if (error.category() == ErrorCategory())
    for (const OutcomeRow& row : kOutcomeNames)
      if (static_cast<int>(row.errc) == error.value()) return row.name;
  return error.message();
}

bool MeansPortGone(const std::error_code& error) {
  return error == Errc::kPortGone || error == Errc::kPortUnusable || error == Errc::kNoSuchPort ||
         error == Errc::kNotOpen;
}

}  // namespace quarn::watch
