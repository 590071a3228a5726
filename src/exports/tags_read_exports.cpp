#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/read_memory.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfReadDataByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                          const unsigned char* wordPtr, int wordCount, const unsigned char* epc,
                                          unsigned char* data, unsigned char* errorCode, int crcFlag) {
  return quarn::tags::ReadDataByEpc(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), epc, data, errorCode,
                                    Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfReadDataFromSingleTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                  const unsigned char* wordPtr, int wordCount, unsigned char* data,
                                                  unsigned char* tagRecord, unsigned char* tagRecordLength,
                                                  unsigned char* errorCode, int crcFlag) {
  return quarn::tags::ReadDataFromSingleTag(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), data, tagRecord,
                                            tagRecordLength, errorCode, Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfReadMaxDataByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                             const unsigned char* wordPtr, const unsigned char* epc,
                                             unsigned char* dataLength, unsigned char* data, unsigned char* errorCode,
                                             int crcFlag) {
  return quarn::tags::ReadMaxDataByEpc(port, accessPassword, Arg(bank), wordPtr, epc, dataLength, data, errorCode,
                                       Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfReadMaxDataFromSingleTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                     const unsigned char* wordPtr, unsigned char* dataLength,
                                                     unsigned char* data, unsigned char* tagRecord,
                                                     unsigned char* tagRecordLength, unsigned char* errorCode,
                                                     int crcFlag) {
  return quarn::tags::ReadMaxDataFromSingleTag(port, accessPassword, Arg(bank), wordPtr, dataLength, data, tagRecord,
                                               tagRecordLength, errorCode, Arg(crcFlag))
             ? 1
             : 0;
}

}  // extern "C"
