#include "quarn_api.h"
#include "update/update_sequence.h"

namespace {

uint32_t Word(int value) { return static_cast<uint32_t>(value); }

int Result(bool succeeded) { return succeeded ? 1 : 0; }

}  // namespace

extern "C" {

QUARN_API int QUARN_CALL UhfUpdateInit(PortHandle* portHandleOut, const char* portName, unsigned char* status,
                                       int* initValue, int portOptions) {
  // The reply's four bytes go in as they arrived, whatever the host's byte order.
  return Result(quarn::update::UpdateInit(portHandleOut, portName, status, reinterpret_cast<unsigned char*>(initValue),
                                          Word(portOptions)));
}

QUARN_API int QUARN_CALL UhfUpdateSendRN32(PortHandle port, const unsigned char* rn32, unsigned char* status,
                                           int crcFlag) {
  return Result(quarn::update::UpdateSendRn32(port, rn32, status, Word(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateSendSize(PortHandle port, unsigned char* status, const unsigned char* size,
                                           int crcFlag) {
  return Result(quarn::update::UpdateSendSize(port, status, size, Word(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateSendData(PortHandle port, unsigned char* status, int prefix1, int prefix2,
                                           int blockLength, const unsigned char* block, int crcFlag) {
  return Result(
      quarn::update::UpdateSendData(port, status, Word(prefix1), Word(prefix2), blockLength, block, Word(crcFlag)));
}

QUARN_API int QUARN_CALL UhfUpdateCommit(PortHandle port, unsigned char* status, int crcFlag) {
  return Result(quarn::update::UpdateCommit(port, status, Word(crcFlag)));
}

}  // extern "C"
