#pragma once
// What is in the reader's field when it starts: generated tags from a seed and explicit ones, the
// antennas, and a few reader conditions. Read from a small text file or set from the command line.

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/model/tag.h"

namespace quarn::sim {

struct TagEntry {
  TagContents contents;
  bool tidGiven = false;
  std::vector<std::pair<LockArea, LockState>> locks;
};

struct Scenario {
  uint32_t seed = 1;
  // Generated tags; when unset, 3 unless explicit tags are given, then none.
  std::optional<size_t> generatedTags;
  std::vector<TagEntry> tags;
  uint8_t antennaCount = 4;         // 1 to 8
  std::optional<uint8_t> connectedAntennas;  // bit k: antenna k + 1 connected; all by default
  bool paFault = false;             // the PA status command reports status 0x01
  std::optional<uint8_t> streamIntervalMs;  // overrides the register's factory value at start

  size_t EffectiveGeneratedTags() const { return generatedTags.value_or(tags.empty() ? 3 : 0); }
  uint8_t EffectiveConnected() const;
};

class ScenarioError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Lines of the scenario file, applied on top of what scenario already holds. Throws ScenarioError
// naming the line.
void ApplyScenarioText(const std::string& text, Scenario& scenario);
void LoadScenarioFile(const std::string& path, Scenario& scenario);

// One "tag" line without the word tag: an EPC in hex, then key=value options and the presence words
// (enters, leaves, every, present, each followed by seconds).
TagEntry ParseTagEntry(const std::string& line);

// The tags of the scenario: explicit ones first, then the generated ones.
std::vector<Tag> BuildTags(const Scenario& scenario);

// Lock areas and states by the names of the scenario's lock= option. Parse throws ScenarioError.
LockArea ParseLockArea(const std::string& name);
LockState ParseLockState(const std::string& name);
const char* LockAreaText(LockArea area);
const char* LockStateText(LockState state);

// Hex digits, optionally with a 0x prefix and ':' or '-' between bytes. Throws ScenarioError.
Bytes ParseHex(const std::string& text);
std::string ToHex(const Bytes& bytes, const char* separator = "");

}  // namespace quarn::sim
