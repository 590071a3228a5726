#include <cstring>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "link/port_connection.h"
#include "update/update_reply.h"
#include "update/update_sequence.h"

namespace quarn::update {

link::Result UpdateInit(PortHandle* portHandleOut, const char* portName, uint8_t* status, uint8_t* initValue,
                        uint32_t portOptions, serial::OpenFailure* why) {
  // The baud selection is examined before the port is opened, so a refusal leaves nothing to close.
  const link::Result opened = link::OpenPort(portHandleOut, portName, portOptions, why);
  if (!opened) return opened;
  link::CommandFrame frame(link::commands::kUpdateInit, portOptions);
  link::ReceivedFrame reply;
  const link::Result result = ExchangeUpdateReply(*portHandleOut, frame, reply, status);
  if (!result) return result;
  const uint8_t* value = reply.View().Data(0, kInitValueSize);
  if (value == nullptr) return link::TooShort();
  // Memory order: reply data byte 0 lands at the lowest address.
  std::memcpy(initValue, value, kInitValueSize);
  *status = 0;
  return result;
}

}  // namespace quarn::update
