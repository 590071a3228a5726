#include "arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "quarn/bytes.h"

namespace quarn::cli {

namespace {

constexpr const char* kBankNames[] = {"reserved", "epc", "tid", "user"};
constexpr const char* kLockAreas[] = {"kill", "access", "epc", "tid", "user"};
// By LockAction's number; keep leaves the area as it is.
constexpr const char* kLockActions[] = {"keep", "lock", "unlock", "permalock", "permaunlock"};
constexpr size_t kLockActionCount = sizeof kLockActions / sizeof kLockActions[0];

constexpr size_t kMaxEpcBytes = 62;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

quarn::LockAction ParseLockAction(const std::string& text) {
  const std::string name = Lower(text);
  for (size_t action = 0; action < kLockActionCount; ++action)
    if (name == kLockActions[action]) return static_cast<quarn::LockAction>(action);
  FailUsage("unknown lock choice '" + text + "': use lock, unlock, permalock, permaunlock or keep");
}

}  // namespace

Bytes ParseHex(const std::string& text, const std::string& what) {
  std::string digits;
  size_t start = (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) ? 2 : 0;
  for (size_t i = start; i < text.size(); ++i) {
    char c = text[i];
    if (c == ' ' || c == ':' || c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c)))
      FailUsage(what + " '" + text + "' holds '" + std::string(1, c) + "', which is no hex digit");
    digits += c;
  }
  if (digits.size() % 2 != 0) FailUsage(what + " '" + text + "' has an odd number of hex digits");
  return quarn::FromHex(digits);
}

long ParseNumber(const std::string& text, long low, long high, const std::string& what) {
  errno = 0;
  char* end = nullptr;
  long value = std::strtol(text.c_str(), &end, 0);
  if (text.empty() || *end != '\0' || errno == ERANGE) FailUsage(what + " '" + text + "' is not a number");
  if (value < low || value > high)
    FailUsage(what + " " + text + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
  return value;
}

int ParseBank(const std::string& text) {
  std::string name = Lower(text);
  for (int bank = 0; bank < 4; ++bank)
    if (name == kBankNames[bank] || name == std::to_string(bank)) return bank;
  FailUsage("unknown memory bank '" + text + "': use reserved, epc, tid or user");
}

quarn::MemoryBank BankOf(int bank) { return static_cast<quarn::MemoryBank>(bank); }

const char* BankName(int bank) { return bank >= 0 && bank < 4 ? kBankNames[bank] : "?"; }

long DecodeWordPointer(const Bytes& wordPointer) {
  if (wordPointer.empty()) return 0;
  if ((wordPointer[0] & 0x80) == 0 || wordPointer.size() < 2) return wordPointer[0] & 0x7F;
  return (static_cast<long>(wordPointer[0] & 0x7F) << 7) | (wordPointer[1] & 0x7F);
}

quarn::Password ParsePassword(const std::string& text, const std::string& what) {
  Bytes bytes = ParseHex(text, what);
  if (bytes.size() != 4) FailUsage(what + " '" + text + "' must be 8 hex digits (4 bytes)");
  return quarn::Password(std::array<uint8_t, 4>{bytes[0], bytes[1], bytes[2], bytes[3]});
}

Bytes TagRecordFor(const std::string& epcText, const std::string& pcText) {
  Bytes epc = ParseHex(epcText, "EPC");
  if (epc.size() % 2 != 0) FailUsage("EPC '" + epcText + "' is not a whole number of 16-bit words");
  if (epc.size() > kMaxEpcBytes) FailUsage("EPC '" + epcText + "' is longer than 31 words");
  auto words = static_cast<uint8_t>(epc.size() / 2);
  Bytes pc = {static_cast<uint8_t>(words << 3), 0x00};
  if (!pcText.empty()) {
    pc = ParseHex(pcText, "PC word");
    if (pc.size() != 2) FailUsage("PC word '" + pcText + "' must be 4 hex digits");
    if ((pc[0] >> 3) != words)
      FailUsage("PC word " + pcText + " announces " + std::to_string(pc[0] >> 3) + " EPC words, the EPC has " +
                std::to_string(words));
  }
  Bytes record;
  record.reserve(pc.size() + epc.size());
  record.insert(record.end(), pc.begin(), pc.end());
  record.insert(record.end(), epc.begin(), epc.end());
  return record;
}

quarn::TagRecord TagFor(const std::string& epcText, const std::string& pcText) {
  return quarn::TagRecord::FromBytes(TagRecordFor(epcText, pcText));
}

TagIdentity IdentifyTag(const quarn::TagRecord& tag) { return {HexText(tag.bytes().data(), 2), tag.epcHex()}; }

Json TagJson(const quarn::TagRecord& tag) {
  TagIdentity identity = IdentifyTag(tag);
  return Json{{"epc", identity.epc}, {"pc", identity.pc}};
}

LockRequest ParseLockRequest(const std::vector<std::string>& pairs) {
  LockRequest request{};
  if (pairs.empty()) FailUsage("name at least one area to lock, such as user=lock");
  for (const auto& pair : pairs) {
    auto equals = pair.find('=');
    if (equals == std::string::npos) FailUsage("'" + pair + "' is not AREA=CHOICE, such as user=lock");
    std::string area = Lower(pair.substr(0, equals));
    size_t index = 0;
    while (index < request.size() && area != kLockAreas[index]) ++index;
    if (index == request.size()) FailUsage("unknown lock area '" + area + "': use kill, access, epc, tid or user");
    request[index] = ParseLockAction(pair.substr(equals + 1));
  }
  return request;
}

quarn::LockSettings LockSettingsOf(const LockRequest& request) {
  quarn::LockSettings settings;
  settings.killPassword = request[0];
  settings.accessPassword = request[1];
  settings.epc = request[2];
  settings.tid = request[3];
  settings.user = request[4];
  return settings;
}

bool IsIrreversible(const LockRequest& request) {
  for (quarn::LockAction action : request)
    if (action == quarn::LockAction::kPermaLock || action == quarn::LockAction::kPermaUnlock) return true;
  return false;
}

const char* LockAreaName(size_t area) { return area < 5 ? kLockAreas[area] : "?"; }

const char* LockActionName(quarn::LockAction action) {
  const auto index = static_cast<size_t>(action);
  return index < kLockActionCount ? kLockActions[index] : "?";
}

}  // namespace quarn::cli
