#include "tags/block_write.h"

#include <cstring>

#include "link/exchange.h"
#include "tags/tag_record.h"
#include "tags/write_memory.h"
#include "tags/write_outcome.h"

namespace quarn::tags {

namespace {

constexpr uint32_t kEpcBank = 1;
constexpr uint8_t kBankBits = 0x03;
// The EPC forms write from bank word 1, the PC word; a one-byte EBV.
constexpr uint8_t kPcWordPointer[1] = {0x01};
// The EPC-length field is the five high bits of the PC word's first byte.
constexpr unsigned kEpcLengthShift = 3;
// A new PC word and up to 255 EPC words, as the low byte of epcWordCount allows.
constexpr size_t kEpcWriteDataSize = 2 + 2 * 255;

size_t WordsWritten(const WriteOutcome& outcome, uint8_t wordCount) {
  if (WrittenInFull(outcome)) return wordCount;
  // The reader's count cannot make the update read past the words the caller gave.
  return outcome.writtenWordCount < wordCount ? outcome.writtenWordCount : wordCount;
}

// The record mirrors the EPC bank from word 1 on: bank word j lies at record bytes 2(j - 1) and
// 2(j - 1) + 1, and bank word 0, the stored CRC, lies outside it. Written words past the 64 bytes of a
// record are left out, and a two-byte pointer (word 128 and beyond) lies past it altogether.
void LayWrittenWords(uint8_t* newTagRecord, const uint8_t* wordPtr, const uint8_t* data, size_t words) {
  if (words == 0 || WordPointerSize(wordPtr) != 1) return;
  const size_t pointer = wordPtr[0];
  const size_t dataStart = pointer == 0 ? 2 : 0;
  const size_t recordStart = pointer == 0 ? 0 : 2 * (pointer - 1);
  if (recordStart >= kMaxTagRecordSize) return;
  const size_t room = kMaxTagRecordSize - recordStart;
  const size_t written = 2 * words - dataStart;
  std::memcpy(newTagRecord + recordStart, data + dataStart, written < room ? written : room);
}

// The copy of epc comes first on every outcome; memmove, since a caller may update its record in place.
void UpdateNewTagRecord(uint8_t* newTagRecord, const uint8_t* epc, uint32_t bank, const uint8_t* wordPtr,
                        const uint8_t* data, uint8_t wordCount, const WriteOutcome& outcome) {
  std::memmove(newTagRecord, epc, TagRecordSize(epc[0]));
  if (outcome.writeStatus == kNoUsableReply || (bank & kBankBits) != kEpcBank) return;
  LayWrittenWords(newTagRecord, wordPtr, data, WordsWritten(outcome, wordCount));
}

// What the single tag answered: all the reply data after success, the tag's record after an error form.
void StoreSingleTagOutcome(const WriteOutcome& outcome, uint8_t* tagRecord, uint8_t* tagRecordLength) {
  if (outcome.tagBytes.bytes == nullptr) return;
  const uint8_t stored = StoreAnsweredTag(outcome.tagBytes, tagRecord);
  if (WrittenInFull(outcome)) *tagRecordLength = stored;
}

// The new PC word carries epcWordCount in its EPC-length field and zero in every other bit.
uint8_t BuildEpcWriteData(uint32_t epcWordCount, const uint8_t* newEpc, uint8_t* data) {
  const uint8_t epcWords = static_cast<uint8_t>(epcWordCount & 0xFF);
  data[0] = static_cast<uint8_t>(epcWords << kEpcLengthShift);
  data[1] = 0x00;
  if (epcWords > 0) std::memcpy(data + 2, newEpc, 2 * static_cast<size_t>(epcWords));
  return static_cast<uint8_t>(epcWords + 1);
}

}  // namespace

link::Result BlockWriteDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                         uint32_t wordCount, const uint8_t* epc, const uint8_t* data, uint8_t* errorCode,
                         uint8_t* writeStatus, uint8_t* writtenWordCount, uint8_t* newTagRecord, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kBlockWriteDataByEpc, crcFlag);
  AppendWrittenWords(frame, accessPassword, bank, wordPtr, wordCount, data);
  AppendTagRecord(frame, epc);
  link::ReceivedFrame reply;
  const WriteOutcome outcome = ExchangeWrite(port, frame, WriteReplyForm::kByEpc, reply);
  StoreWriteOutcome(outcome, errorCode, writeStatus, writtenWordCount);
  UpdateNewTagRecord(newTagRecord, epc, bank, wordPtr, data, static_cast<uint8_t>(wordCount & 0xFF), outcome);
  return outcome.result;
}

link::Result BlockWriteDataToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                               uint32_t wordCount, const uint8_t* data, uint8_t* tagRecord, uint8_t* tagRecordLength,
                               uint8_t* writeStatus, uint8_t* errorCode, uint8_t* writtenWordCount, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kBlockWriteDataToSingleTag, crcFlag);
  AppendWrittenWords(frame, accessPassword, bank, wordPtr, wordCount, data);
  link::ReceivedFrame reply;
  const WriteOutcome outcome = ExchangeWrite(port, frame, WriteReplyForm::kSingleTag, reply);
  StoreWriteOutcome(outcome, errorCode, writeStatus, writtenWordCount);
  StoreSingleTagOutcome(outcome, tagRecord, tagRecordLength);
  return outcome.result;
}

link::Result BlockWriteEpcByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t epcWordCount, const uint8_t* epc,
                        const uint8_t* newEpc, uint8_t* errorCode, uint8_t* writeStatus, uint8_t* writtenWordCount,
                        uint8_t* newTagRecord, uint32_t crcFlag) {
  uint8_t data[kEpcWriteDataSize];
  const uint8_t wordCount = BuildEpcWriteData(epcWordCount, newEpc, data);
  return BlockWriteDataByEpc(port, accessPassword, kEpcBank, kPcWordPointer, wordCount, epc, data, errorCode,
                             writeStatus, writtenWordCount, newTagRecord, crcFlag);
}

link::Result BlockWriteEpcToSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t epcWordCount,
                              const uint8_t* newEpc, uint8_t* tagRecord, uint8_t* tagRecordLength,
                              uint8_t* writeStatus, uint8_t* errorCode, uint8_t* writtenWordCount, uint32_t crcFlag) {
  uint8_t data[kEpcWriteDataSize];
  const uint8_t wordCount = BuildEpcWriteData(epcWordCount, newEpc, data);
  return BlockWriteDataToSingleTag(port, accessPassword, kEpcBank, kPcWordPointer, wordCount, data, tagRecord,
                                   tagRecordLength, writeStatus, errorCode, writtenWordCount, crcFlag);
}

}  // namespace quarn::tags
