#pragma once
// The exchange every command export runs: one command frame out, one reply frame in under the command's
// receiver and time limit. The export then checks the echoed code and the status through a ReplyView
// and copies its outputs.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::link {

// The 2048-byte receive buffer of one call and the frame it holds.
class ReceivedFrame {
 public:
  ReceivedFrame() = default;
  ReceivedFrame(const ReceivedFrame&) = delete;
  ReceivedFrame& operator=(const ReceivedFrame&) = delete;

  // Receives the next frame of the port. False with no complete, checked frame.
  bool Receive(PortHandle port, FrameKind kind, uint32_t timeLimitMs);
  bool Receive(PortHandle port, const ReceiveSpec& receive) { return Receive(port, receive.receiver, receive.timeLimitMs); }

  // The received frame, read at the positions of layout. Only valid after a successful Receive.
  ReplyView View(ReplyLayout layout = ReplyLayout::kOneByteForm) const;

  const uint8_t* bytes() const { return buffer_; }
  size_t size() const { return length_; }

 private:
  uint8_t buffer_[kFrameBufferSize];
  size_t length_ = 0;
  FrameKind kind_ = FrameKind::kPlain;
};

// Sends a finished command frame. True when every byte of it was written.
bool SendCommand(PortHandle port, const CommandFrame& command);

// Sends the finished command and receives one reply with the command's receiver and time limit.
// False when the frame was not finished, a write failed or no complete frame arrived in time.
bool ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply);

}  // namespace quarn::link
