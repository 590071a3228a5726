#include "sim/model/tag.h"

#include <algorithm>

#include "sim/model/error_codes.h"

namespace quarn::sim {

namespace {

constexpr size_t kKillPasswordWord = 0;
constexpr size_t kAccessPasswordWord = 2;
constexpr size_t kStoredCrcWord = 0;
constexpr size_t kPcWord = 1;
constexpr size_t kFirstEpcWord = 2;

std::vector<uint16_t> WordsOf(const Bytes& bytes, size_t wordCount) {
  std::vector<uint16_t> words(wordCount, 0);
  for (size_t i = 0; i < wordCount && 2 * i < bytes.size(); ++i) {
    const uint8_t high = bytes[2 * i];
    const uint8_t low = 2 * i + 1 < bytes.size() ? bytes[2 * i + 1] : 0;
    words[i] = static_cast<uint16_t>((high << 8) | low);
  }
  return words;
}

uint32_t PasswordOf(const Bytes& bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < bytes.size(); ++i) value = (value << 8) | bytes[i];
  return value;
}

LockArea AreaOf(MemoryBank bank, size_t address) {
  switch (bank) {
    case MemoryBank::kReserved:
      return address < kAccessPasswordWord ? LockArea::kKillPassword : LockArea::kAccessPassword;
    case MemoryBank::kEpc: return LockArea::kEpc;
    case MemoryBank::kTid: return LockArea::kTid;
    case MemoryBank::kUser: return LockArea::kUser;
  }
  return LockArea::kUser;
}

// Locked for this access: behind the password while the tag is open, or permanently locked.
bool Refuses(const LockState& state, bool secured) {
  return state.passwordLocked && (state.permanent || !secured);
}

}  // namespace

std::optional<MemoryBank> BankFromCode(uint8_t code) {
  if (code > 3) return std::nullopt;
  return static_cast<MemoryBank>(code);
}

Tag::Tag(const TagContents& contents)
    : antennaMask_(contents.antennaMask), minPowerDbm_(contents.minPowerDbm), presence_(contents.presence) {
  BankOf(MemoryBank::kReserved) = {static_cast<uint16_t>(contents.killPassword >> 16),
                                   static_cast<uint16_t>(contents.killPassword & 0xFFFF),
                                   static_cast<uint16_t>(contents.accessPassword >> 16),
                                   static_cast<uint16_t>(contents.accessPassword & 0xFFFF)};
  const size_t epcWords = std::min<size_t>(contents.epc.size() / 2, 31);
  const size_t capacity = std::max(contents.epcCapacityWords, epcWords);
  auto& epcBank = BankOf(MemoryBank::kEpc);
  epcBank.assign(kFirstEpcWord + capacity, 0);
  epcBank[kPcWord] = static_cast<uint16_t>(epcWords << 11);
  const std::vector<uint16_t> epc = WordsOf(contents.epc, epcWords);
  std::copy(epc.begin(), epc.end(), epcBank.begin() + kFirstEpcWord);
  RefreshStoredCrc();
  BankOf(MemoryBank::kTid) = WordsOf(contents.tid, (contents.tid.size() + 1) / 2);
  BankOf(MemoryBank::kUser) = WordsOf(contents.user, std::min(contents.userWords, kMaxUserWords));
  // A TID is written at the factory and permanently locked there.
  SetLock(LockArea::kTid, LockState{true, true});
}

uint16_t Tag::Word(MemoryBank bank, size_t address) const {
  const auto& words = banks_[static_cast<size_t>(bank)];
  return address < words.size() ? words[address] : 0;
}

Bytes Tag::Record() const {
  const uint16_t pcWord = pc();
  const size_t epcWords = pcWord >> 11;
  Bytes record{static_cast<uint8_t>(pcWord >> 8), static_cast<uint8_t>(pcWord & 0xFF)};
  for (size_t i = 0; i < epcWords; ++i) {
    const uint16_t word = Word(MemoryBank::kEpc, kFirstEpcWord + i);
    record.push_back(static_cast<uint8_t>(word >> 8));
    record.push_back(static_cast<uint8_t>(word & 0xFF));
  }
  return record;
}

void Tag::RefreshStoredCrc() {
  const Bytes record = Record();
  BankOf(MemoryBank::kEpc)[kStoredCrcWord] = FrameCrc(record.data(), record.size());
}

TagError Tag::Authorize(const Bytes& accessPassword, bool* secured) const {
  const uint32_t given = PasswordOf(accessPassword);
  const uint32_t own = (static_cast<uint32_t>(Word(MemoryBank::kReserved, kAccessPasswordWord)) << 16) |
                       Word(MemoryBank::kReserved, kAccessPasswordWord + 1);
  if (given == 0) {
    *secured = own == 0;
    return std::nullopt;
  }
  if (given != own) return errors::kWrongAccessPassword;
  *secured = true;
  return std::nullopt;
}

TagError Tag::CheckReadable(MemoryBank bank, size_t address, bool secured) const {
  // Only the passwords can be read-locked; the other banks are always readable.
  if (bank != MemoryBank::kReserved) return std::nullopt;
  if (Refuses(lock(AreaOf(bank, address)), secured)) return errors::kMemoryLocked;
  return std::nullopt;
}

TagError Tag::CheckWritable(MemoryBank bank, size_t address, bool secured) const {
  if (Refuses(lock(AreaOf(bank, address)), secured)) return errors::kMemoryLocked;
  return std::nullopt;
}

TagError Tag::Read(MemoryBank bank, size_t address, size_t count, bool secured, Bytes* out) const {
  const size_t size = BankWords(bank);
  if (address > size) return errors::kMemoryOverrun;
  if (count == 0) count = size - address;
  if (count > size - address) return errors::kMemoryOverrun;
  Bytes data;
  for (size_t i = 0; i < count; ++i) {
    if (TagError error = CheckReadable(bank, address + i, secured)) return error;
    const uint16_t word = Word(bank, address + i);
    data.push_back(static_cast<uint8_t>(word >> 8));
    data.push_back(static_cast<uint8_t>(word & 0xFF));
  }
  *out = std::move(data);
  return std::nullopt;
}

WriteOutcome Tag::Write(MemoryBank bank, size_t address, const Bytes& data, bool secured, size_t wordLimit) {
  WriteOutcome outcome;
  const size_t count = data.size() / 2;
  for (size_t i = 0; i < count; ++i) {
    if (i >= wordLimit) {
      outcome.torn = true;
      break;
    }
    const size_t target = address + i;
    if (target >= BankWords(bank)) {
      outcome.error = errors::kMemoryOverrun;
      break;
    }
    if (TagError error = CheckWritable(bank, target, secured)) {
      outcome.error = error;
      break;
    }
    BankOf(bank)[target] = static_cast<uint16_t>((data[2 * i] << 8) | data[2 * i + 1]);
    ++outcome.wordsWritten;
  }
  // The tag keeps its stored CRC over the PC word and the EPC it announces.
  if (bank == MemoryBank::kEpc) RefreshStoredCrc();
  return outcome;
}

TagError Tag::Erase(MemoryBank bank, size_t address, size_t count, bool secured) {
  const size_t size = BankWords(bank);
  if (address > size || count > size - address) return errors::kMemoryOverrun;
  for (size_t i = 0; i < count; ++i) {
    if (TagError error = CheckWritable(bank, address + i, secured)) return error;
  }
  auto& words = BankOf(bank);
  std::fill(words.begin() + static_cast<std::ptrdiff_t>(address),
            words.begin() + static_cast<std::ptrdiff_t>(address + count), 0);
  if (bank == MemoryBank::kEpc) RefreshStoredCrc();
  return std::nullopt;
}

TagError Tag::Lock(const Bytes& payload, bool secured) {
  if (payload.size() != 3) return errors::kBadParameter;
  // Lock is only obeyed in the secured state.
  if (!secured) return errors::kNotSecured;
  const uint32_t value = (static_cast<uint32_t>(payload[0]) << 16) | (payload[1] << 8) | payload[2];
  const uint32_t mask = (value >> 10) & 0x3FF;
  const uint32_t action = value & 0x3FF;
  std::array<LockState, kLockAreaCount> next = locks_;
  for (size_t area = 0; area < kLockAreaCount; ++area) {
    const uint32_t passwordBit = 1u << (9 - 2 * area);
    const uint32_t permanentBit = 1u << (8 - 2 * area);
    if (mask & passwordBit) next[area].passwordLocked = (action & passwordBit) != 0;
    if (mask & permanentBit) next[area].permanent = (action & permanentBit) != 0;
    // A permanent lock or unlock can never change again; the whole command is refused.
    if (locks_[area].permanent && !(next[area] == locks_[area])) return errors::kMemoryLocked;
  }
  locks_ = next;
  return std::nullopt;
}

TagError Tag::Kill(const Bytes& killPassword) {
  const uint32_t own = (static_cast<uint32_t>(Word(MemoryBank::kReserved, kKillPasswordWord)) << 16) |
                       Word(MemoryBank::kReserved, kKillPasswordWord + 1);
  // A tag whose kill password is zero cannot be killed.
  if (own == 0 || PasswordOf(killPassword) != own) return errors::kKillRefused;
  killed_ = true;
  return std::nullopt;
}

}  // namespace quarn::sim
