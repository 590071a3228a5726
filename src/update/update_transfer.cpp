#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/frame_format.h"
#include "update/update_reply.h"
#include "update/update_sequence.h"

namespace quarn::update {

namespace {

using link::CommandFrame;

bool BlockFits(int blockLength, uint32_t crcFlag) {
  const int limit = link::IsCrcMode(crcFlag) ? kMaxCrcBlockLength : kMaxPlainBlockLength;
  return blockLength >= 0 && blockLength <= limit;
}

}  // namespace

link::Result UpdateSendRn32(PortHandle port, const uint8_t* rn32, uint8_t* status, uint32_t crcFlag) {
  CommandFrame frame(link::commands::kUpdateSendRn32, crcFlag);
  frame.Bytes(rn32, kRn32Size);
  return ExchangeUpdateCommand(port, frame, status);
}

link::Result UpdateSendSize(PortHandle port, uint8_t* status, const uint8_t* size, uint32_t crcFlag) {
  CommandFrame frame(link::commands::kUpdateSendSize, crcFlag);
  frame.Bytes(size, kImageSizeSize);
  return ExchangeUpdateCommand(port, frame, status);
}

link::Result UpdateSendData(PortHandle port, uint8_t* status, uint32_t prefix1, uint32_t prefix2, int blockLength,
                    const uint8_t* block, uint32_t crcFlag) {
  if (!BlockFits(blockLength, crcFlag)) return link::Failed(link::Outcome::kInvalidArgument);
  CommandFrame frame(link::commands::kUpdateSendData, crcFlag);
  frame.Byte(prefix1).Byte(prefix2).Bytes(block, static_cast<size_t>(blockLength));
  return ExchangeUpdateCommand(port, frame, status);
}

link::Result UpdateCommit(PortHandle port, uint8_t* status, uint32_t crcFlag) {
  CommandFrame frame(link::commands::kUpdateCommit, crcFlag);
  return ExchangeUpdateCommand(port, frame, status);
}

}  // namespace quarn::update
