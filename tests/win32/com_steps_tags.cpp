// The tag-access steps of the script: inventory and stopping it, reading, block writing, lock and kill,
// the multi-tag read, select filters, and the multi-antenna inventory. Each check makes the call of its
// row in kComScript.

#include <windows.h>

#include <cstring>
#include <vector>

#include "com_steps.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

const std::vector<uint8_t> kPassword = ParseHexBytes(QUARN_RING_PASSWORD);

// A caller's record buffer: the record, then bytes that must never go out with it.
struct RecordBuffer {
  explicit RecordBuffer(const char* recordHex) {
    std::memset(bytes, 0xEE, sizeof bytes);
    const std::vector<uint8_t> record = ParseHexBytes(recordHex);
    std::memcpy(bytes, record.data(), record.size());
  }
  unsigned char bytes[64];
};

// ---- Inventory, and stopping it ----

void StartInventory(ScriptContext& c) {
  // Only the low bytes count: hasParam 0x201 asks for the parameter byte 0x55; crcFlag 2 is plain mode.
  const int result = QUARN_LOOKUP(c.dll, UhfStartInventory)(c.port, 0x201, 0x155, 2);
  c.report.Check(result == 1, "UhfStartInventory(param 0x155): result %d; expected 1", result);
}

void ReadInventory(ScriptContext& c, const char* form, unsigned char expectedLength, const char* expectedRecord) {
  unsigned char length = kOutSentinel;
  unsigned char record[66];
  Prefill(record);
  const int result = QUARN_LOOKUP(c.dll, UhfReadInventory)(c.port, &length, record);
  c.report.Check(result == 1 && length == expectedLength,
                 "UhfReadInventory, %s report: result %d, tagRecordLength %u; expected 1, %u", form, result, length,
                 expectedLength);
  CheckWritten(c.report, "UhfReadInventory tagRecord", record, expectedRecord);
}

void ReadInventoryPlain(ScriptContext& c) { ReadInventory(c, "plain", 14, QUARN_RING_TAG_RECORD); }
void ReadInventoryCrc(ScriptContext& c) { ReadInventory(c, "CRC-form", 4, QUARN_RING_SHORT_RECORD); }

void StopAfterTwoReports(ScriptContext& c) {
  const int result = QUARN_LOOKUP(c.dll, UhfStopOperation)(c.port, 0);
  c.report.Check(result == 1, "UhfStopOperation, acknowledged after two reports: result %d; expected 1", result);
}

// ---- Reading ----

void ReadDataByEpcCrc(ScriptContext& c) {
  const unsigned char wordPtr[] = {0x81, 0x00};
  const RecordBuffer epc(QUARN_RING_TAG_RECORD);
  unsigned char data[6];
  Prefill(data);
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfReadDataByEPC)(c.port, kPassword.data(), 3, wordPtr, 2, epc.bytes,
                                                           data, &errorCode, 1);
  c.report.Check(result == 1 && errorCode == 0xFF,
                 "UhfReadDataByEPC CRC mode: result %d, errorCode 0x%02X; expected 1, 0xFF", result, errorCode);
  CheckWritten(c.report, "UhfReadDataByEPC data", data, "12 55 AA 34");
}

// ---- Block writing ----

// The reader wrote one of three words from EPC-bank word 2, which is record bytes 2 and 3.
void BlockWritePartial(ScriptContext& c) {
  const unsigned char wordPtr[] = {0x02};
  const unsigned char words[] = {0xC0, 0xFF, 0xEE, 0x00, 0x11, 0x22};
  const RecordBuffer epc(QUARN_RING_TAG_RECORD);
  unsigned char errorCode = kOutSentinel, writeStatus = kOutSentinel, writtenWordCount = kOutSentinel;
  unsigned char newTagRecord[66];
  Prefill(newTagRecord);
  const int result =
      QUARN_LOOKUP(c.dll, UhfBlockWriteDataByEPC)(c.port, kPassword.data(), 1, wordPtr, 3, epc.bytes, words,
                                                  &errorCode, &writeStatus, &writtenWordCount, newTagRecord, 0);
  c.report.Check(result == 0 && errorCode == 0x0B && writeStatus == 0x81 && writtenWordCount == 1,
                 "UhfBlockWriteDataByEPC, 1 of 3 words written: result %d, errorCode 0x%02X, writeStatus 0x%02X, "
                 "writtenWordCount %u; expected 0, 0x0B, 0x81, 1",
                 result, errorCode, writeStatus, writtenWordCount);
  CheckWritten(c.report, "UhfBlockWriteDataByEPC newTagRecord", newTagRecord,
               "30 00 C0 FF 68 90 00 00 40 0A 1B 2C 3D 4E");
}

// ---- Lock and kill ----

// The payload comes from LockGenCode, called as cdecl through the DLL: kill password locked, access
// password permanently unlocked, EPC permanently locked, TID unlocked (0x102 counts as 2), User
// permanently unlocked.
void LockMemByEpcCrc(ScriptContext& c) {
  unsigned char payload[4];
  Prefill(payload);
  const unsigned char* returned = QUARN_LOOKUP(c.dll, LockGenCode)(1, 4, 3, 0x102, 4, payload);
  c.report.Check(returned == payload, "LockGenCode must return its lockPayload pointer");
  CheckWritten(c.report, "LockGenCode(1, 4, 3, 0x102, 4) lockPayload", payload, "0F FE 71");

  const RecordBuffer epc(QUARN_RING_TAG_RECORD);
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfLockMemByEPC)(c.port, kPassword.data(), payload, epc.bytes, &errorCode, 1);
  c.report.Check(result == 1 && errorCode == 0xFF,
                 "UhfLockMemByEPC CRC mode: result %d, errorCode 0x%02X; expected 1, 0xFF", result, errorCode);
}

void KillSingleTag(ScriptContext& c) {
  const unsigned char killPassword[] = {0xFF, 0x00, 0xAA, 0x55};
  unsigned char tagRecord[66];
  Prefill(tagRecord);
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfKillSingleTag)(c.port, killPassword, tagRecord, &errorCode, 0);
  c.report.Check(result == 1 && errorCode == 0xFF,
                 "UhfKillSingleTag: result %d, errorCode 0x%02X; expected 1, 0xFF", result, errorCode);
  CheckWritten(c.report, "UhfKillSingleTag tagRecord", tagRecord, QUARN_RING_OTHER_RECORD);
}

// ---- Multi-tag read ----

void StartMultiTagReadCrc(ScriptContext& c) {
  const unsigned char wordPtr[] = {0x00};
  // The long form: 5 bytes, since byte 1 has bit 7 clear; the sixth must stay home.
  const unsigned char optionParams[] = {0x03, 0x00, 0x02, 0x10, 0x20, 0xEE};
  const int result = QUARN_LOOKUP(c.dll, UhfStartReadDataFromMultiTag)(c.port, kPassword.data(), 2, wordPtr, 2,
                                                                       0x01, optionParams, 1);
  c.report.Check(result == 1, "UhfStartReadDataFromMultiTag CRC mode: result %d; expected 1", result);
}

void GetMultiTagData(ScriptContext& c) {
  unsigned char frameStatus = kOutSentinel, tagRecordLength = kOutSentinel;
  unsigned char dataLength[3], data[8], secondDataLength[3], secondData[4], tagRecord[66];
  Prefill(dataLength);
  Prefill(data);
  Prefill(secondDataLength);
  Prefill(secondData);
  Prefill(tagRecord);
  const int result = QUARN_LOOKUP(c.dll, UhfGetDataFromMultiTag)(c.port, &frameStatus, dataLength, data,
                                                                 secondDataLength, secondData, tagRecord,
                                                                 &tagRecordLength);
  c.report.Check(result == 1 && frameStatus == 0x01 && tagRecordLength == 14,
                 "UhfGetDataFromMultiTag, two blocks: result %d, frameStatus 0x%02X, tagRecordLength %u; "
                 "expected 1, 0x01, 14",
                 result, frameStatus, tagRecordLength);
  CheckWritten(c.report, "UhfGetDataFromMultiTag dataLength", dataLength, "00 04");
  CheckWritten(c.report, "UhfGetDataFromMultiTag data", data, "E2 00 34 12");
  CheckWritten(c.report, "UhfGetDataFromMultiTag secondDataLength", secondDataLength, "00 02");
  CheckWritten(c.report, "UhfGetDataFromMultiTag secondData", secondData, "AA 55");
  CheckWritten(c.report, "UhfGetDataFromMultiTag tagRecord", tagRecord, QUARN_RING_TAG_RECORD);
}

// ---- Select filters ----

void AddFilter(ScriptContext& c) {
  FilterRecord filter;
  std::memset(&filter, 0x99, sizeof filter);
  filter.filterIndex = 0x01;
  filter.recordLength = 0x0A;
  filter.target = 0x04;
  filter.action = 0x00;
  filter.memBank = 0x01;
  filter.pointer[0] = 0x20;  // one byte: pointer[1] stays home
  filter.maskBitLength = 12;
  filter.mask[0] = 0x30;
  filter.mask[1] = 0x0F;  // the bits past the 12th go out as the caller left them
  filter.truncate = 0x00;
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfAddFilter)(c.port, &filter, &errorCode, 0);
  c.report.Check(result == 1 && errorCode == 0x00, "UhfAddFilter: result %d, errorCode 0x%02X; expected 1, 0x00",
                 result, errorCode);
}

void StartFilterListingCrc(ScriptContext& c) {
  unsigned char errorCode = kOutSentinel;
  const int result = QUARN_LOOKUP(c.dll, UhfStartGetFilterByIndex)(c.port, 0x101, 0x100, &errorCode, 1);
  c.report.Check(result == 1 && errorCode == 0x01,
                 "UhfStartGetFilterByIndex CRC mode: result %d, errorCode 0x%02X; expected 1, 0x01", result,
                 errorCode);
}

void ReadFilterReport(ScriptContext& c) {
  unsigned char frameStatus = kOutSentinel;
  FilterRecord filter;
  std::memset(&filter, kOutSentinel, sizeof filter);
  const int result = QUARN_LOOKUP(c.dll, UhfReadFilterByIndex)(c.port, &frameStatus, &filter);
  c.report.Check(result == 1 && frameStatus == 0x00,
                 "UhfReadFilterByIndex: result %d, frameStatus 0x%02X; expected 1, 0x00", result, frameStatus);
  // truncate is the byte recordLength 11 marks as the record's last: report data byte 10.
  const unsigned char fields[] = {filter.filterIndex, filter.recordLength, filter.target,  filter.action,
                                  filter.memBank,     filter.pointer[0],   filter.pointer[1], filter.maskBitLength,
                                  filter.truncate};
  const char kExpectedFields[] = "01 0B 04 02 01 81 00 09 01";
  c.report.Check(std::memcmp(fields, ParseHexBytes(kExpectedFields).data(), sizeof fields) == 0,
                 "UhfReadFilterByIndex fields (index, length, target, action, bank, pointer, mask bits, "
                 "truncate): %s; expected %s",
                 HexText(fields, sizeof fields).c_str(), kExpectedFields);
  // 9 mask bits: two mask bytes, the other thirty keep their contents.
  CheckWritten(c.report, "UhfReadFilterByIndex mask", filter.mask, "E2 80");
}

// ---- Multi-antenna inventory ----

void StartMultiAntInventory(ScriptContext& c) {
  const int result = QUARN_LOOKUP(c.dll, UhfStartInventoryForMultiAnt)(c.port, 0x100, 0x77, 0);
  c.report.Check(result == 1, "UhfStartInventoryForMultiAnt: result %d; expected 1", result);
}

void ReadMultiAnt(ScriptContext& c, unsigned char expectedAntenna, unsigned char expectedLength,
                  const char* expectedRecord) {
  unsigned char antenna = kOutSentinel, length = kOutSentinel;
  unsigned char record[66];
  Prefill(record);
  const int result = QUARN_LOOKUP(c.dll, UhfReadInventoryFromMultiAnt)(c.port, &antenna, &length, record);
  c.report.Check(result == 1 && antenna == expectedAntenna && length == expectedLength,
                 "UhfReadInventoryFromMultiAnt: result %d, antenna %u, tagRecordLength %u; expected 1, %u, %u",
                 result, antenna, length, expectedAntenna, expectedLength);
  CheckWritten(c.report, "UhfReadInventoryFromMultiAnt tagRecord", record, expectedRecord);
}

void ReadMultiAntFirst(ScriptContext& c) { ReadMultiAnt(c, 1, 14, QUARN_RING_TAG_RECORD); }
void ReadMultiAntSecond(ScriptContext& c) { ReadMultiAnt(c, 2, 4, QUARN_RING_SHORT_RECORD); }

const NamedCheck kChecks[] = {
    {"StartInventory", StartInventory},
    {"ReadInventoryPlain", ReadInventoryPlain},
    {"ReadInventoryCrc", ReadInventoryCrc},
    {"StopAfterTwoReports", StopAfterTwoReports},
    {"ReadDataByEpcCrc", ReadDataByEpcCrc},
    {"BlockWritePartial", BlockWritePartial},
    {"LockMemByEpcCrc", LockMemByEpcCrc},
    {"KillSingleTag", KillSingleTag},
    {"StartMultiTagReadCrc", StartMultiTagReadCrc},
    {"GetMultiTagData", GetMultiTagData},
    {"AddFilter", AddFilter},
    {"StartFilterListingCrc", StartFilterListingCrc},
    {"ReadFilterReport", ReadFilterReport},
    {"StartMultiAntInventory", StartMultiAntInventory},
    {"ReadMultiAntFirst", ReadMultiAntFirst},
    {"ReadMultiAntSecond", ReadMultiAntSecond},
};

}  // namespace

const CheckFamily kTagChecks = FamilyOf(kChecks);

}  // namespace quarn::win32ring
