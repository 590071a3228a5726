#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "update/update_sequence.h"

using quarn::exports::Arg;
using quarn::exports::Result;

extern "C" {

QUARN_API int QUARN_CALL UhfUpdateInit(PortHandle* portHandleOut, const char* portName, unsigned char* status,
                                       int* initValue, int portOptions) {
  // The reply's four bytes go in as they arrived, whatever the host's byte order.
  return Result(quarn::update::UpdateInit(portHandleOut, portName, status, reinterpret_cast<unsigned char*>(initValue),
                                          Arg(portOptions)));
}

QUARN_API int QUARN_CALL UhfUpdateSendRN32(PortHandle port, const unsigned char* rn32, unsigned char* status,
                                           int crcFlag) {
  return Result(quarn::update::UpdateSendRn32(port, rn32, status, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateSendSize(PortHandle port, unsigned char* status, const unsigned char* size,
                                           int crcFlag) {
  return Result(quarn::update::UpdateSendSize(port, status, size, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateSendData(PortHandle port, unsigned char* status, int prefix1, int prefix2,
                                           int blockLength, const unsigned char* block, int crcFlag) {
  return Result(
      quarn::update::UpdateSendData(port, status, Arg(prefix1), Arg(prefix2), blockLength, block, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateCommit(PortHandle port, unsigned char* status, int crcFlag) {
  return Result(quarn::update::UpdateCommit(port, status, Arg(crcFlag)));
}

}  // extern "C"
