// The secure-access-module, SR and firmware-update steps of the script. The update runs on the port that
// UhfUpdateInit opens itself, so its first step closes the one the script ran on so far and hands the new
// one to the steps after it. Each check makes the call of its row in kComScript.

#include <windows.h>

#include <vector>

#include "com_steps.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

// ---- Secure access module and SR ----

void SetSamCase4Crc(ScriptContext& c) {
  const unsigned char apdu[] = {0x00, 0xA4, 0x04, 0x00, 0x02, 0x3F, 0x00, 0x04};
  unsigned char response[8];
  Prefill(response);
  int responseLength = 0x5A5A5A5A;
  unsigned char sw1 = kOutSentinel, sw2 = kOutSentinel, status = kOutSentinel;
  // Only the low byte of apduLength counts: 0x108 is 8.
  const int result = QUARN_LOOKUP(c.dll, UhfSetSAM)(c.port, apdu, 0x108, response, &responseLength, &sw1, &sw2,
                                                    &status, 1);
  c.report.Check(result == 1 && responseLength == 4 && sw1 == 0x90 && sw2 == 0x00 && status == 0x00,
                 "UhfSetSAM case 4, reply status 0x01: result %d, responseLength %d, SW %02X %02X, status 0x%02X; "
                 "expected 1, 4, 90 00, 0x00",
                 result, responseLength, sw1, sw2, status);
  CheckWritten(c.report, "UhfSetSAM response", response, "6F 02 55 AA");
}

void GetSr(ScriptContext& c) {
  unsigned char srData[84];
  Prefill(srData);
  unsigned char status = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfGetSR)(c.port, 0x155, srData, &status, 0);
  c.report.Check(result == 1 && status == 0x00, "UhfGetSR: result %d, status 0x%02X; expected 1, 0x00", result,
                 status);
  std::vector<uint8_t> expected;
  for (int i = 0; i < 80; ++i) expected.push_back(static_cast<uint8_t>(0x10 + 3 * i));
  CheckWritten(c.report, "UhfGetSR srData", srData, sizeof srData, expected);
}

void WriteSrSingleCrc(ScriptContext& c) {
  const std::vector<uint8_t> password = ParseHexBytes(QUARN_RING_PASSWORD);
  const unsigned char wordPtr[] = {0x04};
  unsigned char tagRecord[256];
  Prefill(tagRecord);
  unsigned char tagRecordLength = kOutSentinel, errorCode = kOutSentinel, writeStatus = kOutSentinel,
                writtenWordCount = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfWriteSRtoTagSingle)(c.port, password.data(), 3, wordPtr, 1, 2, 3, 0x104,
                                                                tagRecord, &tagRecordLength, &errorCode,
                                                                &writeStatus, &writtenWordCount, 1);
  c.report.Check(result == 1 && tagRecordLength == 14 && errorCode == 0xFF && writeStatus == 0x00 &&
                     writtenWordCount == 0,
                 "UhfWriteSRtoTagSingle CRC mode: result %d, tagRecordLength %u, errorCode 0x%02X, writeStatus "
                 "0x%02X, writtenWordCount %u; expected 1, 14, 0xFF, 0x00, 0",
                 result, tagRecordLength, errorCode, writeStatus, writtenWordCount);
  CheckWritten(c.report, "UhfWriteSRtoTagSingle tagRecord", tagRecord, QUARN_RING_TAG_RECORD);
}

// ---- Firmware update ----

void CheckUpdateStatus(ScriptContext& c, const char* exportName, int result, unsigned char status) {
  c.report.Check(result == 1 && status == 0x00, "%s CRC mode: result %d, status 0x%02X; expected 1, 0x00",
                 exportName, result, status);
}

// portOptions 0x07: 115200 baud, and bit 0 puts the start command in CRC mode.
void UpdateInit(ScriptContext& c) {
  QUARN_LOOKUP(c.dll, UhfClosePort)(&c.port);
  c.port = QUARN_INVALID_PORT;
  unsigned char status = kOutSentinel;
  int initValue = 0x5A5A5A5A;
  const int result = QUARN_LOOKUP(c.dll, UhfUpdateInit)(&c.port, c.portName, &status, &initValue, 0x07);
  CheckUpdateStatus(c, "UhfUpdateInit", result, status);
  // The reply's data bytes 78 56 34 12 in the order they arrived: 0x78 the least significant.
  c.report.Check(initValue == 0x12345678, "UhfUpdateInit initValue 0x%08X; expected 0x12345678",
                 static_cast<unsigned>(initValue));
  c.updateInitValue = initValue;
  if (c.report.Check(c.port != QUARN_INVALID_PORT, "UhfUpdateInit left no open port")) {
    CheckConfiguration(c.port, c.portName, 115200, c.report);
  }
}

void UpdateSendRn32(ScriptContext& c) {
  unsigned char status = kOutSentinel;
  const unsigned char* rn32 = reinterpret_cast<const unsigned char*>(&c.updateInitValue);
  const int result = QUARN_LOOKUP(c.dll, UhfUpdateSendRN32)(c.port, rn32, &status, 1);
  CheckUpdateStatus(c, "UhfUpdateSendRN32", result, status);
}

void UpdateSendSize(ScriptContext& c) {
  const unsigned char size[] = {0x7A, 0x00, 0x00, 0x00};
  unsigned char status = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfUpdateSendSize)(c.port, &status, size, 1);
  CheckUpdateStatus(c, "UhfUpdateSendSize", result, status);
}

// 122 bytes in CRC mode is the shortest block whose frame needs the two-byte length form.
void UpdateSendData(ScriptContext& c) {
  unsigned char block[122];
  for (unsigned i = 0; i < sizeof block; ++i) block[i] = static_cast<unsigned char>(i);
  unsigned char status = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfUpdateSendData)(c.port, &status, 0x1AA, 0x301, 122, block, 1);
  CheckUpdateStatus(c, "UhfUpdateSendData", result, status);
}

void UpdateCommit(ScriptContext& c) {
  unsigned char status = kOutSentinel;
  // Only bit 0 of crcFlag counts: 3 is CRC mode.
  const int result = QUARN_LOOKUP(c.dll, UhfUpdateCommit)(c.port, &status, 3);
  CheckUpdateStatus(c, "UhfUpdateCommit", result, status);
}

const NamedCheck kChecks[] = {
    {"SetSamCase4Crc", SetSamCase4Crc},
    {"GetSr", GetSr},
    {"WriteSrSingleCrc", WriteSrSingleCrc},
    {"UpdateInit", UpdateInit},
    {"UpdateSendRn32", UpdateSendRn32},
    {"UpdateSendSize", UpdateSendSize},
    {"UpdateSendData", UpdateSendData},
    {"UpdateCommit", UpdateCommit},
};

}  // namespace

const CheckFamily kSamAndUpdateChecks = FamilyOf(kChecks);

}  // namespace quarn::win32ring
