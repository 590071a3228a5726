#include "reader/registers.h"

#include <cstring>

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::Outcome;
using link::ReceivedFrame;
using link::ReplyLayout;
using link::Result;
namespace commands = link::commands;

namespace {

constexpr uint32_t kLow16 = 0xFFFF;
// The reply's one-byte count besides the data: length, code, status, and in CRC mode the CRC.
constexpr uint32_t kReplyOverhead = 3;

// The read's reply form is known before it arrives: the rest of the space is always sent long, a counted
// read is long when its one-byte count would not fit.
ReplyLayout ExpectedReadLayout(uint32_t count, bool crcMode) {
  if (count == 0) return ReplyLayout::kTwoByteForm;
  const uint32_t replyCount = count + kReplyOverhead + (crcMode ? static_cast<uint32_t>(link::kCrcSize) : 0u);
  return replyCount > link::kMaxOneByteLength ? ReplyLayout::kTwoByteForm : ReplyLayout::kOneByteForm;
}

// The status byte of an echoing reply, which is the register errorCode: 0 on success, else the refusal.
bool ReportsStatus(const Result& result) { return result.ok() || result.outcome == Outcome::kRefused; }

}  // namespace

uint32_t RegisterCopyCount(uint32_t registerAddress, uint32_t registerCount) {
  const uint32_t count = registerCount & kLow16;
  if (count != 0) return count;
  const uint32_t address = registerAddress & kLow16;
  return address < kRegisterSpaceSize ? kRegisterSpaceSize - address : 0;
}

Result GetRegister(PortHandle port, uint32_t registerAddress, uint32_t registerCount, uint8_t* errorCode,
                   uint8_t* registerData, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetRegister, crcFlag);
  frame.Word16(registerAddress).Word16(registerCount);
  const ReplyLayout layout = ExpectedReadLayout(registerCount & kLow16, frame.crcMode());
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply, layout);
  *errorCode = result.outcome == Outcome::kRefused ? result.status : link::kNoErrorCode;
  if (!result) return result;
  const uint32_t copyCount = RegisterCopyCount(registerAddress, registerCount);
  // A reply too short for the copy is no usable reply, whatever its status said.
  const uint8_t* data = reply.View(layout).Data(0, copyCount);
  if (data == nullptr) return link::TooShort();
  if (copyCount > 0) std::memcpy(registerData, data, copyCount);
  *errorCode = result.status;
  return result;
}

Result SetRegister(PortHandle port, uint32_t registerAddress, int32_t registerCount, const uint8_t* registerData,
                   uint8_t* errorCode, uint32_t crcFlag) {
  CommandFrame frame(commands::kSetRegister, crcFlag);
  frame.Word16(registerAddress).Word16(static_cast<uint32_t>(registerCount));
  if (registerCount > 0) frame.Bytes(registerData, static_cast<size_t>(registerCount));
  if (!frame.Finish()) {
    *errorCode = link::kNoErrorCode;
    return link::Failed(Outcome::kCommandTooLong);
  }
  ReceivedFrame reply;
  // The reply is short whatever form the command took; without one, errorCode keeps what it held.
  const Result result = link::ExchangeCommand(port, frame, reply);
  if (ReportsStatus(result)) *errorCode = result.status;
  return result;
}

Result ResetRegister(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kResetRegister, crcFlag);
  return link::Exchange(port, frame);
}

Result SaveRegister(PortHandle port, uint32_t crcFlag) {
  CommandFrame frame(commands::kSaveRegister, crcFlag);
  return link::Exchange(port, frame);
}

}  // namespace quarn::reader
