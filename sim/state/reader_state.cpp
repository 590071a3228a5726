#include "sim/state/reader_state.h"

#include <array>
#include <sstream>

#include "sim/model/scenario.h"

namespace quarn::sim {

namespace {

using nlohmann::json;

constexpr uint64_t kFormat = 1;
constexpr uint64_t kMaxPowerDbm = 33;
constexpr size_t kRegisterRowBytes = 32;
constexpr uint8_t kSwitchOn = 0x01;

struct BankName {
  MemoryBank bank;
  const char* name;
};
const BankName kBankNames[] = {{MemoryBank::kReserved, "reserved"},
                               {MemoryBank::kEpc, "epc"},
                               {MemoryBank::kTid, "tid"},
                               {MemoryBank::kUser, "user"}};
const LockArea kLockAreas[] = {LockArea::kKillPassword, LockArea::kAccessPassword, LockArea::kEpc, LockArea::kTid,
                               LockArea::kUser};
// Room the EPC bank needs for the stored CRC and the PC word.
constexpr size_t kEpcBankHeaderWords = 2;

[[noreturn]] void Fail(const std::string& message) { throw StateError(message); }

std::string WordsHex(const std::vector<uint16_t>& words) {
  Bytes bytes;
  for (uint16_t word : words) {
    bytes.push_back(static_cast<uint8_t>(word >> 8));
    bytes.push_back(static_cast<uint8_t>(word & 0xFF));
  }
  return ToHex(bytes);
}

// A member that must be there, of the given JSON type.
const json& Member(const json& object, const char* key, json::value_t type, const std::string& where) {
  const auto found = object.find(key);
  if (found == object.end() || found->type() != type) Fail(where + ": '" + key + "' is missing or of the wrong type");
  return *found;
}

uint64_t NumberMember(const json& object, const char* key, uint64_t limit, const std::string& where) {
  const auto found = object.find(key);
  if (found == object.end() || !found->is_number_integer() || found->get<int64_t>() < 0 ||
      found->get<uint64_t>() > limit) {
    Fail(where + ": '" + key + "' is missing or not a number from 0 to " + std::to_string(limit));
  }
  return found->get<uint64_t>();
}

Bytes HexMember(const json& object, const char* key, const std::string& where) {
  const std::string text = Member(object, key, json::value_t::string, where).get<std::string>();
  try {
    return ParseHex(text);
  } catch (const ScenarioError& error) {
    Fail(where + ": '" + key + "': " + error.what());
  }
}

std::vector<uint16_t> WordsMember(const json& object, const char* key, const std::string& where) {
  const Bytes bytes = HexMember(object, key, where);
  if (bytes.size() % 2 != 0) Fail(where + ": '" + key + "' is not whole 16-bit words");
  std::vector<uint16_t> words;
  for (size_t i = 0; i < bytes.size(); i += 2) words.push_back(static_cast<uint16_t>((bytes[i] << 8) | bytes[i + 1]));
  return words;
}

// Rows of 32 bytes, so that a person finds an address in the file.
json RegisterRows(const RegisterBytes& registers) {
  json rows = json::array();
  for (size_t at = 0; at < kRegisterCount; at += kRegisterRowBytes) {
    rows.push_back(ToHex(Bytes(registers.begin() + static_cast<std::ptrdiff_t>(at),
                               registers.begin() + static_cast<std::ptrdiff_t>(at + kRegisterRowBytes))));
  }
  return rows;
}

RegisterBytes RegisterMember(const json& object, const char* key) {
  const std::string where = std::string("registers '") + key + "'";
  const json& rows = Member(object, key, json::value_t::array, "registers");
  Bytes bytes;
  for (const json& row : rows) {
    if (!row.is_string()) Fail(where + ": rows are hex strings");
    try {
      const Bytes part = ParseHex(row.get<std::string>());
      bytes.insert(bytes.end(), part.begin(), part.end());
    } catch (const ScenarioError& error) {
      Fail(where + ": " + error.what());
    }
  }
  if (bytes.size() != kRegisterCount) Fail(where + " are not 512 bytes");
  RegisterBytes registers{};
  std::copy(bytes.begin(), bytes.end(), registers.begin());
  return registers;
}

json CaptureTag(const Tag& tag) {
  json entry;
  entry["record"] = ToHex(tag.Record());
  json memory;
  for (const BankName& bank : kBankNames) memory[bank.name] = WordsHex(tag.words(bank.bank));
  entry["memory"] = memory;
  json locks;
  for (LockArea area : kLockAreas) locks[LockAreaText(area)] = LockStateText(tag.lock(area));
  entry["locks"] = locks;
  entry["killed"] = tag.killed();
  entry["antennas"] = tag.antennaMask();
  entry["power"] = tag.minPowerDbm();
  entry["presence"] = PresenceText(tag.presence());
  return entry;
}

void CheckBankSize(MemoryBank bank, size_t words, const std::string& where) {
  const bool fits = bank == MemoryBank::kReserved ? words == kReservedBankWords
                    : bank == MemoryBank::kEpc    ? words >= kEpcBankHeaderWords
                    : bank == MemoryBank::kUser   ? words <= kMaxUserWords
                                                  : true;
  if (!fits) Fail(where + ": the " + kBankNames[static_cast<size_t>(bank)].name + " bank has a wrong size");
}

Tag RestoreTag(const json& entry, const std::string& where) {
  if (!entry.is_object()) Fail(where + " is not an object");
  Tag tag{TagContents{}};
  const json& memory = Member(entry, "memory", json::value_t::object, where);
  for (const BankName& bank : kBankNames) {
    std::vector<uint16_t> words = WordsMember(memory, bank.name, where + " memory");
    CheckBankSize(bank.bank, words.size(), where);
    tag.RestoreBank(bank.bank, std::move(words));
  }
  const json& locks = Member(entry, "locks", json::value_t::object, where);
  for (LockArea area : kLockAreas) {
    const std::string state = Member(locks, LockAreaText(area), json::value_t::string, where + " locks").get<std::string>();
    try {
      tag.SetLock(area, ParseLockState(state));
    } catch (const ScenarioError& error) {
      Fail(where + " locks: " + error.what());
    }
  }
  tag.RestoreKilled(Member(entry, "killed", json::value_t::boolean, where).get<bool>());
  tag.SetAntennaMask(static_cast<uint8_t>(NumberMember(entry, "antennas", 0xFF, where)));
  tag.SetMinPowerDbm(static_cast<int>(NumberMember(entry, "power", kMaxPowerDbm, where)));
  try {
    std::stringstream words(Member(entry, "presence", json::value_t::string, where).get<std::string>());
    PresenceBuilder presence;
    std::string keyword, value;
    while (words >> keyword) {
      if (!PresenceBuilder::IsKeyword(keyword)) Fail(where + " presence: unknown word '" + keyword + "'");
      words >> value;
      presence.Add(keyword, value);
    }
    tag.SetPresence(presence.Finish());
  } catch (const ScenarioError& error) {
    Fail(where + " presence: " + error.what());
  }
  return tag;
}

FilterTable RestoreFilters(const json& filters) {
  FilterTable table;
  for (size_t i = 0; i < filters.size(); ++i) {
    const std::string where = "filter " + std::to_string(i + 1);
    if (!filters[i].is_object()) Fail(where + " is not an object");
    const Bytes record = HexMember(filters[i], "record", where);
    if (table.Add(record) != filter_status::kOk) Fail(where + ": not a filter record");
    if (Member(filters[i], "on", json::value_t::boolean, where).get<bool>()) table.Select(record[0], kSwitchOn);
  }
  return table;
}

}  // namespace

json CaptureState(const VirtualReader& reader) {
  json state;
  state["format"] = kFormat;
  state["version"] = ToHex(reader.version());
  state["registers"] = {{"working", RegisterRows(reader.registers().working())},
                        {"saved", RegisterRows(reader.registers().saved())}};
  json filters = json::array();
  for (const auto& [index, filter] : reader.filters().records()) {
    filters.push_back({{"record", ToHex(filter.wire)}, {"on", reader.filters().active().count(index) != 0}});
  }
  state["filters"] = filters;
  json tags = json::array();
  for (const Tag& tag : reader.tags()) tags.push_back(CaptureTag(tag));
  state["tags"] = tags;
  return state;
}

void RestoreState(const json& state, VirtualReader& reader) {
  if (!state.is_object()) Fail("not a JSON object");
  if (NumberMember(state, "format", UINT32_MAX, "the state") != kFormat) {
    Fail("made by another version of quarn-sim (format is not " + std::to_string(kFormat) + ")");
  }
  const Bytes version = HexMember(state, "version", "the state");
  if (version.size() != kVersionBlockSize) Fail("'version' is not 9 bytes");
  const json& registers = Member(state, "registers", json::value_t::object, "the state");
  const RegisterBytes working = RegisterMember(registers, "working");
  const RegisterBytes saved = RegisterMember(registers, "saved");
  FilterTable filters = RestoreFilters(Member(state, "filters", json::value_t::array, "the state"));
  const json& tagList = Member(state, "tags", json::value_t::array, "the state");
  std::vector<Tag> tags;
  for (size_t i = 0; i < tagList.size(); ++i) tags.push_back(RestoreTag(tagList[i], "tag " + std::to_string(i + 1)));

  reader.tags() = std::move(tags);
  reader.registers().SetSaved(saved);
  reader.registers().SetWorking(working);
  reader.filters() = std::move(filters);
  reader.SetVersion(version);
}

std::string StateDigest(const json& state) {
  // FNV-1a, 64 bits: stable from build to build, unlike std::hash.
  uint64_t hash = 0xCBF29CE484222325ull;
  for (unsigned char c : state.dump()) {
    hash ^= c;
    hash *= 0x100000001B3ull;
  }
  const Bytes bytes = {static_cast<uint8_t>(hash >> 56), static_cast<uint8_t>(hash >> 48), static_cast<uint8_t>(hash >> 40),
                       static_cast<uint8_t>(hash >> 32), static_cast<uint8_t>(hash >> 24), static_cast<uint8_t>(hash >> 16),
                       static_cast<uint8_t>(hash >> 8),  static_cast<uint8_t>(hash)};
  return ToHex(bytes);
}

}  // namespace quarn::sim
