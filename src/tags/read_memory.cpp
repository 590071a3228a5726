#include "tags/read_memory.h"

#include <cstring>

#include "link/exchange.h"
#include "tags/tag_record.h"

namespace quarn::tags {

namespace {

// A word count of 0 asks the reader for everything from the pointer to the end of the bank.
constexpr uint8_t kWholeBankWordCount = 0;
// The Max reads put the data behind their byte count.
constexpr size_t kMaxLengthSize = 2;

struct ReadRequest {
  const link::CommandSpec& command;
  const uint8_t* accessPassword;
  uint32_t bank;
  const uint8_t* wordPtr;
  uint8_t wordCount;
  const uint8_t* epc;  // nullptr for the single tag in the field
  uint32_t crcFlag;
};

link::Result ExchangeRead(PortHandle port, const ReadRequest& request, link::ReceivedFrame& reply,
                          uint8_t* errorCode) {
  link::CommandFrame frame(request.command, request.crcFlag);
  AppendMemoryAddress(frame, request.accessPassword, request.bank, request.wordPtr);
  frame.Byte(request.wordCount);
  if (request.epc != nullptr) AppendTagRecord(frame, request.epc);
  return ExchangeTagCommand(port, frame, reply, errorCode);
}

// Long reads arrive in the two-byte form; the row says to read them as received.
link::ReplyView ReadView(const link::ReceivedFrame& reply) { return reply.View(link::commands::kReadDataByEpc.layout); }

uint8_t WordCountByte(uint32_t wordCount) { return static_cast<uint8_t>(wordCount & 0xFF); }

size_t ByteCountOf(uint8_t wordCount) { return 2 * static_cast<size_t>(wordCount); }

// The data of a Max read: L bytes behind L itself, or nullptr when they did not all arrive.
const uint8_t* MaxData(const link::ReplyView& view, size_t* length) {
  const uint8_t* lengthBytes = view.Data(0, kMaxLengthSize);
  if (lengthBytes == nullptr) return nullptr;
  *length = static_cast<size_t>(lengthBytes[0]) << 8 | lengthBytes[1];
  return view.Data(kMaxLengthSize, *length);
}

void StoreData(const uint8_t* bytes, size_t count, uint8_t* data) {
  if (count > 0) std::memcpy(data, bytes, count);
}

void StoreMaxData(const link::ReplyView& view, const uint8_t* bytes, size_t length, uint8_t* dataLength,
                  uint8_t* data) {
  std::memcpy(dataLength, view.Data(0, kMaxLengthSize), kMaxLengthSize);
  StoreData(bytes, length, data);
}

}  // namespace

link::Result ReadDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                           uint32_t wordCount, const uint8_t* epc, uint8_t* data, uint8_t* errorCode,
                           uint32_t crcFlag) {
  const uint8_t count = WordCountByte(wordCount);
  *errorCode = link::kNoErrorCode;
  // A count of 0 would ask for the whole bank, which only the Max reads can take.
  if (count == 0) return link::Failed(link::Outcome::kInvalidArgument);
  link::ReceivedFrame reply;
  const link::Result result =
      ExchangeRead(port, {link::commands::kReadDataByEpc, accessPassword, bank, wordPtr, count, epc, crcFlag}, reply,
                   errorCode);
  if (!result) return result;
  const uint8_t* words = ReadView(reply).Data(0, ByteCountOf(count));
  if (words == nullptr) return link::TooShort();
  StoreData(words, ByteCountOf(count), data);
  return result;
}

link::Result ReadDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank,
                                   const uint8_t* wordPtr, uint32_t wordCount, uint8_t* data, uint8_t* tagRecord,
                                   uint8_t* tagRecordLength, uint8_t* errorCode, uint32_t crcFlag) {
  const uint8_t count = WordCountByte(wordCount);
  *errorCode = link::kNoErrorCode;
  if (count == 0) return link::Failed(link::Outcome::kInvalidArgument);
  link::ReceivedFrame reply;
  const link::Result result = ExchangeRead(
      port, {link::commands::kReadDataFromSingleTag, accessPassword, bank, wordPtr, count, nullptr, crcFlag}, reply,
      errorCode);
  if (!result) return result;
  const link::ReplyView view = ReadView(reply);
  const uint8_t* words = view.Data(0, ByteCountOf(count));
  const uint8_t* record = FindTagRecord(view, ByteCountOf(count));
  if (words == nullptr || record == nullptr) return link::TooShort();
  StoreData(words, ByteCountOf(count), data);
  *tagRecordLength = static_cast<uint8_t>(StoreTagRecord(record, tagRecord));
  return result;
}

link::Result ReadMaxDataByEpc(PortHandle port, const uint8_t* accessPassword, uint32_t bank, const uint8_t* wordPtr,
                              const uint8_t* epc, uint8_t* dataLength, uint8_t* data, uint8_t* errorCode,
                              uint32_t crcFlag) {
  link::ReceivedFrame reply;
  const link::Result result = ExchangeRead(
      port, {link::commands::kReadDataByEpc, accessPassword, bank, wordPtr, kWholeBankWordCount, epc, crcFlag}, reply,
      errorCode);
  if (!result) return result;
  const link::ReplyView view = ReadView(reply);
  size_t length = 0;
  const uint8_t* bytes = MaxData(view, &length);
  if (bytes == nullptr) return link::TooShort();
  StoreMaxData(view, bytes, length, dataLength, data);
  return result;
}

link::Result ReadMaxDataFromSingleTag(PortHandle port, const uint8_t* accessPassword, uint32_t bank,
                                      const uint8_t* wordPtr, uint8_t* dataLength, uint8_t* data, uint8_t* tagRecord,
                                      uint8_t* tagRecordLength, uint8_t* errorCode, uint32_t crcFlag) {
  link::ReceivedFrame reply;
  const link::Result result = ExchangeRead(port,
                                           {link::commands::kReadDataFromSingleTag, accessPassword, bank, wordPtr,
                                            kWholeBankWordCount, nullptr, crcFlag},
                                           reply, errorCode);
  if (!result) return result;
  const link::ReplyView view = ReadView(reply);
  size_t length = 0;
  const uint8_t* bytes = MaxData(view, &length);
  const uint8_t* record = bytes == nullptr ? nullptr : FindTagRecord(view, kMaxLengthSize + length);
  if (record == nullptr) return link::TooShort();
  StoreMaxData(view, bytes, length, dataLength, data);
  *tagRecordLength = static_cast<uint8_t>(StoreTagRecord(record, tagRecord));
  return result;
}

}  // namespace quarn::tags
