#include "link/frame_io.h"
#include "link/serial/serial_backend.h"

namespace quarn::link {

bool SendFrame(PortHandle port, const uint8_t* frame, size_t length) {
  if (length < 2) return false;
  // Every reply starts from an empty input: whatever arrived before the command is stale.
  serial::PurgeInput(port);
  if (!serial::WriteByte(port, frame[0])) return false;
  for (size_t pos = 1; pos + 1 < length; ++pos) {
    if (NeedsEscape(frame[pos]) && !serial::WriteByte(port, kEscapeByte)) return false;
    if (!serial::WriteByte(port, frame[pos])) return false;
  }
  return serial::WriteByte(port, frame[length - 1]);
}

}  // namespace quarn::link
