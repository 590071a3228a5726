// The writes that report how they ended: block writes and SR writes. Their outcome is returned also
// after a failure (error_code form) and put into the failure's detail (throwing form).

#include "cpp/tag_args.h"
#include "link/status_rules.h"
#include "sam/sr_write.h"
#include "tags/block_write.h"
#include "tags/write_outcome.h"

namespace quarn {

using cpp::BankCode;
using cpp::Call;
using cpp::Ebv;
using cpp::OrThrow;
using cpp::RecordIn;

namespace {

constexpr size_t kMaxEpcWords = 31;

// What the core wrote into its out-parameters, before they become a WriteOutcome.
struct RawOutcome {
  uint8_t writeStatus = tags::kNoUsableReply;
  uint8_t errorCode = link::kNoErrorCode;
  uint8_t writtenWordCount = 0;
  uint8_t record[sam::kMaxSrTagDataSize] = {};  // the SR write to the single tag may hand back 255 bytes
  uint8_t recordLength = 0;
};

WriteOutcome OutcomeOf(const RawOutcome& raw) {
  WriteOutcome outcome;
  outcome.status = static_cast<WriteStatus>(raw.writeStatus);
  outcome.writtenWordCount = raw.writtenWordCount;
  if (raw.errorCode != link::kNoErrorCode) outcome.readerErrorCode = raw.errorCode;
  return outcome;
}

bool Stopped(const RawOutcome& raw) {
  return raw.writeStatus == tags::kFailedWithErrorCode || raw.writeStatus == tags::kFailedWithoutErrorCode;
}

// The record the single-tag forms hand back: after success the reply's data when they hold a whole
// record, after a stopped write the record that reply carries. Nothing with no usable reply.
void AddAnsweringTag(const RawOutcome& raw, WriteOutcome& outcome) {
  const bool succeeded = raw.writeStatus == tags::kWrittenInFull;
  if (succeeded && raw.recordLength > 0 && raw.recordLength >= TagRecord::SizeFor(raw.record[0]))
    outcome.tag = RecordIn(raw.record);
  if (Stopped(raw)) outcome.tag = RecordIn(raw.record);
}

// Records the call's end: the exchange's outcome, and for a stopped write the words written.
WriteOutcome Finish(Call& call, const link::Result& result, const RawOutcome& raw, WriteOutcome outcome) {
  call.Record(result);
  if (Stopped(raw)) call.detail().writtenWordCount = raw.writtenWordCount;
  if (outcome.readerErrorCode) call.detail().readerErrorCode = outcome.readerErrorCode;
  return outcome;
}

bool CountEpcWords(Call& call, ByteView newEpc, uint8_t& epcWordCount) {
  if (newEpc.size() % 2 != 0 || newEpc.size() > 2 * kMaxEpcWords)
    return call.Invalid("a new EPC is 0 to 31 whole words: give an even byte count up to 62");
  epcWordCount = static_cast<uint8_t>(newEpc.size() / 2);
  return true;
}

// What the reader is told of an SR write, the tag's address first.
sam::SrWriteRequest SrRequest(const Password& password, MemoryBank bank, const Ebv& pointer, const SrParams& params) {
  return {password.bytes().data(), BankCode(bank), pointer.bytes, {params[0], params[1], params[2], params[3]}};
}

sam::SrWriteOutputs SrOutputs(RawOutcome& raw) { return {&raw.errorCode, &raw.writeStatus, &raw.writtenWordCount}; }

}  // namespace

WriteOutcome Reader::BlockWriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                                    const Password& password, std::error_code& ec) {
  Call call(*this, "BlockWriteData", ec);
  Ebv pointer{};
  uint8_t wordCount = 0;
  if (!cpp::EncodePointer(call, start, pointer) || !cpp::CountWords(call, words, wordCount) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = tags::BlockWriteDataByEpc(
      call.port(), password.bytes().data(), BankCode(bank), pointer.bytes, wordCount, tag.bytes().data(),
      words.data(), &raw.errorCode, &raw.writeStatus, &raw.writtenWordCount, raw.record, call.crcFlag());
  WriteOutcome outcome = OutcomeOf(raw);
  outcome.tag = RecordIn(raw.record);  // written on every path: at least the copy of tag
  return Finish(call, result, raw, outcome);
}
WriteOutcome Reader::BlockWriteData(const TagRecord& tag, MemoryBank bank, WordPointer start, ByteView words,
                                    const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return BlockWriteData(tag, bank, start, words, password, ec); });
}

WriteOutcome Reader::BlockWriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                               const Password& password, std::error_code& ec) {
  Call call(*this, "BlockWriteDataToSingleTag", ec);
  Ebv pointer{};
  uint8_t wordCount = 0;
  if (!cpp::EncodePointer(call, start, pointer) || !cpp::CountWords(call, words, wordCount) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = tags::BlockWriteDataToSingleTag(
      call.port(), password.bytes().data(), BankCode(bank), pointer.bytes, wordCount, words.data(), raw.record,
      &raw.recordLength, &raw.writeStatus, &raw.errorCode, &raw.writtenWordCount, call.crcFlag());
  WriteOutcome outcome = OutcomeOf(raw);
  AddAnsweringTag(raw, outcome);
  return Finish(call, result, raw, outcome);
}
WriteOutcome Reader::BlockWriteDataToSingleTag(MemoryBank bank, WordPointer start, ByteView words,
                                               const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return BlockWriteDataToSingleTag(bank, start, words, password, ec); });
}

WriteOutcome Reader::BlockWriteEpc(const TagRecord& tag, ByteView newEpc, const Password& password,
                                   std::error_code& ec) {
  Call call(*this, "BlockWriteEpc", ec);
  uint8_t epcWordCount = 0;
  if (!CountEpcWords(call, newEpc, epcWordCount) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = tags::BlockWriteEpcByEpc(
      call.port(), password.bytes().data(), epcWordCount, tag.bytes().data(), newEpc.data(), &raw.errorCode,
      &raw.writeStatus, &raw.writtenWordCount, raw.record, call.crcFlag());
  WriteOutcome outcome = OutcomeOf(raw);
  outcome.tag = RecordIn(raw.record);
  return Finish(call, result, raw, outcome);
}
WriteOutcome Reader::BlockWriteEpc(const TagRecord& tag, ByteView newEpc, const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return BlockWriteEpc(tag, newEpc, password, ec); });
}

WriteOutcome Reader::BlockWriteEpcToSingleTag(ByteView newEpc, const Password& password, std::error_code& ec) {
  Call call(*this, "BlockWriteEpcToSingleTag", ec);
  uint8_t epcWordCount = 0;
  if (!CountEpcWords(call, newEpc, epcWordCount) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = tags::BlockWriteEpcToSingleTag(
      call.port(), password.bytes().data(), epcWordCount, newEpc.data(), raw.record, &raw.recordLength,
      &raw.writeStatus, &raw.errorCode, &raw.writtenWordCount, call.crcFlag());
  WriteOutcome outcome = OutcomeOf(raw);
  AddAnsweringTag(raw, outcome);
  return Finish(call, result, raw, outcome);
}
WriteOutcome Reader::BlockWriteEpcToSingleTag(ByteView newEpc, const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return BlockWriteEpcToSingleTag(newEpc, password, ec); });
}

WriteOutcome Reader::WriteSrToTag(const TagRecord& tag, MemoryBank bank, WordPointer start, const SrParams& params,
                                  const Password& password, std::error_code& ec) {
  Call call(*this, "WriteSrToTag", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = sam::WriteSrToTagByEpc(call.port(), SrRequest(password, bank, pointer, params),
                                                     tag.bytes().data(), SrOutputs(raw), call.crcFlag());
  return Finish(call, result, raw, OutcomeOf(raw));
}
WriteOutcome Reader::WriteSrToTag(const TagRecord& tag, MemoryBank bank, WordPointer start, const SrParams& params,
                                  const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return WriteSrToTag(tag, bank, start, params, password, ec); });
}

WriteOutcome Reader::WriteSrToSingleTag(MemoryBank bank, WordPointer start, const SrParams& params,
                                        const Password& password, std::error_code& ec) {
  Call call(*this, "WriteSrToSingleTag", ec);
  Ebv pointer{};
  if (!cpp::EncodePointer(call, start, pointer) || !call.Ready()) return {};
  RawOutcome raw;
  const link::Result result = sam::WriteSrToTagSingle(call.port(), SrRequest(password, bank, pointer, params),
                                                      raw.record, &raw.recordLength, SrOutputs(raw), call.crcFlag());
  WriteOutcome outcome = OutcomeOf(raw);
  AddAnsweringTag(raw, outcome);
  return Finish(call, result, raw, outcome);
}
WriteOutcome Reader::WriteSrToSingleTag(MemoryBank bank, WordPointer start, const SrParams& params,
                                        const Password& password) {
  return OrThrow(*this, [&](std::error_code& ec) { return WriteSrToSingleTag(bank, start, params, password, ec); });
}

}  // namespace quarn
