#pragma once
// Drives a VirtualReader with host frames on a virtual clock and takes its replies apart with a
// reply parser of its own, so that the tests do not read replies through the code under test.

#include <cstdint>
#include <optional>
#include <vector>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim::testing {

struct Reply {
  bool twoByteForm = false;
  std::optional<uint8_t> antenna;
  uint8_t code = 0;
  uint8_t status = 0;
  Bytes data;
  bool crcPresentAndRight = false;
};

// Splits wire bytes into unstuffed frames, head to tail.
std::vector<Bytes> UnstuffFrames(const Bytes& wire);
// Reads one unstuffed reply frame; antennaFrame: the marker and the antenna number come first.
Reply ParseReply(const Bytes& frame, bool antennaFrame = false);

class Bench {
 public:
  explicit Bench(const Scenario& scenario = {}, FaultSettings faults = {}) : reader(scenario, std::move(faults)) {}

  // Sends one command (CRC mode when crc) and returns every frame the reader sent right away.
  std::vector<Reply> Exchange(uint8_t plainCode, const Bytes& params, bool crc = false, bool antennaFrames = false);
  // The one reply to a command; fails the test when there is not exactly one.
  Reply Command(uint8_t plainCode, const Bytes& params = {}, bool crc = false);
  // Raw wire bytes in, raw wire bytes out at the present time.
  Bytes Wire(const Bytes& wire);
  // Moves the clock on by ms and returns the frames the reader sent meanwhile.
  std::vector<Reply> Wait(uint64_t ms, bool antennaFrames = false);

  VirtualReader reader;
  uint64_t nowUs = 1000;
};

inline Bytes Concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// A scenario with the given EPCs and nothing generated.
Scenario TagsScenario(std::initializer_list<Bytes> epcs);

inline const Bytes kZeroPassword = {0, 0, 0, 0};

}  // namespace quarn::sim::testing
