#include "antenna/antenna_choice.h"

#include "link/exchange.h"

namespace quarn::antenna {

using link::CommandFrame;
using link::ReceivedFrame;
using link::Result;
namespace commands = link::commands;

Result CheckAntenna(PortHandle port, uint8_t* antennaState, uint32_t crcFlag) {
  CommandFrame frame(commands::kCheckAntenna, crcFlag);
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  if (!result) return result;
  const std::optional<uint8_t> state = reply.View().DataByte(0);
  if (!state.has_value()) return link::TooShort();
  *antennaState = *state;
  return result;
}

Result ChooseAntenna(PortHandle port, uint32_t antenna, uint32_t crcFlag) {
  CommandFrame frame(commands::kChooseAntenna, crcFlag);
  frame.Byte(antenna);
  return link::Exchange(port, frame);
}

}  // namespace quarn::antenna
