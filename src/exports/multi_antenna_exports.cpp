#include "antenna/multi_antenna.h"
#include "exports/export_conventions.h"
#include "quarn_api.h"

using quarn::exports::Arg;

using quarn::tags::DataFrameOutputs;
using quarn::tags::MultiTagReadRequest;

extern "C" {

QUARN_API int QUARN_CALL UhfStartInventoryForMultiAnt(PortHandle port, int hasParam, int param, int crcFlag) {
  return quarn::antenna::StartInventoryForMultiAnt(port, Arg(hasParam), Arg(param),
                                                   Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfReadInventoryFromMultiAnt(PortHandle port, unsigned char* antenna,
                                                      unsigned char* tagRecordLength, unsigned char* tagRecord) {
  return quarn::antenna::ReadInventoryFromMultiAnt(port, antenna, tagRecordLength, tagRecord) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfStartReadDataForMultiAnt(PortHandle port, const unsigned char* accessPassword, int bank,
                                                     const unsigned char* wordPtr, int wordCount, int readOptions,
                                                     const unsigned char* optionParams, int crcFlag) {
  const MultiTagReadRequest request = {accessPassword, Arg(bank), wordPtr,
                                       Arg(wordCount), Arg(readOptions),
                                       optionParams};
  return quarn::antenna::StartReadDataForMultiAnt(port, request, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfGetDataFromMultiAnt(PortHandle port, unsigned char* antenna, unsigned char* frameStatus,
                                                unsigned char* dataLength, unsigned char* data,
                                                unsigned char* secondDataLength, unsigned char* secondData,
                                                unsigned char* tagRecord, unsigned char* tagRecordLength) {
  const DataFrameOutputs outputs = {frameStatus, dataLength,  data, secondDataLength,
                                    secondData,  tagRecord, tagRecordLength};
  return quarn::antenna::GetDataFromMultiAnt(port, antenna, outputs) ? 1 : 0;
}

}  // extern "C"
