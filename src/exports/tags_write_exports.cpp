#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/block_write.h"
#include "tags/write_memory.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfWriteDataByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                           const unsigned char* wordPtr, int wordCount, const unsigned char* epc,
                                           const unsigned char* data, unsigned char* errorCode, int crcFlag) {
  return quarn::tags::WriteDataByEpc(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), epc, data, errorCode,
                                     Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfWriteDataToSingleTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                 const unsigned char* wordPtr, int wordCount,
                                                 const unsigned char* data, unsigned char* tagRecord,
                                                 unsigned char* tagRecordLength, unsigned char* errorCode,
                                                 int crcFlag) {
  return quarn::tags::WriteDataToSingleTag(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), data, tagRecord,
                                           tagRecordLength, errorCode, Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfBlockWriteDataByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                                const unsigned char* wordPtr, int wordCount,
                                                const unsigned char* epc, const unsigned char* data,
                                                unsigned char* errorCode, unsigned char* writeStatus,
                                                unsigned char* writtenWordCount, unsigned char* newTagRecord,
                                                int crcFlag) {
  return quarn::tags::BlockWriteDataByEpc(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), epc, data,
                                          errorCode, writeStatus, writtenWordCount, newTagRecord, Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfBlockWriteDataToSingleTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                      const unsigned char* wordPtr, int wordCount,
                                                      const unsigned char* data, unsigned char* tagRecord,
                                                      unsigned char* tagRecordLength, unsigned char* writeStatus,
                                                      unsigned char* errorCode, unsigned char* writtenWordCount,
                                                      int crcFlag) {
  return quarn::tags::BlockWriteDataToSingleTag(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), data,
                                                tagRecord, tagRecordLength, writeStatus, errorCode, writtenWordCount,
                                                Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfBlockWriteEPCByEPC(PortHandle port, const unsigned char* accessPassword, int epcWordCount,
                                               const unsigned char* epc, const unsigned char* newEpc,
                                               unsigned char* errorCode, unsigned char* writeStatus,
                                               unsigned char* writtenWordCount, unsigned char* newTagRecord,
                                               int crcFlag) {
  return quarn::tags::BlockWriteEpcByEpc(port, accessPassword, Arg(epcWordCount), epc, newEpc, errorCode, writeStatus,
                                         writtenWordCount, newTagRecord, Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfBlockWriteEPCToSingleTag(PortHandle port, const unsigned char* accessPassword,
                                                     int epcWordCount, const unsigned char* newEpc,
                                                     unsigned char* tagRecord, unsigned char* tagRecordLength,
                                                     unsigned char* writeStatus, unsigned char* errorCode,
                                                     unsigned char* writtenWordCount, int crcFlag) {
  return quarn::tags::BlockWriteEpcToSingleTag(port, accessPassword, Arg(epcWordCount), newEpc, tagRecord,
                                               tagRecordLength, writeStatus, errorCode, writtenWordCount, Arg(crcFlag))
             ? 1
             : 0;
}

}  // extern "C"
