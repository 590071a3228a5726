#include "reader/operating_mode.h"

#include "link/command_table.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::reader {

using link::CommandFrame;
namespace commands = link::commands;

bool EnterSleepMode(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kEnterSleepMode, crcFlag);
  return ExchangeAccepted(port, frame, link::IsZeroStatus);
}

bool SetTransparentTransfer(PortHandle port, uint32_t enable, uint8_t* status, uint32_t crcFlag) {
  const bool switchOn = (enable & 0xFF) != 0;
  CommandFrame frame(switchOn ? commands::kEnterTransparentTransfer : commands::kLeaveTransparentTransfer, crcFlag);
  if (!ExchangeAccepted(port, frame, link::IsZeroStatus)) return false;
  *status = 0;
  return true;
}

}  // namespace quarn::reader
