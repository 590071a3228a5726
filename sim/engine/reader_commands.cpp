// Reader management: PA status, power, antennas, frequency, identity, modes and the registers.

#include "sim/engine/virtual_reader.h"
#include "sim/model/error_codes.h"

namespace quarn::sim {

namespace {

constexpr uint8_t kMaxPowerDbm = 33;
constexpr uint32_t kBandLowKhz = 840000;
constexpr uint32_t kBandHighKhz = 960000;
constexpr uint32_t kSpacingUnitKhz = 50;
constexpr uint8_t kMaxChannels = 50;
constexpr size_t kRegisterReadParams = 4;

// Mode 0 (one channel) or 1 (hopping), 1 to 50 channels from 840 MHz + freq23 kHz, a spacing of
// freq4 x 50 kHz and a dwell of freq5 x 10 ms, all inside 840 to 960 MHz.
bool ValidFrequency(const Bytes& f) {
  const uint32_t startKhz = kBandLowKhz + ((static_cast<uint32_t>(f[2]) << 8) | f[3]);
  const uint32_t channels = f[1];
  const uint32_t spacingKhz = f[4] * kSpacingUnitKhz;
  if (f[0] > 1 || channels == 0 || channels > kMaxChannels || f[5] == 0) return false;
  if (channels > 1 && spacingKhz == 0) return false;
  return startKhz + (channels - 1) * spacingKhz <= kBandHighKhz;
}

Bytes RegisterRange(const Registers& registers, size_t address, size_t count) {
  return Bytes(registers.working().begin() + static_cast<std::ptrdiff_t>(address),
               registers.working().begin() + static_cast<std::ptrdiff_t>(address + count));
}

}  // namespace

void VirtualReader::GetPaStatus(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, paFault_ ? status::kRefused : status::kOk);
}

void VirtualReader::GetPower(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, status::kOk, {registers_.at(reg::kReadPower), registers_.at(reg::kWritePower)});
}

void VirtualReader::SetPower(const Command& command) {
  if (command.params.size() != 2) return Malformed(command);
  const uint8_t readPower = command.params[0];
  const uint8_t writePower = command.params[1];
  if (readPower > kMaxPowerDbm || writePower > kMaxPowerDbm) return ErrorReply(command, errors::kBadParameter);
  registers_.Set(reg::kReadPower, readPower);
  registers_.Set(reg::kWritePower, writePower);
  Reply(command, status::kOk);
}

void VirtualReader::CheckAntenna(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, status::kOk, {connected_});
}

void VirtualReader::ChooseAntenna(const Command& command) {
  if (command.params.size() != 1) return Malformed(command);
  const uint8_t antenna = command.params[0];
  const bool usable = antenna >= 1 && antenna <= antennaCount_ && (connected_ & (1u << (antenna - 1))) != 0;
  if (!usable) return Reply(command, status::kRefused);
  registers_.Set(reg::kChosenAntenna, antenna);
  Reply(command, status::kOk);
}

void VirtualReader::GetFrequency(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, status::kOk, RegisterRange(registers_, reg::kFrequency, kFrequencyBytes));
}

void VirtualReader::SetFrequency(const Command& command) {
  if (command.params.size() != kFrequencyBytes) return Malformed(command);
  if (!ValidFrequency(command.params)) return ErrorReply(command, errors::kBadParameter);
  for (size_t i = 0; i < kFrequencyBytes; ++i) registers_.Set(reg::kFrequency + i, command.params[i]);
  Reply(command, status::kOk);
}

void VirtualReader::GetVersion(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, status::kOk, version_);
}

void VirtualReader::GetReaderUid(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  Reply(command, status::kOk, uid_);
}

void VirtualReader::SetTransparent(const Command& command, bool on) {
  if (!command.params.empty()) return Malformed(command);
  transparent_ = on;
  Reply(command, status::kOk);
}

void VirtualReader::StopOperation(const Command& command) {
  // Whatever ran was already stopped when this frame's head arrived.
  StopStream();
  Reply(command, status::kOk);
}

void VirtualReader::EnterSleep(const Command& command) {
  if (!command.params.empty()) return Malformed(command);
  StopStream();
  Reply(command, status::kOk);
  sleeping_ = true;
}

void VirtualReader::GetRegister(const Command& command) {
  const bool lengthOk = command.params.size() == kRegisterReadParams;
  const size_t address = lengthOk ? (command.params[0] << 8) | command.params[1] : 0;
  const size_t count = lengthOk ? (command.params[2] << 8) | command.params[3] : 0;
  // The host expects the two-byte length form for a read to the end, and for any reply that does not
  // fit the one-byte form; error replies take the same form so that their status is found.
  const size_t oneByteCount = count + (command.crc() ? 5 : 3);
  const bool twoByte = count == 0 || oneByteCount > kMaxOneByteLength;
  if (!lengthOk) return Reply(command, register_status::kMalformed, {}, twoByte);
  if (count == 0) {
    const Bytes rest = address < kRegisterCount ? RegisterRange(registers_, address, kRegisterCount - address) : Bytes{};
    return Reply(command, register_status::kOk, rest, true);
  }
  if (!Registers::InRange(address, count)) return Reply(command, register_status::kOutOfRange, {}, twoByte);
  Reply(command, register_status::kOk, RegisterRange(registers_, address, count), twoByte);
}

void VirtualReader::SetRegister(const Command& command) {
  ParamReader reader(command.params);
  const size_t address = reader.Word16();
  const size_t count = reader.Word16();
  const Bytes data = reader.Rest();
  if (!reader.Finish() || data.size() != count) return Reply(command, register_status::kMalformed);
  if (!Registers::InRange(address, count)) return Reply(command, register_status::kOutOfRange);
  for (size_t i = 0; i < count; ++i) registers_.Set(address + i, data[i]);
  Reply(command, register_status::kOk);
}

void VirtualReader::ResetRegister(const Command& command) {
  if (!command.params.empty()) return Reply(command, register_status::kMalformed);
  registers_.Reset();
  Reply(command, register_status::kOk);
}

void VirtualReader::SaveRegister(const Command& command) {
  if (!command.params.empty()) return Reply(command, register_status::kMalformed);
  registers_.Save();
  if (saveSink_) saveSink_(registers_.saved());
  Reply(command, register_status::kOk);
}

}  // namespace quarn::sim
