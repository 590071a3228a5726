// Tag memory by EPC through quarn::Reader over the COM port, against the known tag of sim_field.h:
// reads and the reader's refusals of them, writes read back (escaped bytes, a two-byte word pointer),
// block writes whole and torn, a lock with the access password and its undoing; and a refusal as the
// application meets it, through quarn::Error and through the error_code form and lastError().

#include <array>
#include <cstring>
#include <string>

#include "cpp_checks.h"
#include "sim_field.h"

namespace quarn::win32ring::cppapi {

namespace {

constexpr int kSuccess = -1;
// The status byte of a reply that carries the reader's error code.
constexpr uint8_t kRefusedWithErrorCode = 0x81;

Password PasswordOf(const char* hex) {
  const Bytes bytes = Hex(hex);
  std::array<uint8_t, 4> password{};
  for (size_t i = 0; i < password.size() && i < bytes.size(); ++i) password[i] = bytes[i];
  return Password(password);
}

TagRecord Known() { return TagRecord::FromHex(field::kKnownRecord); }
Password Access() { return PasswordOf(field::kAccessPassword); }

// The outcome the last call left: success, or kRefused with the reader's error code.
bool Ended(const Reader& reader, const std::error_code& ec, int errorCode) {
  if (errorCode == kSuccess) return !ec && !reader.lastError().code;
  return ec == Errc::kRefused && reader.lastError().code == ec && reader.lastError().readerErrorCode == errorCode;
}

std::string Outcome(const Reader& reader) {
  return reader.lastError() ? reader.lastError().Describe() : std::string("success");
}

// ---- Reads ----

struct ReadCase {
  const char* what;
  const char* record;
  MemoryBank bank;
  uint32_t start;
  uint8_t wordCount;
  const char* password;
  int errorCode;     // the refusal's reader error code, or kSuccess
  const char* data;  // the words read; "" after a refusal
};

const ReadCase kReadCases[] = {
    {"TID", field::kKnownRecord, MemoryBank::kTid, 0, 6, field::kAccessPassword, kSuccess, field::kKnownTid},
    {"user words 0-3", field::kKnownRecord, MemoryBank::kUser, 0, 4, field::kAccessPassword, kSuccess,
     field::kKnownUserStart},
    {"user words 1-2 with password 0", field::kKnownRecord, MemoryBank::kUser, 1, 2, "00 00 00 00", kSuccess,
     "22 55 FF 33"},
    {"past the end of user memory", field::kKnownRecord, MemoryBank::kUser, field::kKnownUserWords - 2, 4,
     field::kAccessPassword, field::kMemoryOverrun, ""},
    {"a wrong access password", field::kKnownRecord, MemoryBank::kUser, 0, 2, "87 65 43 21", field::kWrongPassword, ""},
    {"a record no tag has", field::kAbsentRecord, MemoryBank::kTid, 0, 2, field::kAccessPassword, field::kNoMatchingTag,
     ""},
};

void CheckReads(Reader& reader, Report& report) {
  for (const ReadCase& c : kReadCases) {
    std::error_code ec;
    const Bytes data =
        reader.ReadData(TagRecord::FromHex(c.record), c.bank, c.start, c.wordCount, PasswordOf(c.password), ec);
    report.Check(Ended(reader, ec, c.errorCode) && data == Hex(c.data),
                 "ReadData %s, %s: %s, data %s; expected %s%s, data %s", ModeName(reader), c.what,
                 Outcome(reader).c_str(), HexOf(data).c_str(),
                 c.errorCode == kSuccess ? "success" : "refused with reader error code 0x",
                 c.errorCode == kSuccess ? "" : ToHex(Bytes{static_cast<uint8_t>(c.errorCode)}).c_str(), c.data);
  }
  std::array<uint8_t, 16> into{};
  const size_t copied = reader.ReadDataInto(Known(), MemoryBank::kTid, 0, 6, Access(), into);
  report.Check(copied == 12 && ByteView(into.data(), copied) == Hex(field::kKnownTid) && into[12] == 0,
               "ReadDataInto %s, TID: %zu bytes, %s", ModeName(reader), copied, HexOf(into).c_str());
  const Bytes tid = reader.ReadMaxData(Known(), MemoryBank::kTid, 0, Access());
  report.Check(tid == Hex(field::kKnownTid), "ReadMaxData %s, TID: %s", ModeName(reader), HexOf(tid).c_str());
}

// ---- Writes ----

// Each mode writes words of its own: the plain run escaped bytes and a CR, the CRC run at word 128,
// whose pointer takes two bytes. The read-back takes one word more, which must still be 0.
struct WriteCase {
  uint32_t start;
  const char* words;
};

WriteCase WriteFor(const Reader& reader) {
  return reader.crcMode() ? WriteCase{128, "55 FF AA 13"} : WriteCase{4, "AA 55 FF 0D 0A 11"};
}

void CheckWriteReadBack(Reader& reader, Report& report) {
  const WriteCase c = WriteFor(reader);
  const Bytes words = Hex(c.words);
  reader.WriteData(Known(), MemoryBank::kUser, c.start, words, Access());
  const auto count = static_cast<uint8_t>(words.size() / 2 + 1);
  const Bytes back = reader.ReadData(Known(), MemoryBank::kUser, c.start, count, Access());
  Bytes expected = words;
  expected.insert(expected.end(), {0x00, 0x00});
  report.Check(back == expected, "ReadData %s after writing %s at user word %u: %s", ModeName(reader), c.words,
               static_cast<unsigned>(c.start), HexOf(back).c_str());
}

void CheckBlockWrites(Reader& reader, Report& report) {
  const uint32_t start = reader.crcMode() ? 80 : 40;
  Bytes words(80);  // 40 words
  for (size_t i = 0; i < words.size(); ++i) words[i] = static_cast<uint8_t>(0xA0 + i + start);
  const WriteOutcome whole = reader.BlockWriteData(Known(), MemoryBank::kUser, start, words, Access());
  const Bytes back = reader.ReadData(Known(), MemoryBank::kUser, start, 40, Access());
  report.Check(whole.written() && back == words,
               "BlockWriteData %s of 40 words at user word %u: status 0x%02X, read back %s", ModeName(reader),
               static_cast<unsigned>(start), static_cast<unsigned>(whole.status), HexOf(back).c_str());

  // Two of four words fit before the end of user memory: the tag stops there with memory overrun.
  std::error_code ec;
  const WriteOutcome torn =
      reader.BlockWriteData(Known(), MemoryBank::kUser, field::kKnownUserWords - 2, Bytes(8, 0x5A), Access(), ec);
  report.Check(ec == Errc::kRefused && torn.status == WriteStatus::kFailedWithErrorCode && torn.writtenWordCount == 2 &&
                   torn.readerErrorCode == field::kMemoryOverrun && reader.lastError().writtenWordCount == 2,
               "BlockWriteData %s of 4 words at the last 2: %s, status 0x%02X, %u words written, error code %s; "
               "expected kRefused, 0x81, 2, 0x03",
               ModeName(reader), Outcome(reader).c_str(), static_cast<unsigned>(torn.status), torn.writtenWordCount,
               ErrorCodeText(torn.readerErrorCode).c_str());
}

// ---- Lock ----

constexpr uint32_t kLockedWord = 20;

LockSettings UserMemory(LockAction action) {
  LockSettings settings;
  settings.accessPassword = action;
  settings.user = action;
  return settings;
}

// Writes one word to the locked area; the outcome as Ended takes it.
bool WriteWord(Reader& reader, const char* word, const Password& password, int errorCode) {
  std::error_code ec;
  reader.WriteData(Known(), MemoryBank::kUser, kLockedWord, Hex(word), password, ec);
  return Ended(reader, ec, errorCode);
}

void CheckLock(Reader& reader, Report& report) {
  reader.Lock(Known(), UserMemory(LockAction::kLock), Access());
  report.Check(WriteWord(reader, "0B AD", Password(), field::kMemoryLocked),
               "WriteData %s to locked user memory without the password: %s; expected refused, memory locked",
               ModeName(reader), Outcome(reader).c_str());
  report.Check(WriteWord(reader, "60 0D", Access(), kSuccess),
               "WriteData %s to locked user memory with the access password: %s", ModeName(reader),
               Outcome(reader).c_str());
  std::error_code ec;
  reader.Lock(Known(), UserMemory(LockAction::kUnlock), PasswordOf("87 65 43 21"), ec);
  report.Check(Ended(reader, ec, field::kWrongPassword), "Lock %s with a wrong password: %s; expected refused, 0x13",
               ModeName(reader), Outcome(reader).c_str());
  reader.Lock(Known(), UserMemory(LockAction::kUnlock), Access());
  report.Check(WriteWord(reader, "F0 0D", Password(), kSuccess),
               "WriteData %s to unlocked user memory without the password: %s", ModeName(reader),
               Outcome(reader).c_str());
  reader.EraseData(Known(), MemoryBank::kUser, kLockedWord, 1, Access());
  const Bytes erased = reader.ReadData(Known(), MemoryBank::kUser, kLockedWord, 1);
  report.Check(erased == Bytes{0x00, 0x00}, "ReadData %s after EraseData: %s", ModeName(reader), HexOf(erased).c_str());
}

// ---- Refusals as the application meets them ----

// The TID is permanently locked: a write is the tag's refusal, Gen2's "memory locked".
void CheckRefusalThrown(Reader& reader, Report& report) {
  try {
    reader.WriteData(Known(), MemoryBank::kTid, 0, Hex("E2 00"), Access());
    report.Check(false, "WriteData %s to the locked TID passed; expected quarn::Error", ModeName(reader));
  } catch (const Error& error) {
    const std::string what = error.what();
    report.Check(
        error.errc() == Errc::kRefused && error.status() == kRefusedWithErrorCode &&
            error.readerErrorCode() == field::kMemoryLocked && error.gen2Meaning() != nullptr &&
            std::strcmp(error.gen2Meaning(), "memory locked") == 0 &&
            std::strcmp(error.detail().command, "WriteData") == 0 &&
            what == "WriteData: the reader refused the command (status 0x81, reader error code 0x04: memory locked)",
        "WriteData %s to the locked TID threw \"%s\"; expected kRefused, status 0x81, 0x04 memory locked",
        ModeName(reader), what.c_str());
    report.Check(
        reader.lastError().code == error.code() && reader.lastError().readerErrorCode == error.readerErrorCode(),
        "lastError() %s after the thrown refusal: %s", ModeName(reader), Outcome(reader).c_str());
  }
}

// An error code Gen2 leaves to the reader has no Gen2 meaning, and the message says so by giving none.
void CheckRefusalInErrorCode(Reader& reader, Report& report) {
  std::error_code ec;
  reader.ReadData(TagRecord::FromHex(field::kAbsentRecord), MemoryBank::kTid, 0, 2, Access(), ec);
  const ErrorDetail& detail = reader.lastError();
  report.Check(
      ec == Errc::kRefused && detail.status == kRefusedWithErrorCode &&
          detail.readerErrorCode == field::kNoMatchingTag && Gen2ErrorMeaning(field::kNoMatchingTag) == nullptr &&
          detail.Describe() == "ReadData: the reader refused the command (status 0x81, reader error code 0x12)",
      "ReadData %s of a record no tag has: %s; expected kRefused, status 0x81, 0x12 without a Gen2 meaning",
      ModeName(reader), detail.Describe().c_str());
  const uint8_t locked = field::kMemoryLocked;
  report.Check(std::strcmp(Gen2ErrorMeaning(locked), "memory locked") == 0 && Gen2ErrorAdvice(locked)[0] != '\0',
               "Gen2ErrorMeaning and Gen2ErrorAdvice of 0x04: \"%s\", \"%s\"", Gen2ErrorMeaning(locked),
               Gen2ErrorAdvice(locked));
  reader.GetPower(ec);
  report.Check(!ec && !reader.lastError().code, "lastError() %s after a success following a refusal: %s",
               ModeName(reader), Outcome(reader).c_str());
}

}  // namespace

void CheckTagMemory(Reader& reader, Report& report) {
  Guarded(report, "reads", [&] { CheckReads(reader, report); });
  Guarded(report, "write and read back", [&] { CheckWriteReadBack(reader, report); });
  Guarded(report, "block writes", [&] { CheckBlockWrites(reader, report); });
  Guarded(report, "lock", [&] { CheckLock(reader, report); });
}

void CheckRefusals(Reader& reader, Report& report) {
  Guarded(report, "refusal thrown", [&] { CheckRefusalThrown(reader, report); });
  Guarded(report, "refusal in the error code", [&] { CheckRefusalInErrorCode(reader, report); });
}

}  // namespace quarn::win32ring::cppapi
