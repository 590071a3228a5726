#include "reader/stop_operation.h"

#include <optional>

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::Outcome;
using link::ReceivedFrame;
using link::Result;
namespace commands = link::commands;

namespace {

Result SendStop(PortHandle port, const CommandFrame& frame) {
  Result sent = link::SendCommand(port, frame);
  for (int attempt = 1; !sent && attempt < link::kStopSendAttempts; ++attempt) sent = link::SendCommand(port, frame);
  return sent;
}

bool PortLost(const Result& result) {
  return result.outcome == Outcome::kPortGone || result.outcome == Outcome::kPortUnusable;
}

// Frames of the stream being stopped are expected before the acknowledgement; a refusal, a broken frame or
// a reply in the other mode is not, and tells more than the silence or the reports around it.
bool Telling(const Result& result) {
  if (result.outcome == Outcome::kNoReply) return false;
  return result.outcome != Outcome::kOtherCommand || !link::IsStreamFrameCode(result.code);
}

// Tag reports of the stream being stopped, and frames that fail their checks, each use up one receive.
// Without an acknowledgement: the first telling failure, else what the last receive met.
Result AwaitAcknowledgement(PortHandle port, uint8_t code) {
  ReceivedFrame reply;
  Result last = link::Failed(Outcome::kNoReply);
  std::optional<Result> telling;
  for (int attempt = 0; attempt < link::kStopReceiveAttempts; ++attempt) {
    last = reply.Receive(port, commands::kStopOperation);
    if (PortLost(last)) return last;
    if (last) last = link::CheckReply(reply.View(), commands::kStopOperation, code);
    if (last) return last;
    if (!telling.has_value() && Telling(last)) telling = last;
  }
  return telling.value_or(last);
}

}  // namespace

Result StopOperation(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kStopOperation, crcFlag);
  if (!frame.Finish()) return link::Failed(Outcome::kCommandTooLong);
  const Result sent = SendStop(port, frame);
  if (!sent) return sent;
  return AwaitAcknowledgement(port, frame.code());
}

}  // namespace quarn::reader
