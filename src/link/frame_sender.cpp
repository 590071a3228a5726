#include "link/frame_io.h"
#include "link/serial/serial_backend.h"

namespace quarn::link {

namespace {

Outcome WriteOutcomeOf(serial::WriteOutcome written) {
  switch (written) {
    case serial::WriteOutcome::kWritten:
      return Outcome::kSuccess;
    case serial::WriteOutcome::kGone:
      return Outcome::kPortGone;
    case serial::WriteOutcome::kUnusable:
      return Outcome::kPortUnusable;
    case serial::WriteOutcome::kTimedOut:
    case serial::WriteOutcome::kFailed:
      break;
  }
  return Outcome::kWriteFailed;
}

Outcome Write(PortHandle port, uint8_t value) { return WriteOutcomeOf(serial::WriteByte(port, value)); }

Outcome WriteStuffed(PortHandle port, const uint8_t* frame, size_t length) {
  Outcome written = Write(port, frame[0]);
  for (size_t pos = 1; written == Outcome::kSuccess && pos + 1 < length; ++pos) {
    if (NeedsEscape(frame[pos])) written = Write(port, kEscapeByte);
    if (written == Outcome::kSuccess) written = Write(port, frame[pos]);
  }
  return written == Outcome::kSuccess ? Write(port, frame[length - 1]) : written;
}

}  // namespace

Result SendFrame(PortHandle port, const uint8_t* frame, size_t length) {
  if (length < 2) return Failed(Outcome::kCommandTooLong);
  // Every reply starts from an empty input: whatever arrived before the command is stale.
  serial::PurgeInput(port);
  serial::BeginFrameWrite(port);
  const Outcome sent = WriteStuffed(port, frame, length);
  serial::EndFrameWrite(port);
  return Result{sent};
}

}  // namespace quarn::link
