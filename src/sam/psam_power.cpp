#include "sam/psam_power.h"

#include <cstring>
#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"

namespace quarn::sam {

namespace {

constexpr uint8_t kPowerSwitched = 0x00;

bool IsPsamSelect(uint32_t psamSelect) {
  const uint32_t value = psamSelect & 0xFFu;
  return value == 1 || value == 2;
}

bool IsPowerState(uint32_t powerState) {
  const uint32_t value = powerState & 0xFFu;
  return value == 0 || value == 1;
}

// The value the reply's own length field carries, in whichever form it came.
std::optional<size_t> LengthValue(const link::ReplyView& view) {
  const std::optional<uint8_t> first = view.At(1);
  if (!first) return std::nullopt;
  if (!view.receivedTwoByteForm()) return *first;
  const std::optional<uint8_t> second = view.At(2);
  if (!second) return std::nullopt;
  return (static_cast<size_t>(*first) & 0x7Fu) * 128u + *second;
}

// The data count: the length value without the length bytes, the code, the status and, in CRC mode, the CRC.
std::optional<size_t> AnswerSize(const link::ReplyView& view, bool crcMode) {
  const std::optional<size_t> value = LengthValue(view);
  const size_t envelope = (view.receivedTwoByteForm() ? 2 : 1) + 2 + (crcMode ? 2 : 0);
  if (!value || *value < envelope) return std::nullopt;
  return *value - envelope;
}

link::Outcome CopyAnswer(const link::ReplyView& view, bool crcMode, uint8_t* answer, uint8_t* answerLength) {
  const std::optional<size_t> size = AnswerSize(view, crcMode);
  if (!size) return link::Outcome::kTooShort;
  if (*size > kMaxPsamAnswerSize) return link::Outcome::kTooLong;
  const uint8_t* bytes = view.Data(0, *size);
  if (bytes == nullptr) return link::Outcome::kTooShort;
  if (*size > 0) std::memcpy(answer, bytes, *size);
  *answerLength = static_cast<uint8_t>(*size);
  return link::Outcome::kSuccess;
}

}  // namespace

link::Result SetPsamPower(PortHandle port, uint32_t psamSelect, uint32_t powerState, uint8_t* answer,
                          uint8_t* answerLength, uint32_t crcFlag) {
  if (!IsPsamSelect(psamSelect) || !IsPowerState(powerState)) return link::Failed(link::Outcome::kInvalidArgument);
  link::CommandFrame frame(link::commands::kSetPsamPower, crcFlag);
  frame.Byte(psamSelect).Byte(powerState);
  link::ReceivedFrame reply;
  const link::Result result = link::Exchange(port, frame, reply);
  if (!result || result.status == kPowerSwitched) return result;
  const link::Outcome copied =
      CopyAnswer(reply.View(link::commands::kSetPsamPower.layout), frame.crcMode(), answer, answerLength);
  return copied == link::Outcome::kSuccess ? result : link::Failed(copied);
}

}  // namespace quarn::sam
