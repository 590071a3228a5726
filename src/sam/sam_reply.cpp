#include "sam/sam_reply.h"

#include <cstring>
#include <optional>

#include "link/status_rules.h"

namespace quarn::sam {

namespace {

constexpr uint8_t kSamRefusedWithAnswer = 0x81;
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

bool ApplySamReply(const link::ReplyView& view, uint8_t code, const SamAnswer& answer, uint8_t* status) {
  const std::optional<uint8_t> statusByte = view.Status();
  if (!statusByte) return false;
  // Reported before any check: a reply that answers another command leaves its status byte here too.
  *status = *statusByte;
  if (!view.Echoes(code)) return false;
  if (link::HasErrorBitClear(*statusByte)) {
    if (!CopyAnswer(view, answer)) return false;
    *status = 0;
    return true;
  }
  if (*statusByte == kSamRefusedWithAnswer) CopyAnswer(view, answer);
  return false;
}

}  // namespace quarn::sam
