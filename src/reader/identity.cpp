#include "reader/identity.h"

#include <cstring>

#include "link/exchange.h"

namespace quarn::reader {

using link::CommandFrame;
using link::ReceivedFrame;
using link::Result;
namespace commands = link::commands;

Result GetVersion(PortHandle port, uint8_t* versionBlock1, uint8_t* versionBlock2, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetVersion, crcFlag);
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  if (!result) return result;
  const uint8_t* version = reply.View().Data(0, kVersionBlock1Size + kVersionBlock2Size);
  if (version == nullptr) return link::TooShort();
  std::memcpy(versionBlock1, version, kVersionBlock1Size);
  std::memcpy(versionBlock2, version + kVersionBlock1Size, kVersionBlock2Size);
  return result;
}

Result GetReaderUid(PortHandle port, uint8_t* readerUid, uint32_t crcFlag) {
  CommandFrame frame(commands::kGetReaderUid, crcFlag);
  ReceivedFrame reply;
  const Result result = link::Exchange(port, frame, reply);
  if (!result) return result;
  const uint8_t* uid = reply.View().Data(0, kReaderUidSize);
  if (uid == nullptr) return link::TooShort();
  std::memcpy(readerUid, uid, kReaderUidSize);
  return result;
}

}  // namespace quarn::reader
