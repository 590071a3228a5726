// Tag memory: the single-tag inventory, reads, ordinary writes, erase, lock and kill.

#include <algorithm>

#include "cpp/tag_args.h"
#include "link/frame_format.h"
#include "tags/erase_lock_kill.h"
#include "tags/inventory.h"
#include "tags/read_memory.h"
#include "tags/write_memory.h"

namespace quarn {

using cpp::BankCode;
using cpp::Call;
using cpp::Ebv;
using cpp::OrThrow;
using cpp::RecordIn;

namespace {

// The ordinary writes' frame keeps a one-byte length: length field, code, password, bank, pointer,
// count, the words, the record (by EPC) and the CRC (CRC mode), at most 127 bytes.
constexpr size_t kWriteFixedLength = 9;

bool FitsOrdinaryWrite(const Ebv& pointer, uint8_t wordCount, size_t recordSize, bool crcMode) {
  const size_t length = kWriteFixedLength + (pointer.size - 1) + 2u * wordCount + recordSize + (crcMode ? link::kCrcSize : 0);
  return length <= link::kMaxOneByteLength;
}

// The word count of the reads that name one: 0 asks the reader for the whole bank, which the Max reads do.
bool ReadCountAccepted(Call& call, uint8_t wordCount) {
  return wordCount != 0 || call.Invalid("a read takes 1 to 255 words (ReadMaxData reads to the end of the bank)");
}

bool RoomFor(Call& call, ByteSpan out, size_t needed, const char* reason) {
  return out.size() >= needed || call.Invalid(reason);
}

// A Max read's length, high byte first as the reply carries it.
size_t MaxDataLength(const uint8_t* dataLength) { return size_t{dataLength[0]} << 8 | dataLength[1]; }

}  // namespace

TagRecord Reader::InventorySingleTag(std::error_code& ec) {
  Call call(*this, "InventorySingleTag", ec);
  uint8_t record[cpp::kRecordBuffer];
  uint8_t size = 0;
  if (call.Ready() && call.Done(tags::InventorySingleTag(call.port(), &size, record, call.crcFlag())))
    return RecordIn(record);
  return {};
}
TagRecord Reader::InventorySingleTag() {
  return OrThrow(*this, [&](std::error_code& ec) { return InventorySingleTag(ec); });
}

// ---- Reads ----

size_t Reader::ReadDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                            const Password& password, ByteSpan out, std::error_code& ec) {
  Call call(*this, "ReadData", ec);
  Ebv pointer{};
  if (!ReadCountAccepted(call, wordCount) ||
      !RoomFor(call, out, 2u * wordCount, "the buffer holds fewer than 2 x wordCount bytes") ||
      !cpp::EncodePointer(call, start, pointer) || !call.Ready())
    return 0;
  uint8_t errorCode = 0;
  if (!call.Done(tags::ReadDataByEpc(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes, wordCount,
                                     tag.bytes().data(), out.data(), &errorCode, call.crcFlag())))
    return 0;
  return 2u * wordCount;
}
size_t Reader::ReadDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                            const Password& password, ByteSpan out) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadDataInto(tag, bank, start, wordCount, password, out, ec); });
}

std::vector<uint8_t> Reader::ReadData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                                      const Password& password, std::error_code& ec) {
  std::vector<uint8_t> data(2u * wordCount);
  data.resize(ReadDataInto(tag, bank, start, wordCount, password, data, ec));
  return data;
}
std::vector<uint8_t> Reader::ReadData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                                      const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadData(tag, bank, start, wordCount, password, ec); });
}

SingleTagData Reader::ReadDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                            const Password& password, std::error_code& ec) {
  Call call(*this, "ReadDataFromSingleTag", ec);
  Ebv pointer{};
  if (!ReadCountAccepted(call, wordCount) || !cpp::EncodePointer(call, start, pointer) || !call.Ready()) return {};
  SingleTagData result;
  result.data.resize(2u * wordCount);
  uint8_t record[cpp::kRecordBuffer];
  uint8_t size = 0;
  uint8_t errorCode = 0;
  if (!call.Done(tags::ReadDataFromSingleTag(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes,
                                             wordCount, result.data.data(), record, &size, &errorCode,
                                             call.crcFlag())))
    return {};
  result.tag = RecordIn(record);
  return result;
}
SingleTagData Reader::ReadDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                            const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadDataFromSingleTag(bank, start, wordCount, password, ec); });
}

size_t Reader::ReadMaxDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, const Password& password,
                               ByteSpan out, std::error_code& ec) {
  Call call(*this, "ReadMaxData", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return 0;
  // The core copies as many bytes as the reply announces, at most what one frame holds.
  uint8_t data[link::kFrameBufferSize];
  uint8_t dataLength[2] = {0, 0};
  uint8_t errorCode = 0;
  if (!call.Done(tags::ReadMaxDataByEpc(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes,
                                        tag.bytes().data(), dataLength, data, &errorCode, call.crcFlag())))
    return 0;
  const size_t length = MaxDataLength(dataLength);
  if (!RoomFor(call, out, length, "the buffer is smaller than what the tag sent: give room for the bank")) return 0;
  std::copy(data, data + length, out.data());
  return length;
}
size_t Reader::ReadMaxDataInto(const TagRecord& tag, MemoryBank bank, WordPointer start, const Password& password,
                               ByteSpan out) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadMaxDataInto(tag, bank, start, password, out, ec); });
}

std::vector<uint8_t> Reader::ReadMaxData(const TagRecord& tag, MemoryBank bank, WordPointer start,
                                         const Password& password, std::error_code& ec) {
  std::vector<uint8_t> data(link::kFrameBufferSize);
  data.resize(ReadMaxDataInto(tag, bank, start, password, data, ec));
  return data;
}
std::vector<uint8_t> Reader::ReadMaxData(const TagRecord& tag, MemoryBank bank, WordPointer start,
                                         const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadMaxData(tag, bank, start, password, ec); });
}

SingleTagData Reader::ReadMaxDataFromSingleTag(MemoryBank bank, WordPointer start, const Password& password,
                                               std::error_code& ec) {
  Call call(*this, "ReadMaxDataFromSingleTag", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return {};
  uint8_t data[link::kFrameBufferSize];
  uint8_t dataLength[2] = {0, 0};
  uint8_t record[cpp::kRecordBuffer];
  uint8_t size = 0;
  uint8_t errorCode = 0;
  if (!call.Done(tags::ReadMaxDataFromSingleTag(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes,
                                                dataLength, data, record, &size, &errorCode, call.crcFlag())))
    return {};
  return SingleTagData{std::vector<uint8_t>(data, data + MaxDataLength(dataLength)), RecordIn(record)};
}
SingleTagData Reader::ReadMaxDataFromSingleTag(MemoryBank bank, WordPointer start, const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return ReadMaxDataFromSingleTag(bank, start, password, ec); });
}

// ---- Ordinary writes ----

void Reader::WriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                       const Password& password, std::error_code& ec) {
  Call call(*this, "WriteData", ec);
  Ebv pointer{};
  uint8_t wordCount = 0;
  if (!cpp::EncodePointer(call, start, pointer) || !cpp::CountWords(call, words, wordCount)) return;
  if (!FitsOrdinaryWrite(pointer, wordCount, tag.size(), crcMode())) {
    call.Invalid("too many words for an ordinary write's short frame: use BlockWriteData");
    return;
  }
  if (!call.Ready()) return;
  uint8_t errorCode = 0;
  call.Done(tags::WriteDataByEpc(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes, wordCount,
                                 tag.bytes().data(), words.data(), &errorCode, call.crcFlag()));
}
void Reader::WriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                       const Password& password) {
  OrThrow(*this, [&](std::error_code& ec) { WriteData(tag, bank, start, words, password, ec); });
}

std::optional<TagRecord> Reader::WriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                                      const Password& password, std::error_code& ec) {
  Call call(*this, "WriteDataToSingleTag", ec);
  Ebv pointer{};
  uint8_t wordCount = 0;
  if (!cpp::EncodePointer(call, start, pointer) || !cpp::CountWords(call, words, wordCount)) return std::nullopt;
  if (!FitsOrdinaryWrite(pointer, wordCount, 0, crcMode())) {
    call.Invalid("too many words for an ordinary write's short frame: use BlockWriteDataToSingleTag");
    return std::nullopt;
  }
  if (!call.Ready()) return std::nullopt;
  uint8_t answered[cpp::kRecordBuffer];
  uint8_t size = 0;
  uint8_t errorCode = 0;
  if (!call.Done(tags::WriteDataToSingleTag(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes,
                                            wordCount, words.data(), answered, &size, &errorCode, call.crcFlag())))
    return std::nullopt;
  // The reply's data are the answering tag's record when they hold a whole one.
  if (size == 0 || size < TagRecord::SizeFor(answered[0])) return std::nullopt;
  return RecordIn(answered);
}
std::optional<TagRecord> Reader::WriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                                      const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return WriteDataToSingleTag(bank, start, words, password, ec); });
}

// ---- Erase, lock, kill ----

void Reader::EraseData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                       const Password& password, std::error_code& ec) {
  Call call(*this, "EraseData", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return;
  uint8_t errorCode = 0;
  call.Done(tags::EraseDataByEpc(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes, wordCount,
                                 tag.bytes().data(), &errorCode, call.crcFlag()));
}
void Reader::EraseData(const TagRecord& tag, MemoryBank bank, WordPointer start, uint8_t wordCount,
                       const Password& password) {
  OrThrow(*this, [&](std::error_code& ec) { EraseData(tag, bank, start, wordCount, password, ec); });
}

TagRecord Reader::EraseDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                         const Password& password, std::error_code& ec) {
  Call call(*this, "EraseDataFromSingleTag", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return {};
  uint8_t record[cpp::kRecordBuffer];
  uint8_t errorCode = 0;
  if (!call.Done(tags::EraseDataFromSingleTag(call.port(), password.bytes().data(), BankCode(bank), pointer.bytes,
                                              wordCount, record, &errorCode, call.crcFlag())))
    return {};
  return RecordIn(record);
}
TagRecord Reader::EraseDataFromSingleTag(MemoryBank bank, WordPointer start, uint8_t wordCount,
                                         const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return EraseDataFromSingleTag(bank, start, wordCount, password, ec); });
}

void Reader::Lock(const TagRecord& tag, const LockPayload& payload, const Password& accessPassword,
                  std::error_code& ec) {
  Call call(*this, "Lock", ec);
  uint8_t errorCode = 0;
  if (call.Ready())
    call.Done(tags::LockMemByEpc(call.port(), accessPassword.bytes().data(), payload.bytes().data(),
                                 tag.bytes().data(), &errorCode, call.crcFlag()));
}
void Reader::Lock(const TagRecord& tag, const LockPayload& payload, const Password& accessPassword) {
  OrThrow(*this, [&](std::error_code& ec) { Lock(tag, payload, accessPassword, ec); });
}

TagRecord Reader::LockSingleTag(const LockPayload& payload, const Password& accessPassword, std::error_code& ec) {
  Call call(*this, "LockSingleTag", ec);
  uint8_t record[cpp::kRecordBuffer];
  uint8_t errorCode = 0;
  if (call.Ready() && call.Done(tags::LockMemFromSingleTag(call.port(), accessPassword.bytes().data(),
                                                           payload.bytes().data(), record, &errorCode,
                                                           call.crcFlag())))
    return RecordIn(record);
  return {};
}
TagRecord Reader::LockSingleTag(const LockPayload& payload, const Password& accessPassword) {
  return OrThrow(*this, [&](std::error_code& ec) { return LockSingleTag(payload, accessPassword, ec); });
}

void Reader::Kill(const TagRecord& tag, const Password& killPassword, std::error_code& ec) {
  Call call(*this, "Kill", ec);
  uint8_t errorCode = 0;
  if (call.Ready())
    call.Done(tags::KillTagByEpc(call.port(), killPassword.bytes().data(), tag.bytes().data(), &errorCode,
                                 call.crcFlag()));
}
void Reader::Kill(const TagRecord& tag, const Password& killPassword) {
  OrThrow(*this, [&](std::error_code& ec) { Kill(tag, killPassword, ec); });
}

TagRecord Reader::KillSingleTag(const Password& killPassword, std::error_code& ec) {
  Call call(*this, "KillSingleTag", ec);
  uint8_t record[cpp::kRecordBuffer];
  uint8_t errorCode = 0;
  if (call.Ready() &&
      call.Done(tags::KillSingleTag(call.port(), killPassword.bytes().data(), record, &errorCode, call.crcFlag())))
    return RecordIn(record);
  return {};
}
TagRecord Reader::KillSingleTag(const Password& killPassword) {
  return OrThrow(*this, [&](std::error_code& ec) { return KillSingleTag(killPassword, ec); });
}

}  // namespace quarn
