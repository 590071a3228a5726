#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/erase_lock_kill.h"
#include "tags/lock_code.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfEraseDataByEPC(PortHandle port, const unsigned char* accessPassword, int bank,
                                           const unsigned char* wordPtr, int wordCount, const unsigned char* epc,
                                           unsigned char* errorCode, int crcFlag) {
  return quarn::tags::EraseDataByEpc(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), epc, errorCode,
                                     Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfEraseDataFromSingleTag(PortHandle port, const unsigned char* accessPassword, int bank,
                                                   const unsigned char* wordPtr, int wordCount,
                                                   unsigned char* tagRecord, unsigned char* errorCode, int crcFlag) {
  return quarn::tags::EraseDataFromSingleTag(port, accessPassword, Arg(bank), wordPtr, Arg(wordCount), tagRecord,
                                             errorCode, Arg(crcFlag))
             ? 1
             : 0;
}

QUARN_API int QUARN_CALL UhfLockMemByEPC(PortHandle port, const unsigned char* accessPassword,
                                         const unsigned char* lockPayload, const unsigned char* epc,
                                         unsigned char* errorCode, int crcFlag) {
  return quarn::tags::LockMemByEpc(port, accessPassword, lockPayload, epc, errorCode, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfLockMemFromSingleTag(PortHandle port, const unsigned char* accessPassword,
                                                 const unsigned char* lockPayload, unsigned char* tagRecord,
                                                 unsigned char* errorCode, int crcFlag) {
  return quarn::tags::LockMemFromSingleTag(port, accessPassword, lockPayload, tagRecord, errorCode, Arg(crcFlag)) ? 1
                                                                                                                   : 0;
}

QUARN_API int QUARN_CALL UhfKillTagByEPC(PortHandle port, const unsigned char* killPassword, const unsigned char* epc,
                                         unsigned char* errorCode, int crcFlag) {
  return quarn::tags::KillTagByEpc(port, killPassword, epc, errorCode, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfKillSingleTag(PortHandle port, const unsigned char* killPassword,
                                          unsigned char* tagRecord, unsigned char* errorCode, int crcFlag) {
  return quarn::tags::KillSingleTag(port, killPassword, tagRecord, errorCode, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API unsigned char* QUARN_CDECL LockGenCode(int killPasswordChoice, int accessPasswordChoice, int epcChoice,
                                                 int tidChoice, int userChoice, unsigned char* lockPayload) {
  quarn::tags::BuildLockPayload(Arg(killPasswordChoice), Arg(accessPasswordChoice), Arg(epcChoice), Arg(tidChoice),
                                Arg(userChoice), lockPayload);
  return lockPayload;
}

}  // extern "C"
