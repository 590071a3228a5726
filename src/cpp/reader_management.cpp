// Reader management: power, PA status, frequency, registers, identity, operating modes, antennas.

#include "antenna/antenna_choice.h"
#include "cpp/call.h"
#include "reader/frequency.h"
#include "reader/identity.h"
#include "reader/multi_ant_setting.h"
#include "reader/operating_mode.h"
#include "reader/power.h"
#include "reader/registers.h"
#include "reader/stop_operation.h"

namespace quarn {

using cpp::Call;
using cpp::OrThrow;

PaStatus Reader::GetPaStatus(std::error_code& ec) {
  // No answer is no proof of a sound amplifier: a failed call hands back a status that is not ok().
  const PaStatus unknown{link::kNoErrorCode};
  Call call(*this, "GetPaStatus", ec);
  if (!call.Ready()) return unknown;
  uint8_t status = 0;
  const link::Result result = reader::GetPaStatus(call.port(), &status, call.crcFlag());
  // A status other than 0 is the amplifier's state, which the caller asked for.
  if (result.outcome == link::Outcome::kRefused) {
    call.Record(link::Succeeded());
    return PaStatus{result.status};
  }
  return call.Record(result) ? PaStatus{0} : unknown;
}
PaStatus Reader::GetPaStatus() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetPaStatus(ec); });
}

uint8_t Reader::GetPower(std::error_code& ec) {
  Call call(*this, "GetPower", ec);
  uint8_t power = 0;
  if (call.Ready() && call.Done(reader::GetPower(call.port(), &power, call.crcFlag()))) return power;
  return 0;
}
uint8_t Reader::GetPower() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetPower(ec); });
}

void Reader::SetPower(uint8_t powerParam1, uint8_t powerParam2, std::error_code& ec) {
  Call call(*this, "SetPower", ec);
  if (call.Ready()) call.Done(reader::SetPower(call.port(), powerParam1, powerParam2, call.crcFlag()));
}
void Reader::SetPower(uint8_t powerParam1, uint8_t powerParam2) {
  OrThrow(*this, [&](std::error_code& ec) { SetPower(powerParam1, powerParam2, ec); });
}

FrequencyConfig Reader::GetFrequency(std::error_code& ec) {
  Call call(*this, "GetFrequency", ec);
  FrequencyConfig config;
  uint8_t* b = config.bytes.data();
  const reader::FrequencyOutputs outputs = {b, b + 1, b + 2, b + 4, b + 5, b + 6};
  if (call.Ready() && call.Done(reader::GetFrequency(call.port(), outputs, call.crcFlag()))) return config;
  return {};
}
FrequencyConfig Reader::GetFrequency() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetFrequency(ec); });
}

void Reader::SetFrequency(const FrequencyConfig& config, std::error_code& ec) {
  Call call(*this, "SetFrequency", ec);
  const uint8_t* b = config.bytes.data();
  const reader::FrequencyInputs inputs = {b[0], b[1], b + 2, b[4], b[5], b[6]};
  if (call.Ready()) call.Done(reader::SetFrequency(call.port(), inputs, call.crcFlag()));
}
void Reader::SetFrequency(const FrequencyConfig& config) {
  OrThrow(*this, [&](std::error_code& ec) { SetFrequency(config, ec); });
}

size_t Reader::GetRegistersInto(uint16_t address, uint16_t count, ByteSpan out, std::error_code& ec) {
  Call call(*this, "GetRegisters", ec);
  const uint32_t copied = reader::RegisterCopyCount(address, count);
  if (out.size() < copied) {
    call.Invalid("the buffer is smaller than the registers read: give it room for the count (or, for count 0, "
                 "the rest of the 512-byte register space)");
    return 0;
  }
  if (!call.Ready()) return 0;
  uint8_t errorCode = 0;
  if (!call.Done(reader::GetRegister(call.port(), address, count, &errorCode, out.data(), call.crcFlag()))) return 0;
  return copied;
}
size_t Reader::GetRegistersInto(uint16_t address, uint16_t count, ByteSpan out) {
  return OrThrow(*this, [&](std::error_code& ec) { return GetRegistersInto(address, count, out, ec); });
}

std::vector<uint8_t> Reader::GetRegisters(uint16_t address, uint16_t count, std::error_code& ec) {
  std::vector<uint8_t> bytes(reader::RegisterCopyCount(address, count));
  bytes.resize(GetRegistersInto(address, count, bytes, ec));
  return bytes;
}
std::vector<uint8_t> Reader::GetRegisters(uint16_t address, uint16_t count) {
  return OrThrow(*this, [&](std::error_code& ec) { return GetRegisters(address, count, ec); });
}

void Reader::SetRegisters(uint16_t address, ByteView data, std::error_code& ec) {
  Call call(*this, "SetRegisters", ec);
  // The count travels as 16 bits; more bytes could never fit a frame anyway.
  if (data.size() > UINT16_MAX) {
    call.Fail(Errc::kCommandTooLong, "at most 2039 register bytes (2037 in CRC mode) fit one write");
    return;
  }
  if (!call.Ready()) return;
  uint8_t errorCode = 0;
  call.Done(reader::SetRegister(call.port(), address, static_cast<int32_t>(data.size()), data.data(), &errorCode,
                                call.crcFlag()));
}
void Reader::SetRegisters(uint16_t address, ByteView data) {
  OrThrow(*this, [&](std::error_code& ec) { SetRegisters(address, data, ec); });
}

void Reader::ResetRegisters(std::error_code& ec) {
  Call call(*this, "ResetRegisters", ec);
  if (call.Ready()) call.Done(reader::ResetRegister(call.port(), call.crcFlag()));
}
void Reader::ResetRegisters() {
  OrThrow(*this, [&](std::error_code& ec) { ResetRegisters(ec); });
}

void Reader::SaveRegisters(std::error_code& ec) {
  Call call(*this, "SaveRegisters", ec);
  if (call.Ready()) call.Done(reader::SaveRegister(call.port(), call.crcFlag()));
}
void Reader::SaveRegisters() {
  OrThrow(*this, [&](std::error_code& ec) { SaveRegisters(ec); });
}

uint8_t Reader::GetMultiAntSetting(std::error_code& ec) {
  Call call(*this, "GetMultiAntSetting", ec);
  uint8_t setting = 0;
  if (call.Ready() && call.Done(reader::GetMultiAntSetting(call.port(), &setting, call.crcFlag()))) return setting;
  return 0;
}
uint8_t Reader::GetMultiAntSetting() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetMultiAntSetting(ec); });
}

void Reader::SetMultiAntSetting(uint8_t setting, std::error_code& ec) {
  Call call(*this, "SetMultiAntSetting", ec);
  if (call.Ready()) call.Done(reader::SetMultiAntSetting(call.port(), &setting, call.crcFlag()));
}
void Reader::SetMultiAntSetting(uint8_t setting) {
  OrThrow(*this, [&](std::error_code& ec) { SetMultiAntSetting(setting, ec); });
}

Version Reader::GetVersion(std::error_code& ec) {
  Call call(*this, "GetVersion", ec);
  Version version;
  if (call.Ready() &&
      call.Done(reader::GetVersion(call.port(), version.block1.data(), version.block2.data(), call.crcFlag())))
    return version;
  return {};
}
Version Reader::GetVersion() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetVersion(ec); });
}

ReaderUid Reader::GetReaderUid(std::error_code& ec) {
  Call call(*this, "GetReaderUid", ec);
  ReaderUid uid{};
  if (call.Ready() && call.Done(reader::GetReaderUid(call.port(), uid.data(), call.crcFlag()))) return uid;
  return {};
}
ReaderUid Reader::GetReaderUid() {
  return OrThrow(*this, [&](std::error_code& ec) { return GetReaderUid(ec); });
}

void Reader::EnterSleepMode(std::error_code& ec) {
  Call call(*this, "EnterSleepMode", ec);
  if (call.Ready()) call.Done(reader::EnterSleepMode(call.port(), call.crcFlag()));
}
void Reader::EnterSleepMode() {
  OrThrow(*this, [&](std::error_code& ec) { EnterSleepMode(ec); });
}

void Reader::StopOperation(std::error_code& ec) {
  Call call(*this, "StopOperation", ec);
  if (call.Ready()) call.Done(reader::StopOperation(call.port(), call.crcFlag()));
}
void Reader::StopOperation() {
  OrThrow(*this, [&](std::error_code& ec) { StopOperation(ec); });
}

void Reader::SetTransparentTransfer(bool on, std::error_code& ec) {
  Call call(*this, "SetTransparentTransfer", ec);
  uint8_t status = 0;
  if (call.Ready()) call.Done(reader::SetTransparentTransfer(call.port(), on ? 1 : 0, &status, call.crcFlag()));
}
void Reader::SetTransparentTransfer(bool on) {
  OrThrow(*this, [&](std::error_code& ec) { SetTransparentTransfer(on, ec); });
}

uint8_t Reader::CheckAntenna(std::error_code& ec) {
  Call call(*this, "CheckAntenna", ec);
  uint8_t state = 0;
  if (call.Ready() && call.Done(quarn::antenna::CheckAntenna(call.port(), &state, call.crcFlag()))) return state;
  return 0;
}
uint8_t Reader::CheckAntenna() {
  return OrThrow(*this, [&](std::error_code& ec) { return CheckAntenna(ec); });
}

void Reader::ChooseAntenna(uint8_t antenna, std::error_code& ec) {
  Call call(*this, "ChooseAntenna", ec);
  if (call.Ready()) call.Done(quarn::antenna::ChooseAntenna(call.port(), antenna, call.crcFlag()));
}
void Reader::ChooseAntenna(uint8_t antenna) {
  OrThrow(*this, [&](std::error_code& ec) { ChooseAntenna(antenna, ec); });
}

}  // namespace quarn
