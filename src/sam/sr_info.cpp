#include "sam/sr_info.h"

#include <cstring>
#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"

namespace quarn::sam {

link::Result GetSr(PortHandle port, uint32_t srSelect, uint8_t* srData, uint8_t* status, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kGetSr, crcFlag);
  frame.Byte(srSelect);
  link::ReceivedFrame reply;
  const link::Result result = link::Exchange(port, frame, reply);
  // A refusal, or a reply to another command, reports the byte in the status position.
  const std::optional<uint8_t> refusing = link::RefusingStatus(result, reply);
  if (refusing.has_value()) *status = *refusing;
  if (!result) return result;
  const uint8_t* sr = reply.View().Data(0, kSrInfoSize);
  if (sr == nullptr) return link::TooShort();
  std::memcpy(srData, sr, kSrInfoSize);
  *status = 0;
  return result;
}

}  // namespace quarn::sam
