#include "sam/sam_reply.h"

#include <cstring>
#include <optional>

#include "link/exchange.h"
#include "quarn_api.h"

namespace quarn::sam {

namespace {

constexpr uint8_t kSamRefusedWithAnswer = QUARN_SAM_STATUS_REFUSED;
constexpr size_t kStatusWordSize = 2;

bool CopyAnswer(const link::ReplyView& view, const SamAnswer& answer) {
  const uint8_t* bytes = view.Data(0, answer.responseCount + kStatusWordSize);
  if (bytes == nullptr) return false;
  if (answer.responseCount > 0) std::memcpy(answer.response, bytes, answer.responseCount);
  *answer.sw1 = bytes[answer.responseCount];
  *answer.sw2 = bytes[answer.responseCount + 1];
  return true;
}

}  // namespace

link::Result ExchangeSamCommand(PortHandle port, link::CommandFrame& frame, link::ReplyLayout layout,
                                const SamAnswer& answer, uint8_t* status) {
  link::ReceivedFrame reply;
  const link::Result result = link::Exchange(port, frame, reply, layout);
  const link::ReplyView view = reply.View(layout);
  if (result.ok()) {
    if (!CopyAnswer(view, answer)) {
      *status = result.status;
      return link::TooShort();
    }
    *status = 0;
    return result;
  }
  const std::optional<uint8_t> refusing = link::RefusingStatus(result, reply, layout);
  if (refusing.has_value()) *status = *refusing;
  if (result.outcome == link::Outcome::kRefused && result.status == kSamRefusedWithAnswer) CopyAnswer(view, answer);
  return result;
}

}  // namespace quarn::sam
