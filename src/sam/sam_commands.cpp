#include "sam/sam_commands.h"

#include <optional>

#include "link/command_frame.h"
#include "link/command_table.h"
#include "link/exchange.h"
#include "sam/apdu_case.h"
#include "sam/sam_reply.h"

namespace quarn::sam {

namespace {

using link::CommandFrame;
using link::CommandSpec;

// Refused blocks, by the case rule or by the frame length, return before anything is sent or written.
std::optional<ApduBlock> AcceptApdu(const uint8_t* apdu, uint32_t apduLength, uint32_t crcFlag) {
  const std::optional<ApduBlock> block = ClassifyApdu(apdu, apduLength);
  if (!block || !FitsOneByteFrame(*block, crcFlag)) return std::nullopt;
  return block;
}

link::Result ExchangeApdu(PortHandle port, const CommandSpec& command, const uint8_t* apdu, const ApduBlock& block,
                          const SamAnswer& answer, uint8_t* status, uint32_t crcFlag) {
  CommandFrame frame(command, crcFlag);
  frame.Bytes(apdu, block.length);
  return ExchangeSamCommand(port, frame, command.layout, answer, status);
}

}  // namespace

link::Result SetSam(PortHandle port, const uint8_t* apdu, uint32_t apduLength, uint8_t* response, int* responseLength,
            uint8_t* sw1, uint8_t* sw2, uint8_t* status, uint32_t crcFlag) {
  const std::optional<ApduBlock> block = AcceptApdu(apdu, apduLength, crcFlag);
  if (!block) return link::Failed(link::Outcome::kInvalidArgument);
  // Told before the exchange, so the caller knows what was asked for even when no answer comes.
  if (block->carriesLe) *responseLength = static_cast<int>(block->le);
  // A long response comes back in the two-byte length form, whose data start one byte later.
  return ExchangeApdu(port, link::commands::kSetSam, apdu, *block, {response, block->le, sw1, sw2}, status, crcFlag);
}

link::Result GetInfoSamToSr(PortHandle port, SrTarget target, const uint8_t* apdu, uint32_t apduLength, uint8_t* sw1,
                    uint8_t* sw2, uint8_t* status, uint32_t crcFlag) {
  const std::optional<ApduBlock> block = AcceptApdu(apdu, apduLength, crcFlag);
  if (!block) return link::Failed(link::Outcome::kInvalidArgument);
  const CommandSpec& command =
      target == SrTarget::kSrA ? link::commands::kGetInfoSamToSrA : link::commands::kGetInfoSamToSrB;
  // The SAM's response stays in the reader: only the status word comes back, whatever Le asked for.
  return ExchangeApdu(port, command, apdu, *block, {nullptr, 0, sw1, sw2}, status, crcFlag);
}

}  // namespace quarn::sam
