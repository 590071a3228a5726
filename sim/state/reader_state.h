#pragma once
// What of a virtual reader outlives the program, as JSON: the tags (memory, locks, killed, antennas,
// power, presence), the registers (working and saved copies), the select filters and the firmware
// version. Streams, SAM slots, SR contents and an update session are not part of it.

#include <cstdint>
#include <nlohmann/json.hpp>
#include <stdexcept>
#include <string>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

class StateError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

nlohmann::json CaptureState(const VirtualReader& reader);
// Replaces the reader's tags, registers, filters and version. Throws StateError naming the field
// that does not fit; the reader is left untouched then.
void RestoreState(const nlohmann::json& state, VirtualReader& reader);

// A short digest of a captured state, to tell whether a saved state grew from the same start.
std::string StateDigest(const nlohmann::json& state);

}  // namespace quarn::sim
