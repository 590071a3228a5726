#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/multi_tag_read.h"

using quarn::exports::Arg;

using quarn::tags::DataFrameOutputs;
using quarn::tags::MultiTagReadRequest;

extern "C" {

QUARN_API int QUARN_CALL UhfStartReadDataFromMultiTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                      const unsigned char* wordPtr, int wordCount, int readOptions,
                                                      const unsigned char* optionParams, int crcFlag) {
  const MultiTagReadRequest request = {accessPassword, Arg(bank), wordPtr,
                                       Arg(wordCount), Arg(readOptions),
                                       optionParams};
  return quarn::tags::StartReadDataFromMultiTag(port, request, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfGetDataFromMultiTag(PortHandle port, unsigned char* frameStatus, unsigned char* dataLength,
                                                unsigned char* data, unsigned char* secondDataLength,
                                                unsigned char* secondData, unsigned char* tagRecord,
                                                unsigned char* tagRecordLength) {
  const DataFrameOutputs outputs = {frameStatus, dataLength,  data, secondDataLength,
                                    secondData,  tagRecord, tagRecordLength};
  return quarn::tags::GetDataFromMultiTag(port, outputs) ? 1 : 0;
}

}  // extern "C"
