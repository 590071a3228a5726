#include "sam/sr_info.h"

#include <cstring>
#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "link/status_rules.h"

namespace quarn::sam {

bool GetSr(PortHandle port, uint32_t srSelect, uint8_t* srData, uint8_t* status, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kGetSr, crcFlag);
  frame.Byte(srSelect);
  link::ReceivedFrame reply;
  if (!frame.Finish() || !link::ExchangeCommand(port, frame, reply)) return false;
  const link::ReplyView view = reply.View();
  const std::optional<uint8_t> statusByte = view.Status();
  if (!statusByte) return false;
  // A refusal, or a reply to another command, reports the byte in the status position.
  if (!view.Echoes(frame.code()) || !link::IsZeroStatus(*statusByte)) {
    *status = *statusByte;
    return false;
  }
  const uint8_t* sr = view.Data(0, kSrInfoSize);
  if (sr == nullptr) return false;
  std::memcpy(srData, sr, kSrInfoSize);
  *status = 0;
  return true;
}

}  // namespace quarn::sam
