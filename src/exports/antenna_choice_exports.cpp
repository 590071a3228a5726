#include <cstdint>

#include "antenna/antenna_choice.h"
#include "quarn_api.h"

extern "C" {

QUARN_API int QUARN_CALL UhfCheckANT(PortHandle port, unsigned char* antennaState, int crcFlag) {
  return quarn::antenna::CheckAntenna(port, antennaState, static_cast<uint32_t>(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfChooseANT(PortHandle port, int antenna, int crcFlag) {
  return quarn::antenna::ChooseAntenna(port, static_cast<uint32_t>(antenna), static_cast<uint32_t>(crcFlag)) ? 1 : 0;
}

}  // extern "C"
