#include "reader/multi_ant_setting.h"

#include "reader/registers.h"

namespace quarn::reader {

link::Result SetMultiAntSetting(PortHandle port, const uint8_t* multiAntSetting, uint32_t crcFlag) {
  uint8_t errorCode = 0;
  return SetRegister(port, kMultiAntSettingAddress, 1, multiAntSetting, &errorCode, crcFlag);
}

link::Result GetMultiAntSetting(PortHandle port, uint8_t* multiAntSetting, uint32_t crcFlag) {
  uint8_t errorCode = 0;
  return GetRegister(port, kMultiAntSettingAddress, 1, &errorCode, multiAntSetting, crcFlag);
}

}  // namespace quarn::reader
