#include "link/frame_io.h"
#include "link/serial/serial_backend.h"

namespace quarn::link {

namespace {

bool Written(PortHandle port, uint8_t value) { return serial::WriteByte(port, value) == serial::WriteOutcome::kWritten; }

bool WriteStuffed(PortHandle port, const uint8_t* frame, size_t length) {
  if (!Written(port, frame[0])) return false;
  for (size_t pos = 1; pos + 1 < length; ++pos) {
    if (NeedsEscape(frame[pos]) && !Written(port, kEscapeByte)) return false;
    if (!Written(port, frame[pos])) return false;
  }
  return Written(port, frame[length - 1]);
}

}  // namespace

bool SendFrame(PortHandle port, const uint8_t* frame, size_t length) {
  if (length < 2) return false;
  // Every reply starts from an empty input: whatever arrived before the command is stale.
  serial::PurgeInput(port);
  serial::BeginFrameWrite(port);
  const bool sent = WriteStuffed(port, frame, length);
  serial::EndFrameWrite(port);
  return sent;
}

}  // namespace quarn::link
