#pragma once
// The exchange every command runs: one command frame out, one reply frame in under the command's receiver
// and time limit, and the reply checked against the command's row of the table (echoed code, status rule,
// the reader's error code). The outcome names what happened; on success the family reads its outputs from
// the reply through a ReplyView.

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/outcome.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::link {

// The 2048-byte receive buffer of one call and the frame it holds.
class ReceivedFrame {
 public:
  ReceivedFrame() = default;
  ReceivedFrame(const ReceivedFrame&) = delete;
  ReceivedFrame& operator=(const ReceivedFrame&) = delete;

  // Receives the next frame of the port, unchecked beyond its framing and CRC.
  Result Receive(PortHandle port, FrameKind kind, uint32_t timeLimitMs);
  Result Receive(PortHandle port, const CommandSpec& row) { return Receive(port, row.receiver, row.timeLimitMs); }

  // The received frame, read at the positions of layout. Only valid after a successful Receive.
  ReplyView View(ReplyLayout layout = ReplyLayout::kOneByteForm) const;

  const uint8_t* bytes() const { return buffer_; }
  size_t size() const { return length_; }

 private:
  uint8_t buffer_[kFrameBufferSize];
  size_t length_ = 0;
  FrameKind kind_ = FrameKind::kPlain;
};

// Checks a received reply against the command's row: the echoed code (and the marker of an antenna
// frame), the status rule, and on a refusal the reader's error code as the row reports it. codeSent is
// the code as it went on the wire; for a stream frame, the row's own code.
Result CheckReply(const ReplyView& view, const CommandSpec& row, uint8_t codeSent);

// Sends a finished command frame; an unfinished one is refused without writing.
Result SendCommand(PortHandle port, const CommandFrame& command);

// Sends the finished command, receives one reply with the command's receiver and time limit, and checks
// it at the positions of the row's layout, or of layout where the command knows its reply's form.
Result ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply);
Result ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply, ReplyLayout layout);

// The whole exchange of one command: finishes the frame (kCommandTooLong when its parameters do not fit
// the command buffer, and nothing is sent), then ExchangeCommand.
Result Exchange(PortHandle port, CommandFrame& command, ReceivedFrame& reply);
Result Exchange(PortHandle port, CommandFrame& command, ReceivedFrame& reply, ReplyLayout layout);
// For commands without outputs.
Result Exchange(PortHandle port, CommandFrame& command);

// The byte at the status position of a reply that came whole but was refused or answered another command,
// which several families hand back; nothing for a reply that never came or had no status byte.
std::optional<uint8_t> RefusingStatus(const Result& result, const ReceivedFrame& reply,
                                      ReplyLayout layout = ReplyLayout::kOneByteForm);

// Whether a frame with this echoed code belongs to one of the streams (tag reports, data frames, filter
// reports) rather than answering a command.
bool IsStreamFrameCode(uint8_t code);

// Takes the next frame of a running stream without sending, and checks it against the stream's row.
Result ReceiveStreamFrame(PortHandle port, const CommandSpec& row, ReceivedFrame& reply);

}  // namespace quarn::link
