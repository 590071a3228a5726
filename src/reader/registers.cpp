#include "reader/registers.h"

#include <cstring>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
using link::ReplyLayout;
using link::ReplyView;
namespace commands = link::commands;

namespace {

constexpr uint32_t kLow16 = 0xFFFF;
// The reply's one-byte count besides the data: length, code, status, and in CRC mode the CRC.
constexpr uint32_t kReplyOverhead = 3;
constexpr uint32_t kCrcSize = 2;

// The read's reply form is known before it arrives: the rest of the space is always sent long, a counted
// read is long when its one-byte count would not fit.
ReplyLayout ExpectedReadLayout(uint32_t count, bool crcMode) {
  if (count == 0) return ReplyLayout::kTwoByteForm;
  const uint32_t replyCount = count + kReplyOverhead + (crcMode ? kCrcSize : 0);
  return replyCount > link::kMaxOneByteLength ? ReplyLayout::kTwoByteForm : ReplyLayout::kOneByteForm;
}

// The status byte of a reply that echoes code, or nothing when there is no usable reply.
std::optional<uint8_t> EchoedStatus(const ReplyView& view, uint8_t code) {
  if (!view.Echoes(code)) return std::nullopt;
  return view.Status();
}

}  // namespace

uint32_t RegisterCopyCount(uint32_t registerAddress, uint32_t registerCount) {
  const uint32_t count = registerCount & kLow16;
  if (count != 0) return count;
  const uint32_t address = registerAddress & kLow16;
  return address < kRegisterSpaceSize ? kRegisterSpaceSize - address : 0;
}

bool GetRegister(PortHandle port, uint32_t registerAddress, uint32_t registerCount, uint8_t* errorCode,
                 uint8_t* registerData, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetRegister, crcFlag);
  frame.Word16(registerAddress).Word16(registerCount);
  ReceivedFrame reply;
  const bool exchanged = frame.Finish() && link::ExchangeCommand(port, frame, reply);
  *errorCode = link::kNoErrorCode;
  if (!exchanged) return false;
  const ReplyView view = reply.View(ExpectedReadLayout(registerCount & kLow16, frame.crcMode()));
  const std::optional<uint8_t> status = EchoedStatus(view, frame.code());
  if (!status.has_value()) return false;
  if (!link::IsZeroStatus(*status)) {
    *errorCode = *status;
    return false;
  }
  const uint32_t copyCount = RegisterCopyCount(registerAddress, registerCount);
  // A reply too short for the copy is no usable reply, whatever its status said.
  const uint8_t* data = view.Data(0, copyCount);
  if (data == nullptr) return false;
  if (copyCount > 0) std::memcpy(registerData, data, copyCount);
  *errorCode = 0;
  return true;
}

bool SetRegister(PortHandle port, uint32_t registerAddress, int32_t registerCount, const uint8_t* registerData,
                 uint8_t* errorCode, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetRegister, crcFlag, link::LengthForms::kTwoByteWhenLong);
  frame.Word16(registerAddress).Word16(static_cast<uint32_t>(registerCount));
  if (registerCount > 0) frame.Bytes(registerData, static_cast<size_t>(registerCount));
  if (!frame.Finish()) {
    *errorCode = link::kNoErrorCode;
    return false;
  }
  ReceivedFrame reply;
  if (!link::ExchangeCommand(port, frame, reply)) return false;
  // The reply is short whatever form the command took.
  const std::optional<uint8_t> status = EchoedStatus(reply.View(), frame.code());
  if (!status.has_value()) return false;
  *errorCode = *status;
  return link::IsZeroStatus(*status);
}

bool ResetRegister(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kResetRegister, crcFlag);
  return ExchangeAccepted(port, frame, link::IsZeroStatus);
}

bool SaveRegister(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kSaveRegister, crcFlag);
  return ExchangeAccepted(port, frame, link::IsZeroStatus);
}

}  // namespace quarn::reader
