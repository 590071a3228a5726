#include "reader/operating_mode.h"

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::Result;
namespace commands = link::commands;

Result EnterSleepMode(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kEnterSleepMode, crcFlag);
  return link::Exchange(port, frame);
}

Result SetTransparentTransfer(PortHandle port, uint32_t enable, uint8_t* status, uint32_t crcFlag) {
  const bool switchOn = (enable & 0xFF) != 0;
  CommandFrame frame(switchOn ? commands::kEnterTransparentTransfer : commands::kLeaveTransparentTransfer, crcFlag);
  const Result result = link::Exchange(port, frame);
  if (result) *status = 0;
  return result;
}

}  // namespace quarn::reader
