// The reader-management steps of the script: power and frequency, registers, identity, and the antenna
// check and choice. Each check makes the call of its row in kComScript.

#include <windows.h>

#include "com_steps.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

double NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// ---- Power and frequency ----

void GetPowerPlain(ScriptContext& c) {
  unsigned char power = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfGetPower)(c.port, &power, 0);
  c.report.Check(result == 1 && power == 0x1E, "UhfGetPower plain: result %d, power 0x%02X; expected 1, 0x1E",
                 result, power);
}

void GetPowerCrc(ScriptContext& c) {
  unsigned char power = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfGetPower)(c.port, &power, 1);
  c.report.Check(result == 1 && power == 0xB2, "UhfGetPower CRC mode: result %d, power 0x%02X; expected 1, 0xB2",
                 result, power);
}

void SetPowerEscaped(ScriptContext& c) {
  const int result = QUARN_LOOKUP(c.dll, UhfSetPower)(c.port, 0x155, 0x0D, 0);
  c.report.Check(result == 1, "UhfSetPower(0x155, 0x0D): result %d; expected 1", result);
}

void GetFrequencyRaw(ScriptContext& c) {
  unsigned char f0 = kOutSentinel, f1 = kOutSentinel, f4 = kOutSentinel, f5 = kOutSentinel, f6 = kOutSentinel;
  unsigned char f23[3];
  Prefill(f23);
  const int result = QUARN_LOOKUP(c.dll, UhfGetFrequency)(c.port, &f0, &f1, f23, &f4, &f5, &f6, 0);
  c.report.Check(result == 1 && f0 == 0x0D && f1 == 0x0A && f4 == 0x7F && f5 == 0x03 && f6 == 0x04,
                 "UhfGetFrequency: result %d, bytes %02X %02X .. %02X %02X %02X; expected 1, 0D 0A .. 7F 03 04",
                 result, f0, f1, f4, f5, f6);
  CheckWritten(c.report, "UhfGetFrequency freq23", f23, "11 13");
}

// The reader stays silent: the first read returns empty after the port's 3050 ms, and the hunt ends.
void GetPowerTimeOut(ScriptContext& c) {
  unsigned char power = kOutSentinel;
  const double start = NowMs();
  const int result = QUARN_LOOKUP(c.dll, UhfGetPower)(c.port, &power, 0);
  const double elapsed = NowMs() - start;
  c.report.Check(result == 0 && power == kOutSentinel,
                 "UhfGetPower with no reply: result %d, power 0x%02X; expected 0, untouched", result, power);
  c.report.Check(elapsed >= 2900.0 && elapsed <= 4500.0,
                 "UhfGetPower with no reply took %.0f ms; expected about 3050", elapsed);
  c.report.Note("no-reply time-out after %.0f ms", elapsed);
}

// ---- Registers ----

// Count 0 copies 512 - 0x1F8 = 8 bytes and not one more.
void GetRegisterToEnd(ScriptContext& c) {
  unsigned char errorCode = kOutSentinel;
  unsigned char data[16];
  Prefill(data);
  const int result = QUARN_LOOKUP(c.dll, UhfGetRegister)(c.port, 0x1F8, 0, &errorCode, data, 1);
  c.report.Check(result == 1 && errorCode == 0x00,
                 "UhfGetRegister(0x1F8, count 0): result %d, errorCode 0x%02X; expected 1, 0x00", result, errorCode);
  CheckWritten(c.report, "UhfGetRegister data", data, "11 AA 22 55 33 FF 44 00");
}

void SetRegisterOneByte(ScriptContext& c) {
  const unsigned char value[] = {0x03};
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfSetRegister)(c.port, 0x10124, 1, value, &errorCode, 0);
  c.report.Check(result == 1 && errorCode == 0x00,
                 "UhfSetRegister(0x10124, 1 byte): result %d, errorCode 0x%02X; expected 1, 0x00", result, errorCode);
}

void SetRegisterRefused(ScriptContext& c) {
  const unsigned char values[] = {0x55, 0xAA, 0xFF};
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfSetRegister)(c.port, 0x10, 3, values, &errorCode, 1);
  c.report.Check(result == 0 && errorCode == 0x05,
                 "UhfSetRegister refused with status 0x05: result %d, errorCode 0x%02X; expected 0, 0x05", result,
                 errorCode);
}

// ---- Identity ----

void GetVersionCrc(ScriptContext& c) {
  unsigned char block1[8];
  unsigned char block2[5];
  Prefill(block1);
  Prefill(block2);
  const int result = QUARN_LOOKUP(c.dll, UhfGetVersion)(c.port, block1, block2, 1);
  c.report.Check(result == 1, "UhfGetVersion with status 0x01: result %d; expected 1", result);
  CheckWritten(c.report, "UhfGetVersion versionBlock1", block1, "02 01 00 0A 55 10");
  CheckWritten(c.report, "UhfGetVersion versionBlock2", block2, "01 03 FF");
}

void GetReaderUid(ScriptContext& c) {
  unsigned char uid[14];
  Prefill(uid);
  const int result = QUARN_LOOKUP(c.dll, UhfGetReaderUID)(c.port, uid, 0);
  c.report.Check(result == 1, "UhfGetReaderUID: result %d; expected 1", result);
  CheckWritten(c.report, "UhfGetReaderUID readerUid", uid, "A0 A1 A2 A3 A4 A5 A6 A7 A8 A9 AA AB");
}

// ---- Antenna check and choice ----

void CheckAnt(ScriptContext& c) {
  unsigned char antennaState = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfCheckANT)(c.port, &antennaState, 0);
  c.report.Check(result == 1 && antennaState == 0x0F,
                 "UhfCheckANT: result %d, antennaState 0x%02X; expected 1, 0x0F", result, antennaState);
}

void ChooseAntCrc(ScriptContext& c) {
  const int result = QUARN_LOOKUP(c.dll, UhfChooseANT)(c.port, 0x101, 1);
  c.report.Check(result == 1, "UhfChooseANT(0x101) CRC mode: result %d; expected 1", result);
}

const NamedCheck kChecks[] = {
    {"GetPowerPlain", GetPowerPlain},
    {"GetPowerCrc", GetPowerCrc},
    {"SetPowerEscaped", SetPowerEscaped},
    {"GetFrequencyRaw", GetFrequencyRaw},
    {"GetPowerTimeOut", GetPowerTimeOut},
    {"GetRegisterToEnd", GetRegisterToEnd},
    {"SetRegisterOneByte", SetRegisterOneByte},
    {"SetRegisterRefused", SetRegisterRefused},
    {"GetVersionCrc", GetVersionCrc},
    {"GetReaderUid", GetReaderUid},
    {"CheckAnt", CheckAnt},
    {"ChooseAntCrc", ChooseAntCrc},
};

}  // namespace

const CheckFamily kReaderChecks = FamilyOf(kChecks);

}  // namespace quarn::win32ring
