// The DLL against the virtual reader (quarn-sim) behind a COM port: the tag model answers as a reader
// would, so these checks show the exports working together through a real port, in plain and CRC mode:
// an inventory finds the known tag of sim_field.scenario, and its memory is read, written and read back
// by EPC. Unlike the scripted exchanges, nothing here pins wire bytes; what counts is what comes back.

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "com_steps.h"
#include "quarn_api.h"
#include "ring_checks.h"
#include "sim_field.h"

namespace quarn::win32ring {

namespace {

using field::kAbsentRecord;
using field::kAccessPassword;
using field::kGeneratedTidPrefix;
using field::kKnownRecord;
using field::kKnownTid;
using field::kKnownUserStart;
using field::kMemoryLocked;
using field::kNoMatchingTag;
using field::kWrongPassword;

constexpr size_t kRecordSize = 14;
// Stream reports read per inventory: two rounds over the two tags.
constexpr int kStreamReports = 4;

// What errorCode holds after a success.
constexpr unsigned char kNoErrorCode = 0xFF;

constexpr int kBankTid = 2;
constexpr int kBankUser = 3;

struct SimExports {
  decltype(&UhfOpenPort) open;
  decltype(&UhfClosePort) close;
  decltype(&UhfInventorySingleTag) inventorySingleTag;
  decltype(&UhfStartInventory) startInventory;
  decltype(&UhfReadInventory) readInventory;
  decltype(&UhfStopOperation) stopOperation;
  decltype(&UhfReadDataByEPC) readData;
  decltype(&UhfWriteDataByEPC) writeData;

  bool complete() const {
    return open && close && inventorySingleTag && startInventory && readInventory && stopOperation && readData &&
           writeData;
  }
};

struct SimContext {
  const SimExports& exports;
  PortHandle port;
  Report& report;
  unsigned char otherRecord[64];  // the generated tag's record, once the stream has reported it
  bool otherSeen;
};

const char* ModeName(int crcFlag) { return crcFlag ? "CRC mode" : "plain"; }

// A caller's record argument: the record, then bytes that must never go out with it.
struct RecordArgument {
  explicit RecordArgument(const std::vector<uint8_t>& record) {
    std::memset(bytes, 0xEE, sizeof bytes);
    std::memcpy(bytes, record.data(), record.size());
  }
  unsigned char bytes[64];
};

// ---- Inventory ----

// With two tags in the field the reader answers with the first in its order, the known one.
void InventorySingleTag(SimContext& c, int crcFlag) {
  unsigned char length = kOutSentinel;
  unsigned char record[66];
  Prefill(record);
  const int result = c.exports.inventorySingleTag(c.port, &length, record, crcFlag);
  c.report.Check(result == 1 && length == kRecordSize,
                 "UhfInventorySingleTag %s: result %d, tagRecordLength %u; expected 1, 14", ModeName(crcFlag), result,
                 length);
  CheckWritten(c.report, "UhfInventorySingleTag tagRecord", record, kKnownRecord);
}

// One report of the running stream: a 14-byte record and nothing written past it.
bool ReadReport(SimContext& c, int crcFlag, int number, unsigned char (&record)[66]) {
  unsigned char length = kOutSentinel;
  Prefill(record);
  const int result = c.exports.readInventory(c.port, &length, record);
  if (!c.report.Check(result == 1 && length == kRecordSize,
                      "UhfReadInventory %s, report %d: result %d, tagRecordLength %u; expected 1, 14",
                      ModeName(crcFlag), number, result, length)) {
    return false;
  }
  bool untouchedBeyond = true;
  for (size_t i = kRecordSize; i < sizeof record; ++i) untouchedBeyond = untouchedBeyond && record[i] == kOutSentinel;
  return c.report.Check(untouchedBeyond && record[0] == 0x30 && record[1] == 0x00,
                        "UhfReadInventory %s, report %d: %s; expected PC word 30 00 and 12 EPC bytes, then %02X",
                        ModeName(crcFlag), number, HexText(record, sizeof record).c_str(), kOutSentinel);
}

// The continuous inventory reports both tags; the plain start runs until stopped, the CRC start is the
// form with a parameter byte (0: no round limit). The stop must find its acknowledgement behind the
// reports still streaming.
void InventoryStream(SimContext& c, int crcFlag) {
  const int result = c.exports.startInventory(c.port, crcFlag, 0, crcFlag);
  if (!c.report.Check(result == 1, "UhfStartInventory %s: result %d; expected 1", ModeName(crcFlag), result)) {
    return;
  }
  const std::vector<uint8_t> known = ParseHexBytes(kKnownRecord);
  int knownReports = 0;
  int otherReports = 0;
  for (int number = 1; number <= kStreamReports; ++number) {
    unsigned char record[66];
    if (!ReadReport(c, crcFlag, number, record)) continue;
    if (std::memcmp(record, known.data(), kRecordSize) == 0) {
      ++knownReports;
      continue;
    }
    ++otherReports;
    std::memcpy(c.otherRecord, record, kRecordSize);
    c.otherSeen = true;
  }
  c.report.Check(knownReports == kStreamReports / 2 && otherReports == kStreamReports / 2,
                 "UhfReadInventory %s: the known tag in %d and the other tag in %d of %d reports; expected %d each",
                 ModeName(crcFlag), knownReports, otherReports, kStreamReports, kStreamReports / 2);
  const int stopped = c.exports.stopOperation(c.port, crcFlag);
  c.report.Check(stopped == 1, "UhfStopOperation %s during the stream: result %d; expected 1", ModeName(crcFlag),
                 stopped);
}

// ---- Reading, writing and refusals by EPC ----

struct ReadCase {
  const char* what;
  const char* password;
  int bank;
  unsigned char wordPtr[2];
  int wordCount;
  const char* record;  // the tag addressed
  int result;
  unsigned char errorCode;
  const char* data;  // what data must hold afterwards: the words read, or "" for untouched
};

const ReadCase kReadCases[] = {
    {"TID", kAccessPassword, kBankTid, {0x00}, 6, kKnownRecord, 1, kNoErrorCode, kKnownTid},
    {"user words 0-3", kAccessPassword, kBankUser, {0x00}, 4, kKnownRecord, 1, kNoErrorCode, kKnownUserStart},
    {"user words 1-2 with password 0", "00 00 00 00", kBankUser, {0x01}, 2, kKnownRecord, 1, kNoErrorCode,
     "22 55 FF 33"},
    {"a wrong access password", "87 65 43 21", kBankUser, {0x00}, 2, kKnownRecord, 0, kWrongPassword, ""},
    {"a record no tag has", kAccessPassword, kBankTid, {0x00}, 2, kAbsentRecord, 0, kNoMatchingTag, ""},
};

// Reads through UhfReadDataByEPC into a sentinel-filled buffer and judges result, errorCode and data.
void CheckRead(SimContext& c, int crcFlag, const char* what, const std::vector<uint8_t>& password, int bank,
               const unsigned char* wordPtr, int wordCount, const unsigned char* record, int expectedResult,
               unsigned char expectedErrorCode, const char* expectedData) {
  unsigned char data[24];
  Prefill(data);
  unsigned char errorCode = kOutSentinel;
  const int result =
      c.exports.readData(c.port, password.data(), bank, wordPtr, wordCount, record, data, &errorCode, crcFlag);
  c.report.Check(result == expectedResult && errorCode == expectedErrorCode,
                 "UhfReadDataByEPC %s, %s: result %d, errorCode 0x%02X; expected %d, 0x%02X", ModeName(crcFlag), what,
                 result, errorCode, expectedResult, expectedErrorCode);
  const std::string label = std::string("UhfReadDataByEPC ") + ModeName(crcFlag) + ", " + what + ": data";
  CheckWritten(c.report, label.c_str(), data, expectedData);
}

void ReadCases(SimContext& c, int crcFlag) {
  for (const ReadCase& r : kReadCases) {
    const RecordArgument record(ParseHexBytes(r.record));
    CheckRead(c, crcFlag, r.what, ParseHexBytes(r.password), r.bank, r.wordPtr, r.wordCount, record.bytes, r.result,
              r.errorCode, r.data);
  }
}

// The other tag answers to its own record with a TID of its own, not the known tag's.
void ReadOtherTagTid(SimContext& c, int crcFlag) {
  if (!c.report.Check(c.otherSeen, "no report of the other tag to address it by")) return;
  const unsigned char wordPtr[] = {0x00};
  unsigned char tid[16];
  Prefill(tid);
  unsigned char errorCode = kOutSentinel;
  const int result = c.exports.readData(c.port, ParseHexBytes("00 00 00 00").data(), kBankTid, wordPtr, 6,
                                        c.otherRecord, tid, &errorCode, crcFlag);
  const std::vector<uint8_t> prefix = ParseHexBytes(kGeneratedTidPrefix);
  const std::vector<uint8_t> knownTid = ParseHexBytes(kKnownTid);
  c.report.Check(result == 1 && errorCode == kNoErrorCode && std::memcmp(tid, prefix.data(), prefix.size()) == 0 &&
                     std::memcmp(tid, knownTid.data(), knownTid.size()) != 0 && tid[12] == kOutSentinel,
                 "UhfReadDataByEPC %s, the other tag's TID: result %d, errorCode 0x%02X, data %s; expected 1, 0xFF, "
                 "a TID starting %s other than the known tag's",
                 ModeName(crcFlag), result, errorCode, HexText(tid, sizeof tid).c_str(), kGeneratedTidPrefix);
}

struct WriteCase {
  const char* what;
  int crcFlag;
  int bank;
  unsigned char wordPtr[2];
  const char* words;
  int result;
  unsigned char errorCode;
  const char* readBack;  // the written words and the word after them, read back; "" to skip
};

// Each mode writes words of its own, so the read-back cannot see the other mode's write. Reading one
// word past the write shows the word count went out as asked.
const WriteCase kWriteCases[] = {
    {"user word 4", 0, kBankUser, {0x04}, "AA 55 FF 0D 0A 11", 1, kNoErrorCode, "AA 55 FF 0D 0A 11 00 00"},
    {"user word 128 (pointer 81 00)", 1, kBankUser, {0x81, 0x00}, "55 FF AA 13", 1, kNoErrorCode,
     "55 FF AA 13 00 00"},
    {"the permanently locked TID", 0, kBankTid, {0x00}, "E2 00", 0, kMemoryLocked, ""},
    {"the permanently locked TID", 1, kBankTid, {0x00}, "E2 00", 0, kMemoryLocked, ""},
};

void WriteCases(SimContext& c) {
  const std::vector<uint8_t> password = ParseHexBytes(kAccessPassword);
  const RecordArgument record(ParseHexBytes(kKnownRecord));
  for (const WriteCase& w : kWriteCases) {
    const std::vector<uint8_t> words = ParseHexBytes(w.words);
    const int wordCount = static_cast<int>(words.size() / 2);
    unsigned char errorCode = kOutSentinel;
    const int result = c.exports.writeData(c.port, password.data(), w.bank, w.wordPtr, wordCount, record.bytes,
                                           words.data(), &errorCode, w.crcFlag);
    c.report.Check(result == w.result && errorCode == w.errorCode,
                   "UhfWriteDataByEPC %s, %s: result %d, errorCode 0x%02X; expected %d, 0x%02X", ModeName(w.crcFlag),
                   w.what, result, errorCode, w.result, w.errorCode);
    if (w.readBack[0] == '\0') continue;
    const std::string what = std::string("read back after writing ") + w.what;
    CheckRead(c, w.crcFlag, what.c_str(), password, w.bank, w.wordPtr, wordCount + 1, record.bytes, 1, kNoErrorCode,
              w.readBack);
  }
  // The refused writes left the TID as it was.
  const unsigned char wordPtr[] = {0x00};
  CheckRead(c, 0, "TID after the refused writes", password, kBankTid, wordPtr, 6, record.bytes, 1, kNoErrorCode,
            kKnownTid);
}

}  // namespace

void CheckVirtualReader(HMODULE dll, const char* portName, Report& report) {
  const SimExports exports{QUARN_LOOKUP(dll, UhfOpenPort),           QUARN_LOOKUP(dll, UhfClosePort),
                           QUARN_LOOKUP(dll, UhfInventorySingleTag), QUARN_LOOKUP(dll, UhfStartInventory),
                           QUARN_LOOKUP(dll, UhfReadInventory),      QUARN_LOOKUP(dll, UhfStopOperation),
                           QUARN_LOOKUP(dll, UhfReadDataByEPC),      QUARN_LOOKUP(dll, UhfWriteDataByEPC)};
  if (!report.Check(exports.complete(), "the inventory and tag memory exports are missing")) return;
  PortHandle port = QUARN_INVALID_PORT;
  if (!report.Check(exports.open(&port, portName, 0x06) == 1, "UhfOpenPort(%s, 115200) failed", portName)) return;

  SimContext context{exports, port, report, {}, false};
  for (int crcFlag : {0, 1}) {
    InventorySingleTag(context, crcFlag);
    InventoryStream(context, crcFlag);
    ReadCases(context, crcFlag);
    ReadOtherTagTid(context, crcFlag);
  }
  WriteCases(context);
  report.Check(exports.close(&context.port) == 1, "UhfClosePort after the virtual reader checks must return 1");
}

}  // namespace quarn::win32ring
