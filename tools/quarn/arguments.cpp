#include "arguments.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "quarn_api.h"

namespace quarn::cli {

namespace {

constexpr const char* kBankNames[] = {"reserved", "epc", "tid", "user"};
constexpr const char* kLockAreas[] = {"kill", "access", "epc", "tid", "user"};
// Index is the LockGenCode choice; 0 leaves the area as it is.
constexpr const char* kLockChoices[] = {"keep", "lock", "unlock", "permalock", "permaunlock"};

constexpr long kMaxWordAddress = 0x3FFF;
constexpr size_t kMaxEpcBytes = 62;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
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
  Bytes bytes(digits.size() / 2);
  if (!bytes.empty()) UhfCStringToChar(digits.data(), bytes.data(), static_cast<int>(digits.size()));
  return bytes;
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

const char* BankName(int bank) { return bank >= 0 && bank < 4 ? kBankNames[bank] : "?"; }

Bytes EncodeWordPointer(long wordAddress) {
  if (wordAddress < 0 || wordAddress > kMaxWordAddress)
    FailUsage("word address " + std::to_string(wordAddress) + " is out of range (0 to 16383)");
  if (wordAddress < 0x80) return {static_cast<uint8_t>(wordAddress)};
  return {static_cast<uint8_t>(0x80 | (wordAddress >> 7)), static_cast<uint8_t>(wordAddress & 0x7F)};
}

long DecodeWordPointer(const Bytes& wordPointer) {
  if (wordPointer.empty()) return 0;
  if ((wordPointer[0] & 0x80) == 0 || wordPointer.size() < 2) return wordPointer[0] & 0x7F;
  return (static_cast<long>(wordPointer[0] & 0x7F) << 7) | (wordPointer[1] & 0x7F);
}

std::array<uint8_t, 4> ParsePassword(const std::string& text, const std::string& what) {
  Bytes bytes = ParseHex(text, what);
  if (bytes.size() != 4) FailUsage(what + " '" + text + "' must be 8 hex digits (4 bytes)");
  return {bytes[0], bytes[1], bytes[2], bytes[3]};
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

size_t TagRecordSize(uint8_t byte0) { return ((static_cast<size_t>(byte0) >> 3) + 1) * 2; }

TagIdentity IdentifyTag(const uint8_t* record, size_t size) {
  if (size < 2) return {HexText(record, size), ""};
  return {HexText(record, 2), HexText(record + 2, size - 2)};
}

Json TagJson(const uint8_t* record, size_t size) {
  TagIdentity tag = IdentifyTag(record, size);
  return Json{{"epc", tag.epc}, {"pc", tag.pc}};
}

int ParseLockChoice(const std::string& text) {
  std::string name = Lower(text);
  for (int choice = 0; choice < 5; ++choice)
    if (name == kLockChoices[choice]) return choice;
  FailUsage("unknown lock choice '" + text + "': use lock, unlock, permalock, permaunlock or keep");
}

std::array<int, 5> ParseLockRequest(const std::vector<std::string>& pairs) {
  std::array<int, 5> choices{};
  if (pairs.empty()) FailUsage("name at least one area to lock, such as user=lock");
  for (const auto& pair : pairs) {
    auto equals = pair.find('=');
    if (equals == std::string::npos) FailUsage("'" + pair + "' is not AREA=CHOICE, such as user=lock");
    std::string area = Lower(pair.substr(0, equals));
    size_t index = 0;
    while (index < 5 && area != kLockAreas[index]) ++index;
    if (index == 5) FailUsage("unknown lock area '" + area + "': use kill, access, epc, tid or user");
    choices[index] = ParseLockChoice(pair.substr(equals + 1));
  }
  return choices;
}

const char* LockAreaName(size_t area) { return area < 5 ? kLockAreas[area] : "?"; }

const char* LockChoiceName(int choice) { return choice >= 0 && choice < 5 ? kLockChoices[choice] : "?"; }

}  // namespace quarn::cli
