#pragma once
// The multi-tag read: the reader reads one memory area from every tag it meets and streams one data
// frame per tag. The request and the data frame contents are shared with the multi-antenna form, which
// differs only in the reply frames (src/antenna/multi_antenna.h).

#include <cstddef>
#include <cstdint>

#include "link/command_frame.h"
#include "link/outcome.h"
#include "link/reply_view.h"
#include "quarn_api.h"

namespace quarn::tags {

// The caller's read request, carried to the reader uninterpreted.
struct MultiTagReadRequest {
  const uint8_t* accessPassword;  // 4 bytes
  uint32_t bank;                  // low byte sent
  const uint8_t* wordPtr;         // EBV, 1 or 2 bytes
  uint32_t wordCount;             // low byte sent
  uint32_t readOptions;           // low byte sent; bit 0 selects the long optionParams form
  const uint8_t* optionParams;    // 2, 5 or 6 bytes
};

// The short form has 2 bytes; the long form 5, or 6 when its word pointer (byte 1) has two bytes.
size_t OptionParamsSize(uint32_t readOptions, const uint8_t* optionParams);

// Password, bank, word pointer, word count, options, option parameters.
void AppendMultiTagReadRequest(link::CommandFrame& frame, const MultiTagReadRequest& request);

// The caller's buffers for one data frame.
struct DataFrameOutputs {
  uint8_t* frameStatus;       // 1 byte
  uint8_t* dataLength;        // 2 bytes, high byte first
  uint8_t* data;              // the first block
  uint8_t* secondDataLength;  // 2 bytes, high byte first
  uint8_t* secondData;        // the second block
  uint8_t* tagRecord;         // up to 64 bytes
  uint8_t* tagRecordLength;   // 1 byte
};

enum class DataFrameOutcome {
  kDecoded,          // every output the frame names was written
  kNotADataFrame,    // status neither 0x00 nor 0x01: the frame is consumed, nothing is written
  kRunsPastFrame,    // no status, or a block or the record ends past the frame: nothing is written
};

// Decodes the data frame behind the status byte of view, whatever the frame kind and length form the
// view reads. The outputs are written only for kDecoded, and then all at once.
DataFrameOutcome DecodeDataFrame(const link::ReplyView& view, const DataFrameOutputs& outputs);

// Sends the request and accepts only the acknowledgement status 0x01, at the one-byte-form positions.
link::Result StartReadDataFromMultiTag(PortHandle port, const MultiTagReadRequest& request, uint32_t crcFlag);

// Takes the next data frame from the port (code 0x26 in either mode). False when no frame arrives, its
// code differs or it runs past its end; true for any other frame, written or not.
link::Result GetDataFromMultiTag(PortHandle port, const DataFrameOutputs& outputs);

}  // namespace quarn::tags
