#include "reader/identity.h"

#include <cstring>

#include "link/command_table.h"
#include "link/status_rules.h"
#include "reader/checked_exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
namespace commands = link::commands;

bool GetVersion(PortHandle port, uint8_t* versionBlock1, uint8_t* versionBlock2, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetVersion, crcFlag);
  ReceivedFrame reply;
  if (!ExchangeAccepted(port, frame, reply, link::HasErrorBitClear)) return false;
  const uint8_t* version = reply.View().Data(0, kVersionBlock1Size + kVersionBlock2Size);
  if (version == nullptr) return false;
  std::memcpy(versionBlock1, version, kVersionBlock1Size);
  std::memcpy(versionBlock2, version + kVersionBlock1Size, kVersionBlock2Size);
  return true;
}

bool GetReaderUid(PortHandle port, uint8_t* readerUid, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetReaderUid, crcFlag);
  ReceivedFrame reply;
  if (!ExchangeAccepted(port, frame, reply, link::IsZeroStatus)) return false;
  const uint8_t* uid = reply.View().Data(0, kReaderUidSize);
  if (uid == nullptr) return false;
  std::memcpy(readerUid, uid, kReaderUidSize);
  return true;
}

}  // namespace quarn::reader
