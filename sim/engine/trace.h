#pragma once
// What the reader saw and said, for --trace and for tests that look at the exchange.

#include <cstdint>
#include <functional>
#include <string>

#include "sim/codec/frame_codec.h"

namespace quarn::sim {

struct TraceEvent {
  enum class Kind { kCommand, kReply, kNote };
  Kind kind = Kind::kNote;
  uint64_t timeUs = 0;
  Bytes frame;            // unstuffed, head to tail (commands and replies)
  uint8_t code = 0;       // as on the wire
  bool antennaFrame = false;
  std::string note;
};

using TraceSink = std::function<void(const TraceEvent&)>;

// One line: "-> 0x13 ReadDataByEpc plain: AA 17 13 ...", "<- 0x93 ReadDataByEpc crc: ...", "   note".
std::string FormatTrace(const TraceEvent& event);

}  // namespace quarn::sim
