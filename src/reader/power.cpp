#include "reader/power.h"

#include "link/command_table.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
namespace commands = link::commands;

bool GetPaStatus(PortHandle port, uint8_t* status, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetPaStatus, crcFlag);
  if (!ExchangeAccepted(port, frame, link::IsZeroStatus)) return false;
  // The amplifier's state is the result itself; the caller's byte only confirms it.
  *status = 0;
  return true;
}

bool GetPower(PortHandle port, uint8_t* power, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetPower, crcFlag);
  ReceivedFrame reply;
  if (!ExchangeAccepted(port, frame, reply, link::HasErrorBitClear)) return false;
  const std::optional<uint8_t> value = reply.View().DataByte(0);
  if (!value.has_value()) return false;
  *power = *value;
  return true;
}

bool SetPower(PortHandle port, uint32_t powerParam1, uint32_t powerParam2, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetPower, crcFlag);
  frame.Byte(powerParam1).Byte(powerParam2);
  return ExchangeAccepted(port, frame, link::HasErrorBitClear);
}

}  // namespace quarn::reader
