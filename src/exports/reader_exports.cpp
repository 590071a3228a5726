#include <cstdint>

#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "reader/frequency.h"
#include "reader/identity.h"
#include "reader/multi_ant_setting.h"
#include "reader/operating_mode.h"
#include "reader/power.h"
#include "reader/registers.h"
#include "reader/stop_operation.h"

using quarn::exports::Arg;
using quarn::exports::Result;

namespace reader = quarn::reader;

extern "C" {

QUARN_API int QUARN_CALL UhfGetPaStatus(PortHandle port, unsigned char* status, int crcFlag) {
  return Result(reader::GetPaStatus(port, status, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetPower(PortHandle port, unsigned char* power, int crcFlag) {
  return Result(reader::GetPower(port, power, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetPower(PortHandle port, int powerParam1, int powerParam2, int crcFlag) {
  return Result(reader::SetPower(port, Arg(powerParam1), Arg(powerParam2), Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetFrequency(PortHandle port, unsigned char* freq0, unsigned char* freq1,
                                         unsigned char* freq23, unsigned char* freq4, unsigned char* freq5,
                                         unsigned char* freq6, int crcFlag) {
  return Result(reader::GetFrequency(port, {freq0, freq1, freq23, freq4, freq5, freq6}, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetFrequency(PortHandle port, int freq0, int freq1, const unsigned char* freq23,
                                         int freq4, int freq5, int freq6, int crcFlag) {
  return Result(reader::SetFrequency(
      port, {Arg(freq0), Arg(freq1), freq23, Arg(freq4), Arg(freq5), Arg(freq6)}, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetRegister(PortHandle port, int registerAddress, int registerCount,
                                        unsigned char* errorCode, unsigned char* registerData, int crcFlag) {
  return Result(
      reader::GetRegister(port, Arg(registerAddress), Arg(registerCount), errorCode, registerData, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetRegister(PortHandle port, int registerAddress, int registerCount,
                                        const unsigned char* registerData, unsigned char* errorCode,
                                        int crcFlag) {
  return Result(
      reader::SetRegister(port, Arg(registerAddress), registerCount, registerData, errorCode, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfResetRegister(PortHandle port, int crcFlag) {
  return Result(reader::ResetRegister(port, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSaveRegister(PortHandle port, int crcFlag) {
  return Result(reader::SaveRegister(port, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetMultiANT(PortHandle port, const unsigned char* multiAntSetting, int crcFlag) {
  return Result(reader::SetMultiAntSetting(port, multiAntSetting, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetMultiANT(PortHandle port, unsigned char* multiAntSetting, int crcFlag) {
  return Result(reader::GetMultiAntSetting(port, multiAntSetting, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetVersion(PortHandle port, unsigned char* versionBlock1, unsigned char* versionBlock2,
                                       int crcFlag) {
  return Result(reader::GetVersion(port, versionBlock1, versionBlock2, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfGetReaderUID(PortHandle port, unsigned char* readerUid, int crcFlag) {
  return Result(reader::GetReaderUid(port, readerUid, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfEnterSleepMode(PortHandle port, int crcFlag) {
  return Result(reader::EnterSleepMode(port, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfStopOperation(PortHandle port, int crcFlag) {
  return Result(reader::StopOperation(port, Arg(crcFlag)));
}

QUARN_API int QUARN_CALL UhfSetTransparentTransfer(PortHandle port, int enable, unsigned char* status, int crcFlag) {
  return Result(reader::SetTransparentTransfer(port, Arg(enable), status, Arg(crcFlag)));
}

}  // extern "C"
