#include "sam/sr_write.h"

#include <cstring>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "tags/tag_record.h"
#include "tags/write_outcome.h"
#include "quarn_api.h"

namespace quarn::sam {

namespace {

using link::CommandFrame;
using tags::WriteOutcome;
using tags::WriteReplyForm;

constexpr size_t kAccessPasswordSize = QUARN_PASSWORD_SIZE;

void AppendSrWrite(CommandFrame& frame, const SrWriteRequest& request) {
  frame.Bytes(request.accessPassword, kAccessPasswordSize).Byte(request.bank);
  tags::AppendWordPointer(frame, request.wordPtr);
  for (const uint32_t srParam : request.srParams) frame.Byte(srParam);
}

void Store(const WriteOutcome& outcome, const SrWriteOutputs& outputs) {
  tags::StoreWriteOutcome(outcome, outputs.errorCode, outputs.writeStatus, outputs.writtenWordCount);
}

}  // namespace

link::Result WriteSrToTagByEpc(PortHandle port, const SrWriteRequest& request, const uint8_t* epc,
                       const SrWriteOutputs& outputs, uint32_t crcFlag) {
  CommandFrame frame(link::commands::kWriteSrToTagByEpc, crcFlag);
  AppendSrWrite(frame, request);
  tags::AppendTagRecord(frame, epc);
  link::ReceivedFrame reply;
  const WriteOutcome outcome = tags::ExchangeWrite(port, frame, WriteReplyForm::kByEpc, reply);
  Store(outcome, outputs);
  return outcome.result;
}

link::Result WriteSrToTagSingle(PortHandle port, const SrWriteRequest& request, uint8_t* tagRecord, uint8_t* tagRecordLength,
                        const SrWriteOutputs& outputs, uint32_t crcFlag) {
  CommandFrame frame(link::commands::kWriteSrToTagSingle, crcFlag);
  AppendSrWrite(frame, request);
  link::ReceivedFrame reply;
  const WriteOutcome outcome = tags::ExchangeWrite(port, frame, WriteReplyForm::kSingleTag, reply);
  Store(outcome, outputs);
  // The decoded bytes lie wholly inside the reply (the data of a success, the record after an error) and
  // never exceed the caller's buffer.
  const size_t count = outcome.tagBytes.count;
  if (outcome.tagBytes.bytes != nullptr && count > 0 && count <= kMaxSrTagDataSize) {
    std::memcpy(tagRecord, outcome.tagBytes.bytes, count);
  }
  // Only a success tells the size; after an error the caller sizes the record from its first byte.
  if (tags::WrittenInFull(outcome)) *tagRecordLength = static_cast<uint8_t>(count);
  return outcome.result;
}

}  // namespace quarn::sam
