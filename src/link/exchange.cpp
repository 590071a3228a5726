#include "link/exchange.h"

#include "link/frame_io.h"

namespace quarn::link {

bool ReceivedFrame::Receive(PortHandle port, FrameKind kind, uint32_t timeLimitMs) {
  kind_ = kind;
  length_ = 0;
  size_t length = 0;
  const bool received = kind == FrameKind::kAntenna ? ReceiveAntennaFrame(port, buffer_, timeLimitMs, &length)
                                                    : ReceiveFrame(port, buffer_, timeLimitMs, &length);
  if (received) length_ = length;
  return received;
}

ReplyView ReceivedFrame::View(ReplyLayout layout) const { return ReplyView(buffer_, length_, kind_, layout); }

bool SendCommand(PortHandle port, const CommandFrame& command) {
  return command.size() > 0 && SendFrame(port, command.bytes(), command.size());
}

bool ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply) {
  return SendCommand(port, command) && reply.Receive(port, command.definition().receiver, command.definition().timeLimitMs);
}

}  // namespace quarn::link
