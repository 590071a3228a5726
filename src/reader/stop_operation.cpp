#include "reader/stop_operation.h"

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
namespace commands = link::commands;

namespace {

bool SendStop(PortHandle port, const CommandFrame& frame) {
  for (int attempt = 0; attempt < link::kStopSendAttempts; ++attempt) {
    if (link::SendCommand(port, frame)) return true;
  }
  return false;
}

// Tag reports of the stream being stopped, and frames that fail their checks, each use up one receive.
bool AwaitAcknowledgement(PortHandle port, uint8_t code) {
  ReceivedFrame reply;
  for (int attempt = 0; attempt < link::kStopReceiveAttempts; ++attempt) {
    if (!reply.Receive(port, commands::kStopOperation.receiver, commands::kStopOperation.timeLimitMs)) continue;
    if (AcceptsReply(reply.View(), code, link::HasErrorBitClear)) return true;
  }
  return false;
}

}  // namespace

bool StopOperation(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kStopOperation, crcFlag);
  if (!frame.Finish() || !SendStop(port, frame)) return false;
  return AwaitAcknowledgement(port, frame.code());
}

}  // namespace quarn::reader
