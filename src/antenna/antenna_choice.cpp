#include "antenna/antenna_choice.h"

#include "link/command_table.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::antenna {

using link::CommandFrame;
using link::ReceivedFrame;
using reader::ExchangeAccepted;
namespace commands = link::commands;

bool CheckAntenna(PortHandle port, uint8_t* antennaState, uint32_t crcFlag) {
  CommandFrame frame(commands::kCheckAntenna, crcFlag);
  ReceivedFrame reply;
  if (!ExchangeAccepted(port, frame, reply, link::IsZeroStatus)) return false;
  const std::optional<uint8_t> state = reply.View().DataByte(0);
  if (!state.has_value()) return false;
  *antennaState = *state;
  return true;
}

bool ChooseAntenna(PortHandle port, uint32_t antenna, uint32_t crcFlag) {
  CommandFrame frame(commands::kChooseAntenna, crcFlag);
  frame.Byte(antenna);
  return ExchangeAccepted(port, frame, link::IsZeroStatus);
}

}  // namespace quarn::antenna
