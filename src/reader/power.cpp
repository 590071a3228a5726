#include "reader/power.h"

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
using link::Result;
namespace commands = link::commands;

Result GetPaStatus(PortHandle port, uint8_t* status, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetPaStatus, crcFlag);
  const Result result = link::Exchange(port, frame);
  // The amplifier's state is the result itself; the caller's byte only confirms it.
  if (result) *status = 0;
  return result;
}

Result GetPower(PortHandle port, uint8_t* power, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetPower, crcFlag);
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  if (!result) return result;
  const std::optional<uint8_t> value = reply.View().DataByte(0);
  if (!value.has_value()) return link::TooShort();
  *power = *value;
  return result;
}

Result SetPower(PortHandle port, uint32_t powerParam1, uint32_t powerParam2, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetPower, crcFlag);
  frame.Byte(powerParam1).Byte(powerParam2);
  return link::Exchange(port, frame);
}

}  // namespace quarn::reader
