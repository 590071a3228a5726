// The reader's own commands through quarn::Reader over the COM port: identity, power, frequency,
// antennas, the parameter registers (a write long enough for the two-byte length form) and sleep. What
// counts is what comes back, and that a refusal carries the reader's status byte.

#include <algorithm>
#include <array>

#include "cpp_checks.h"

namespace quarn::win32ring::cppapi {

namespace {

// Each mode sets a power of its own, so the plain run's value cannot pass for the CRC run's.
uint8_t PowerFor(const Reader& reader) { return reader.crcMode() ? 24 : 20; }

// The register bytes a mode writes; 130 of them need the two-byte length form.
Bytes RegisterPattern(const Reader& reader) {
  Bytes data(130);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 3 + (reader.crcMode() ? 7 : 1));
  return data;
}

constexpr uint16_t kRegisterAddress = 0x040;
constexpr uint16_t kLastRegister = 0x1FF;
constexpr uint8_t kRefusedStatus = 0x01;
constexpr uint8_t kAllAntennas = 0x0F;  // the virtual reader's four antennas, all connected
constexpr uint8_t kNoSuchAntenna = 9;

void CheckIdentity(Reader& reader, Report& report) {
  const Version version = reader.GetVersion();
  report.Check(version.block1[0] == 'Q', "GetVersion %s: %s; expected the virtual reader's, starting 51 ('Q')",
               ModeName(reader), version.hex().c_str());
  const ReaderUid uid = reader.GetReaderUid();
  report.Check(std::any_of(uid.begin(), uid.end(), [](uint8_t b) { return b != 0; }),
               "GetReaderUid %s: %s; expected the virtual reader's 12 bytes", ModeName(reader), HexOf(uid).c_str());
  report.Check(reader.GetPaStatus().ok(), "GetPaStatus %s: status 0x%02X; expected 0", ModeName(reader),
               reader.GetPaStatus().status);
}

void CheckPowerAndFrequency(Reader& reader, Report& report) {
  reader.SetPower(PowerFor(reader), 22);
  const uint8_t power = reader.GetPower();
  report.Check(power == PowerFor(reader), "GetPower %s after SetPower(%u, 22): %u", ModeName(reader), PowerFor(reader),
               power);
  const FrequencyConfig frequency = reader.GetFrequency();
  reader.SetFrequency(frequency);
  report.Check(reader.GetFrequency() == frequency, "GetFrequency %s after setting %s back: %s", ModeName(reader),
               HexOf(frequency.bytes).c_str(), HexOf(reader.GetFrequency().bytes).c_str());
}

void CheckAntennas(Reader& reader, Report& report) {
  const uint8_t check = reader.CheckAntenna();
  report.Check(check == kAllAntennas, "CheckAntenna %s: 0x%02X; expected 0x%02X", ModeName(reader), check,
               kAllAntennas);
  std::error_code ec;
  reader.ChooseAntenna(kNoSuchAntenna, ec);
  report.Check(ec == Errc::kRefused && reader.lastError().status == kRefusedStatus,
               "ChooseAntenna(%u) %s: %s; expected kRefused with status 0x%02X", kNoSuchAntenna, ModeName(reader),
               reader.lastError().Describe().c_str(), kRefusedStatus);
  reader.ChooseAntenna(1);
}

void CheckRegisters(Reader& reader, Report& report) {
  const Bytes data = RegisterPattern(reader);
  reader.SetRegisters(kRegisterAddress, data);
  const Bytes back = reader.GetRegisters(kRegisterAddress, static_cast<uint16_t>(data.size()));
  report.Check(back == data, "GetRegisters %s of the %zu bytes written: %s", ModeName(reader), data.size(),
               HexOf(back).c_str());
  std::array<uint8_t, 8> into{};
  const size_t copied = reader.GetRegistersInto(kRegisterAddress, 4, into);
  report.Check(copied == 4 && ByteView(into.data(), 4) == ByteView(data.data(), 4) && into[4] == 0,
               "GetRegistersInto %s: %zu bytes, %s; expected 4, the first written", ModeName(reader), copied,
               HexOf(into).c_str());
  std::error_code ec;
  const Bytes past = reader.GetRegisters(kLastRegister, 2, ec);
  report.Check(ec == Errc::kRefused && reader.lastError().status == kRefusedStatus && past.empty(),
               "GetRegisters(0x1FF, 2) %s, past the end: %s; expected kRefused with status 0x%02X and no bytes",
               ModeName(reader), reader.lastError().Describe().c_str(), kRefusedStatus);
}

// A sleeping reader wakes for the next command and answers it.
void CheckSleep(Reader& reader, Report& report) {
  reader.EnterSleepMode();
  std::error_code ec;
  const uint8_t power = reader.GetPower(ec);
  report.Check(!ec && power == PowerFor(reader), "GetPower %s after EnterSleepMode: %s, %u", ModeName(reader),
               reader.lastError().Describe().c_str(), power);
}

}  // namespace

void CheckReaderManagement(Reader& reader, Report& report) {
  Guarded(report, "identity", [&] { CheckIdentity(reader, report); });
  Guarded(report, "power and frequency", [&] { CheckPowerAndFrequency(reader, report); });
  Guarded(report, "antennas", [&] { CheckAntennas(reader, report); });
  Guarded(report, "registers", [&] { CheckRegisters(reader, report); });
  Guarded(report, "sleep", [&] { CheckSleep(reader, report); });
}

}  // namespace quarn::win32ring::cppapi
