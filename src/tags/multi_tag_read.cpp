#include "tags/multi_tag_read.h"

#include <cstring>
#include <optional>

#include "link/exchange.h"
#include "tags/tag_record.h"
#include "quarn_api.h"

namespace quarn::tags {

namespace {

constexpr size_t kAccessPasswordSize = QUARN_PASSWORD_SIZE;
constexpr size_t kShortOptionParamsSize = 2;
constexpr size_t kLongOptionParamsSize = 5;
constexpr uint32_t kLongOptionParamsBit = QUARN_READ_OPTIONS_LONG_FORM;
// The long form carries its own word pointer from byte 1 on.
constexpr size_t kOptionWordPointerIndex = 1;

constexpr uint8_t kOneBlockStatus = QUARN_DATA_FRAME_ONE_BLOCK;
constexpr uint8_t kTwoBlockStatus = QUARN_DATA_FRAME_TWO_BLOCKS;
constexpr size_t kBlockLengthSize = 2;

// One block as it stands in the frame: its two length bytes and the bytes they announce.
struct Block {
  const uint8_t* length = nullptr;
  const uint8_t* bytes = nullptr;
  size_t size = 0;
};

// Finds the block whose length field starts at reply data byte *dataIndex and moves *dataIndex past it.
// False when the length field or the block runs past the reply data.
bool FindBlock(const link::ReplyView& view, size_t* dataIndex, Block* block) {
  block->length = view.Data(*dataIndex, kBlockLengthSize);
  if (block->length == nullptr) return false;
  block->size = static_cast<size_t>(block->length[0]) * 256u + block->length[1];
  block->bytes = view.Data(*dataIndex + kBlockLengthSize, block->size);
  if (block->bytes == nullptr) return false;
  *dataIndex += kBlockLengthSize + block->size;
  return true;
}

void StoreBlock(const Block& block, uint8_t* length, uint8_t* bytes) {
  std::memcpy(length, block.length, kBlockLengthSize);
  if (block.size > 0) std::memcpy(bytes, block.bytes, block.size);
}

}  // namespace

size_t OptionParamsSize(uint32_t readOptions, const uint8_t* optionParams) {
  if ((readOptions & kLongOptionParamsBit) == 0) return kShortOptionParamsSize;
  return kLongOptionParamsSize - 1 + WordPointerSize(optionParams + kOptionWordPointerIndex);
}

void AppendMultiTagReadRequest(link::CommandFrame& frame, const MultiTagReadRequest& request) {
  frame.Bytes(request.accessPassword, kAccessPasswordSize).Byte(request.bank);
  AppendWordPointer(frame, request.wordPtr);
  frame.Byte(request.wordCount).Byte(request.readOptions);
  frame.Bytes(request.optionParams, OptionParamsSize(request.readOptions, request.optionParams));
}

DataFrameOutcome DecodeDataFrame(const link::ReplyView& view, const DataFrameOutputs& outputs) {
  const std::optional<uint8_t> status = view.Status();
  if (!status.has_value()) return DataFrameOutcome::kRunsPastFrame;
  if (*status != kOneBlockStatus && *status != kTwoBlockStatus) return DataFrameOutcome::kNotADataFrame;
  // Everything is found before anything is stored, so a frame that ends early leaves no partial block.
  size_t dataIndex = 0;
  Block first;
  Block second;
  if (!FindBlock(view, &dataIndex, &first)) return DataFrameOutcome::kRunsPastFrame;
  const bool hasSecond = *status == kTwoBlockStatus;
  if (hasSecond && !FindBlock(view, &dataIndex, &second)) return DataFrameOutcome::kRunsPastFrame;
  const uint8_t* record = FindTagRecord(view, dataIndex);
  if (record == nullptr) return DataFrameOutcome::kRunsPastFrame;

  *outputs.frameStatus = *status;
  StoreBlock(first, outputs.dataLength, outputs.data);
  if (hasSecond) StoreBlock(second, outputs.secondDataLength, outputs.secondData);
  *outputs.tagRecordLength = static_cast<uint8_t>(StoreTagRecord(record, outputs.tagRecord));
  return DataFrameOutcome::kDecoded;
}

link::Result StartReadDataFromMultiTag(PortHandle port, const MultiTagReadRequest& request, uint32_t crcFlag) {
  link::CommandFrame frame(link::commands::kStartReadDataFromMultiTag, crcFlag);
  AppendMultiTagReadRequest(frame, request);
  // The acknowledgement is short: it is read at the positions of the one-byte length form.
  link::ReceivedFrame reply;
  return link::Exchange(port, frame, reply);
}

link::Result GetDataFromMultiTag(PortHandle port, const DataFrameOutputs& outputs) {
  link::ReceivedFrame reply;
  const link::Result result = link::ReceiveStreamFrame(port, link::commands::kGetDataFromMultiTag, reply);
  if (!result) return result;
  // Data frames longer than 127 bytes come in the two-byte length form.
  const link::ReplyView view = reply.View(link::commands::kGetDataFromMultiTag.layout);
  return DecodeDataFrame(view, outputs) == DataFrameOutcome::kRunsPastFrame ? link::TooShort() : result;
}

}  // namespace quarn::tags
