#include "link/exchange.h"

#include "link/frame_io.h"
#include "link/status_rules.h"

namespace quarn::link {

namespace {

bool EchoMatches(const CommandSpec& row, uint8_t echoed, uint8_t codeSent) {
  switch (row.echoRule) {
    case EchoRule::kExact:
      return echoed == codeSent;
    case EchoRule::kInventoryCode:
      return IsInventoryCode(echoed);
    case EchoRule::kEitherMode:
      return (echoed & static_cast<uint8_t>(~kCrcModeCodeBit)) == row.code;
  }
  return false;
}

uint8_t ErrorCodeOf(const CommandSpec& row, const ReplyView& view, uint8_t status) {
  switch (row.errorCodeForm) {
    case ErrorCodeForm::kAfterStatus:
    case ErrorCodeForm::kWriteOutcome:
      // A code announced by the status but missing from the reply is no code.
      return CarriesErrorCode(status) ? view.DataByte(0).value_or(kNoErrorCode) : kNoErrorCode;
    case ErrorCodeForm::kStatus:
      return status;
    case ErrorCodeForm::kNone:
      break;
  }
  return kNoErrorCode;
}

}  // namespace

Result ReceivedFrame::Receive(PortHandle port, FrameKind kind, uint32_t timeLimitMs) {
  kind_ = kind;
  length_ = 0;
  size_t length = 0;
  const Result received = kind == FrameKind::kAntenna ? ReceiveAntennaFrame(port, buffer_, timeLimitMs, &length)
                                                      : ReceiveFrame(port, buffer_, timeLimitMs, &length);
  if (received) length_ = length;
  return received;
}

ReplyView ReceivedFrame::View(ReplyLayout layout) const { return ReplyView(buffer_, length_, kind_, layout); }

Result CheckReply(const ReplyView& view, const CommandSpec& row, uint8_t codeSent) {
  const std::optional<uint8_t> code = view.Code();
  if (!code.has_value()) return Failed(Outcome::kTooShort);
  if (row.markerChecked && view.Marker() != kAntennaMarker) return OtherCommand(*code, codeSent);
  if (!EchoMatches(row, *code, codeSent)) return OtherCommand(*code, codeSent);
  const std::optional<uint8_t> status = view.Status();
  if (!status.has_value()) return Failed(Outcome::kTooShort);
  if (!PassesStatusRule(row.statusRule, *status)) return Refused(*status, ErrorCodeOf(row, view, *status));
  Result accepted = Succeeded();
  accepted.status = *status;
  return accepted;
}

Result SendCommand(PortHandle port, const CommandFrame& command) {
  if (command.size() == 0) return Failed(Outcome::kCommandTooLong);
  return SendFrame(port, command.bytes(), command.size());
}

Result ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply, ReplyLayout layout) {
  const CommandSpec& row = command.definition();
  const Result sent = SendCommand(port, command);
  if (!sent) return sent;
  const Result received = reply.Receive(port, row);
  if (!received) return received;
  return CheckReply(reply.View(layout), row, command.code());
}

Result ExchangeCommand(PortHandle port, const CommandFrame& command, ReceivedFrame& reply) {
  return ExchangeCommand(port, command, reply, command.definition().layout);
}

Result Exchange(PortHandle port, CommandFrame& command, ReceivedFrame& reply, ReplyLayout layout) {
  if (!command.Finish()) return Failed(Outcome::kCommandTooLong);
  return ExchangeCommand(port, command, reply, layout);
}

Result Exchange(PortHandle port, CommandFrame& command, ReceivedFrame& reply) {
  return Exchange(port, command, reply, command.definition().layout);
}

Result Exchange(PortHandle port, CommandFrame& command) {
  ReceivedFrame reply;
  return Exchange(port, command, reply);
}

std::optional<uint8_t> RefusingStatus(const Result& result, const ReceivedFrame& reply, ReplyLayout layout) {
  if (result.outcome != Outcome::kRefused && result.outcome != Outcome::kOtherCommand) return std::nullopt;
  return reply.View(layout).Status();
}

bool IsStreamFrameCode(uint8_t code) {
  for (const CommandSpec* row : commands::kAllCommands) {
    if (row->receiveOnly && EchoMatches(*row, code, row->code)) return true;
  }
  return false;
}

Result ReceiveStreamFrame(PortHandle port, const CommandSpec& row, ReceivedFrame& reply) {
  const Result received = reply.Receive(port, row);
  if (!received) return received;
  return CheckReply(reply.View(row.layout), row, row.code);
}

}  // namespace quarn::link
