// The secure access module: APDUs, SR information, PSAM power.

#include <optional>

#include "cpp/call.h"
#include "sam/apdu_case.h"
#include "sam/psam_power.h"
#include "sam/sam_commands.h"
#include "sam/sr_info.h"

namespace quarn {

using cpp::Call;
using cpp::OrThrow;

namespace {

constexpr size_t kMaxApduLength = 255;  // the length travels as one byte
constexpr uint8_t kSamRefusedStatus = 0x81;  // the SAM said no; its response and status word still came

// The APDU's case, or false with the reason recorded.
bool CheckApdu(Call& call, ByteView apdu, sam::ApduBlock& block) {
  if (apdu.size() > kMaxApduLength) return call.Invalid("an APDU is at most 255 bytes (short form)");
  const std::optional<sam::ApduBlock> classified =
      apdu.size() < 4 ? std::nullopt : sam::ClassifyApdu(apdu.data(), static_cast<uint32_t>(apdu.size()));
  if (!classified)
    return call.Invalid("the APDU is none of the short-form cases: CLA INS P1 P2, then Le, or Lc and Lc data bytes "
                        "and an optional Le");
  if (!sam::FitsOneByteFrame(*classified, call.crcFlag()))
    return call.Invalid("the APDU is too long for the SAM command's frame: at most 125 bytes (123 in CRC mode)");
  block = *classified;
  return true;
}

// The SAM's own refusal: the reader refused with 0x81, and its response and status word came all the
// same. The caller gets the status word in the detail.
bool SamRefused(const link::Result& result, uint8_t status) {
  return result.outcome == link::Outcome::kRefused && status == kSamRefusedStatus;
}

void RecordSamResult(Call& call, const link::Result& result, uint8_t status, const StatusWord& word) {
  call.Record(result);
  if (SamRefused(result, status)) call.detail().statusWord = word.value();
}

}  // namespace

SamResponse Reader::SendApdu(ByteView apdu, std::error_code& ec) {
  Call call(*this, "SendApdu", ec);
  sam::ApduBlock block{};
  if (!CheckApdu(call, apdu, block) || !call.Ready()) return {};
  SamResponse response;
  response.data.resize(block.le);
  int responseLength = 0;
  uint8_t status = 0;
  const link::Result result = sam::SetSam(
      call.port(), apdu.data(), static_cast<uint32_t>(apdu.size()), response.data.data(), &responseLength,
      &response.statusWord.sw1, &response.statusWord.sw2, &status, call.crcFlag());
  RecordSamResult(call, result, status, response.statusWord);
  if (!result.ok() && !SamRefused(result, status)) return {};
  return response;
}
SamResponse Reader::SendApdu(ByteView apdu) {
  return OrThrow(*this, [&](std::error_code& ec) { return SendApdu(apdu, ec); });
}

StatusWord Reader::GetInfoSamToSr(SrTarget target, ByteView apdu, std::error_code& ec) {
  Call call(*this, "GetInfoSamToSr", ec);
  sam::ApduBlock block{};
  if (!CheckApdu(call, apdu, block) || !call.Ready()) return {};
  StatusWord word;
  uint8_t status = 0;
  const sam::SrTarget sr = target == SrTarget::kA ? sam::SrTarget::kSrA : sam::SrTarget::kSrB;
  const link::Result result = sam::GetInfoSamToSr(call.port(), sr, apdu.data(),
                                                                static_cast<uint32_t>(apdu.size()), &word.sw1,
                                                                &word.sw2, &status, call.crcFlag());
  RecordSamResult(call, result, status, word);
  if (!result.ok() && !SamRefused(result, status)) return {};
  return word;
}
StatusWord Reader::GetInfoSamToSr(SrTarget target, ByteView apdu) {
  return OrThrow(*this, [&](std::error_code& ec) { return GetInfoSamToSr(target, apdu, ec); });
}

SrInfo Reader::GetSr(uint8_t srSelect, std::error_code& ec) {
  Call call(*this, "GetSr", ec);
  SrInfo info{};
  uint8_t status = 0;
  if (call.Ready() && call.Done(sam::GetSr(call.port(), srSelect, info.data(), &status, call.crcFlag()))) return info;
  return {};
}
SrInfo Reader::GetSr(uint8_t srSelect) {
  return OrThrow(*this, [&](std::error_code& ec) { return GetSr(srSelect, ec); });
}

std::vector<uint8_t> Reader::SetPsamPower(PsamSlot slot, bool on, std::error_code& ec) {
  Call call(*this, "SetPsamPower", ec);
  if (slot != PsamSlot::k1 && slot != PsamSlot::k2) {
    call.Invalid("the PSAM slots are PsamSlot::k1 and k2");
    return {};
  }
  if (!call.Ready()) return {};
  uint8_t answer[sam::kMaxPsamAnswerSize];
  // Stays 0 when the reader answers without data (status 0x00), which writes nothing.
  uint8_t answerLength = 0;
  if (!call.Done(sam::SetPsamPower(call.port(), static_cast<uint32_t>(slot), on ? 1 : 0, answer, &answerLength,
                                   call.crcFlag())))
    return {};
  return std::vector<uint8_t>(answer, answer + answerLength);
}
std::vector<uint8_t> Reader::SetPsamPower(PsamSlot slot, bool on) {
  return OrThrow(*this, [&](std::error_code& ec) { return SetPsamPower(slot, on, ec); });
}

}  // namespace quarn
