#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "sam/psam_power.h"
#include "sam/sam_commands.h"
#include "sam/sr_info.h"
#include "sam/sr_write.h"

using quarn::exports::Arg;
using quarn::exports::Result;

extern "C" {

QUARN_API int QUARN_CALL UhfSetSAM(PortHandle port, const unsigned char* apdu, int apduLength, unsigned char* response,
                                   int* responseLength, unsigned char* sw1, unsigned char* sw2, unsigned char* status,
                                   int crcFlag) {
  return Result(
      quarn::sam::SetSam(port, apdu, Arg(apduLength), response, responseLength, sw1, sw2, status, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetInfoSAMtoSRA(PortHandle port, const unsigned char* apdu, int apduLength,
                                            unsigned char* sw1, unsigned char* sw2, unsigned char* status,
                                            int crcFlag) {
  return Result(quarn::sam::GetInfoSamToSr(port, quarn::sam::SrTarget::kSrA, apdu, Arg(apduLength), sw1, sw2, status,
                                           Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetInfoSAMtoSRB(PortHandle port, const unsigned char* apdu, int apduLength,
                                            unsigned char* sw1, unsigned char* sw2, unsigned char* status,
                                            int crcFlag) {
  return Result(quarn::sam::GetInfoSamToSr(port, quarn::sam::SrTarget::kSrB, apdu, Arg(apduLength), sw1, sw2, status,
                                           Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetSR(PortHandle port, int srSelect, unsigned char* srData, unsigned char* status,
                                  int crcFlag) {
  return Result(quarn::sam::GetSr(port, Arg(srSelect), srData, status, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetPsamPowerOnOrOff(PortHandle port, int psamSelect, int powerState, unsigned char* answer,
                                                unsigned char* answerLength, int crcFlag) {
  return Result(
      quarn::sam::SetPsamPower(port, Arg(psamSelect), Arg(powerState), answer, answerLength, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfWriteSRtoTagByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                              const unsigned char* wordPtr, int srParam1, const unsigned char* epc,
                                              int srParam2, int srParam3, int srParam4, unsigned char* errorCode,
                                              unsigned char* writeStatus, unsigned char* writtenWordCount,
                                              int crcFlag) {
  const quarn::sam::SrWriteRequest request{
      accessPassword, Arg(bank), wordPtr, {Arg(srParam1), Arg(srParam2), Arg(srParam3), Arg(srParam4)}};
  return Result(
      quarn::sam::WriteSrToTagByEpc(port, request, epc, {errorCode, writeStatus, writtenWordCount}, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfWriteSRtoTagSingle(PortHandle port, const unsigned char* accessPassword, int bank,
                                               const unsigned char* wordPtr, int srParam1, int srParam2, int srParam3,
                                               int srParam4, unsigned char* tagRecord, unsigned char* tagRecordLength,
                                               unsigned char* errorCode, unsigned char* writeStatus,
                                               unsigned char* writtenWordCount, int crcFlag) {
  const quarn::sam::SrWriteRequest request{
      accessPassword, Arg(bank), wordPtr, {Arg(srParam1), Arg(srParam2), Arg(srParam3), Arg(srParam4)}};
  return Result(quarn::sam::WriteSrToTagSingle(port, request, tagRecord, tagRecordLength,
                                               {errorCode, writeStatus, writtenWordCount}, Arg(crcFlag)));
}

}  // extern "C"
