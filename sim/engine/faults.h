#pragma once
// Faults the virtual reader can be told to show, for tests and demonstrations.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <set>

namespace quarn::sim {

struct FaultSettings {
  uint32_t delayMs = 0;        // extra time before a reply leaves
  bool silent = false;         // replies are withheld altogether
  double dropRate = 0.0;       // each wire byte of a reply is lost with this probability
  double corruptRate = 0.0;    // each wire byte of a reply has one bit flipped with this probability
  size_t noiseBytes = 0;       // random bytes, never the head byte, sent before each reply
  std::set<uint8_t> codes;     // plain command codes the faults above apply to; empty: every code
  uint32_t limit = 0;          // the faults above hit this many frames, then stop; 0: no end
  size_t tearAfterWords = 0;   // block and SR writes stop after this many words without a code; 0: never
  uint32_t baud = 0;           // not a fault: 0 sends at once, else every byte takes 10 bit times
  // The reader hangs at this time (us after its start) until a stop command wakes it, or for hangForUs
  // when that is not 0 (see VirtualReader::Hang). Once; read when the reader is built.
  std::optional<uint64_t> hangAtUs;
  uint64_t hangForUs = 0;
};

}  // namespace quarn::sim
