// The two receivers fed arbitrary bytes through the fake port. Every reception must end, report a frame
// that starts with the head and ends with the tail inside the 2048-byte buffer, or fail.

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "fake_serial.h"
#include "link/frame_format.h"
#include "link/frame_io.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void ReceiveAll(const uint8_t* data, size_t size, bool antenna) {
  quarn::testing::FakePort port;
  port.Deliver(quarn::testing::Bytes(data, data + size), size > 0 ? data[0] % 4 : 0);
  // Exactly the receive buffer's size on the heap: a store past it is an overflow the sanitizer sees.
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[quarn::link::kFrameBufferSize]);
  // Each reception consumes at least one byte or ends the hunt on an empty read.
  for (size_t attempt = 0; attempt <= size; ++attempt) {
    size_t length = 0;
    const uint32_t limit = 800;
    const bool ok = (antenna ? quarn::link::ReceiveAntennaFrame(port.handle(), buffer.get(), limit, &length)
                             : quarn::link::ReceiveFrame(port.handle(), buffer.get(), limit, &length))
                        .ok();
    if (ok) {
      Check(length >= 4 && length <= quarn::link::kFrameBufferSize);
      Check(buffer[0] == quarn::link::kFrameHead && buffer[length - 1] == quarn::link::kFrameTail);
    }
    if (port.pendingInput() == 0) break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ReceiveAll(data, size, false);
  ReceiveAll(data, size, true);
  return 0;
}
