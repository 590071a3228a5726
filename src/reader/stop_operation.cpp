#include "reader/stop_operation.h"

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

// Tag reports of the stream being stopped, and frames that fail their checks, each use up one receive;
// the outcome of the last one tells why none was the acknowledgement.
Result AwaitAcknowledgement(PortHandle port, uint8_t code) {
  ReceivedFrame reply;
  Result last = link::Failed(Outcome::kNoReply);
  for (int attempt = 0; attempt < link::kStopReceiveAttempts; ++attempt) {
    last = reply.Receive(port, commands::kStopOperation);
    if (PortLost(last)) return last;
    if (!last) continue;
    last = link::CheckReply(reply.View(), commands::kStopOperation, code);
    if (last) return last;
  }
  return last;
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
