#include "sim/model/scenario.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <random>
#include <sstream>

namespace quarn::sim {

namespace {

constexpr uint8_t kEpcHeaderSgtin96 = 0x30;
constexpr size_t kGeneratedEpcBytes = 12;
// Class identifier of a Gen2 TID, then a made-up designer and model number, then a 64-bit serial.
const Bytes kTidPrefix = {0xE2, 0x0F, 0xF0, 0x01};
constexpr size_t kTidSerialBytes = 8;

[[noreturn]] void Fail(const std::string& message) { throw ScenarioError(message); }

unsigned long ParseNumber(const std::string& text, unsigned long limit, const char* what) {
  try {
    size_t used = 0;
    const unsigned long value = std::stoul(text, &used, 0);
    if (used != text.size() || value > limit) throw std::out_of_range(what);
    return value;
  } catch (const std::logic_error&) {
    Fail(std::string("bad ") + what + ": " + text);
  }
}

uint32_t ParsePassword(const std::string& text) {
  const Bytes bytes = ParseHex(text);
  if (bytes.size() != 4) Fail("a password has 4 bytes (8 hex digits): " + text);
  return (static_cast<uint32_t>(bytes[0]) << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
}

uint8_t ParseAntennaList(const std::string& text) {
  uint8_t mask = 0;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    const unsigned long antenna = ParseNumber(item, 8, "antenna");
    if (antenna == 0) Fail("antennas count from 1");
    mask = static_cast<uint8_t>(mask | (1u << (antenna - 1)));
  }
  return mask;
}

struct LockAreaName {
  LockArea area;
  const char* name;
};
const LockAreaName kLockAreaNames[] = {{LockArea::kKillPassword, "kill"},
                                       {LockArea::kAccessPassword, "access"},
                                       {LockArea::kEpc, "epc"},
                                       {LockArea::kTid, "tid"},
                                       {LockArea::kUser, "user"}};

struct LockStateName {
  LockState state;
  const char* name;
};
const LockStateName kLockStateNames[] = {{{false, false}, "unlocked"},
                                         {{true, false}, "locked"},
                                         {{true, true}, "permalocked"},
                                         {{false, true}, "permaunlocked"}};

void ParseLocks(const std::string& text, TagEntry& entry) {
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    const size_t colon = item.find(':');
    if (colon == std::string::npos) Fail("a lock is AREA:STATE: " + item);
    entry.locks.emplace_back(ParseLockArea(item.substr(0, colon)), ParseLockState(item.substr(colon + 1)));
  }
}

void ApplyTagOption(const std::string& key, const std::string& value, TagEntry& entry) {
  TagContents& contents = entry.contents;
  if (key == "tid") {
    contents.tid = ParseHex(value);
    entry.tidGiven = true;
  } else if (key == "user") {
    contents.user = ParseHex(value);
    contents.userWords = std::max(contents.userWords, (contents.user.size() + 1) / 2);
  } else if (key == "user-words") {
    contents.userWords = ParseNumber(value, kMaxUserWords, "user-words");
  } else if (key == "epc-words") {
    contents.epcCapacityWords = ParseNumber(value, 31, "epc-words");
  } else if (key == "access") {
    contents.accessPassword = ParsePassword(value);
  } else if (key == "kill") {
    contents.killPassword = ParsePassword(value);
  } else if (key == "ant") {
    contents.antennaMask = ParseAntennaList(value);
  } else if (key == "power") {
    contents.minPowerDbm = static_cast<int>(ParseNumber(value, 33, "power"));
  } else if (key == "lock") {
    ParseLocks(value, entry);
  } else {
    Fail("unknown tag option: " + key);
  }
}

Bytes RandomBytes(std::mt19937& random, size_t count) {
  Bytes bytes;
  for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(random()));
  return bytes;
}

Bytes GeneratedTid(std::mt19937& random) {
  Bytes tid = kTidPrefix;
  const Bytes serial = RandomBytes(random, kTidSerialBytes);
  tid.insert(tid.end(), serial.begin(), serial.end());
  return tid;
}

std::string Trimmed(const std::string& text) {
  const size_t first = text.find_first_not_of(" \t\r");
  const size_t last = text.find_last_not_of(" \t\r");
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

void ApplyLine(const std::string& line, Scenario& scenario) {
  std::stringstream stream(line);
  std::string word;
  if (!(stream >> word)) return;
  std::string rest;
  std::getline(stream, rest);
  std::stringstream values(rest);
  std::string value;
  values >> value;
  if (word == "seed") {
    scenario.seed = static_cast<uint32_t>(ParseNumber(value, 0xFFFFFFFFul, "seed"));
  } else if (word == "tags") {
    scenario.generatedTags = ParseNumber(value, 1000, "tags");
  } else if (word == "antennas") {
    const unsigned long count = ParseNumber(value, 8, "antennas");
    if (count == 0) Fail("at least one antenna");
    scenario.antennaCount = static_cast<uint8_t>(count);
  } else if (word == "connected") {
    scenario.connectedAntennas = static_cast<uint8_t>(ParseNumber(value, 0xFF, "connected"));
  } else if (word == "interval") {
    scenario.streamIntervalMs = static_cast<uint8_t>(ParseNumber(value, 255, "interval"));
  } else if (word == "pa-fault") {
    scenario.paFault = true;
  } else if (word == "tag") {
    scenario.tags.push_back(ParseTagEntry(rest));
  } else {
    Fail("unknown setting: " + word);
  }
}

}  // namespace

LockArea ParseLockArea(const std::string& name) {
  for (const LockAreaName& entry : kLockAreaNames) {
    if (name == entry.name) return entry.area;
  }
  Fail("unknown lock area: " + name);
}

LockState ParseLockState(const std::string& name) {
  for (const LockStateName& entry : kLockStateNames) {
    if (name == entry.name) return entry.state;
  }
  Fail("unknown lock state: " + name);
}

const char* LockAreaText(LockArea area) {
  for (const LockAreaName& entry : kLockAreaNames) {
    if (area == entry.area) return entry.name;
  }
  return "user";
}

const char* LockStateText(LockState state) {
  for (const LockStateName& entry : kLockStateNames) {
    if (state == entry.state) return entry.name;
  }
  return "unlocked";
}

uint8_t Scenario::EffectiveConnected() const {
  const uint8_t all = static_cast<uint8_t>((1u << antennaCount) - 1);
  return static_cast<uint8_t>(connectedAntennas.value_or(all) & all);
}

Bytes ParseHex(const std::string& text) {
  std::string digits;
  size_t start = text.rfind("0x", 0) == 0 || text.rfind("0X", 0) == 0 ? 2 : 0;
  for (size_t i = start; i < text.size(); ++i) {
    const char c = text[i];
    if (c == ':' || c == '-' || c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) Fail("not a hex digit in: " + text);
    digits.push_back(c);
  }
  if (digits.size() % 2 != 0) Fail("odd number of hex digits: " + text);
  Bytes bytes;
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(const Bytes& bytes, const char* separator) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += separator;
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

TagEntry ParseTagEntry(const std::string& line) {
  std::stringstream stream(line);
  std::string epcText;
  if (!(stream >> epcText)) Fail("a tag line starts with its EPC");
  TagEntry entry;
  entry.contents.epc = ParseHex(epcText);
  if (entry.contents.epc.size() % 2 != 0 || entry.contents.epc.size() > 62) {
    Fail("an EPC is whole 16-bit words, at most 31: " + epcText);
  }
  PresenceBuilder presence;
  std::string option;
  while (stream >> option) {
    if (PresenceBuilder::IsKeyword(option)) {
      std::string seconds;
      stream >> seconds;
      presence.Add(option, seconds);
      continue;
    }
    const size_t equals = option.find('=');
    if (equals == std::string::npos) Fail("a tag option is key=value, or enters/leaves/every/present SECONDS: " + option);
    ApplyTagOption(option.substr(0, equals), option.substr(equals + 1), entry);
  }
  entry.contents.presence = presence.Finish();
  return entry;
}

void ApplyScenarioText(const std::string& text, Scenario& scenario) {
  std::stringstream stream(text);
  std::string line;
  int number = 0;
  while (std::getline(stream, line)) {
    ++number;
    const size_t hash = line.find('#');
    if (hash != std::string::npos) line.erase(hash);
    try {
      ApplyLine(line, scenario);
    } catch (const ScenarioError& error) {
      Fail("line " + std::to_string(number) + " (" + Trimmed(line) + "): " + error.what());
    }
  }
}

void LoadScenarioFile(const std::string& path, Scenario& scenario) {
  std::ifstream file(path);
  if (!file) Fail("cannot read scenario file " + path);
  std::stringstream text;
  text << file.rdbuf();
  ApplyScenarioText(text.str(), scenario);
}

std::vector<Tag> BuildTags(const Scenario& scenario) {
  std::mt19937 random(scenario.seed);
  std::vector<Tag> tags;
  for (const TagEntry& entry : scenario.tags) {
    TagContents contents = entry.contents;
    if (!entry.tidGiven) contents.tid = GeneratedTid(random);
    Tag tag(contents);
    for (const auto& [area, state] : entry.locks) tag.SetLock(area, state);
    tags.push_back(std::move(tag));
  }
  for (size_t i = 0; i < scenario.EffectiveGeneratedTags(); ++i) {
    TagContents contents;
    contents.epc = RandomBytes(random, kGeneratedEpcBytes);
    contents.epc[0] = kEpcHeaderSgtin96;
    contents.tid = GeneratedTid(random);
    tags.emplace_back(contents);
  }
  return tags;
}

}  // namespace quarn::sim
