#include <cstdint>

#include "antenna/antenna_choice.h"
#include "exports/export_conventions.h"
#include "quarn_api.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfCheckANT(PortHandle port, unsigned char* antennaState, int crcFlag) {
  return quarn::antenna::CheckAntenna(port, antennaState, Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfChooseANT(PortHandle port, int antenna, int crcFlag) {
  return quarn::antenna::ChooseAntenna(port, Arg(antenna), Arg(crcFlag)) ? 1 : 0;
}

}  // extern "C"
