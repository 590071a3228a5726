#include <cstring>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "link/port_connection.h"
#include "update/update_reply.h"
#include "update/update_sequence.h"

namespace quarn::update {

bool UpdateInit(PortHandle* portHandleOut, const char* portName, uint8_t* status, uint8_t* initValue,
                uint32_t portOptions) {
  // The baud selection is examined before the port is opened, so a refusal leaves nothing to close.
  if (!link::OpenPort(portHandleOut, portName, portOptions)) return false;
  link::CommandFrame frame(link::commands::kUpdateInit, portOptions);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(*portHandleOut, frame, reply)) return false;
  const link::ReplyView view = reply.View();
  if (!AcceptUpdateReply(view, frame.code(), status)) return false;
  const uint8_t* value = view.Data(0, kInitValueSize);
  if (value == nullptr) return false;
  // Memory order: reply data byte 0 lands at the lowest address.
  std::memcpy(initValue, value, kInitValueSize);
  *status = 0;
  return true;
}

}  // namespace quarn::update
