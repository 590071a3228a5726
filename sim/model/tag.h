#pragma once
// One EPC Gen2 tag: four memory banks of 16-bit words, lock bits per area, passwords in the reserved
// bank, a PC word whose EPC-length field decides how much of the EPC bank the tag backscatters.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "sim/codec/frame_codec.h"
#include "sim/model/presence.h"

namespace quarn::sim {

enum class MemoryBank : uint8_t { kReserved = 0, kEpc = 1, kTid = 2, kUser = 3 };

// The five areas of the Lock command, in its payload order.
enum class LockArea : uint8_t { kKillPassword = 0, kAccessPassword = 1, kEpc = 2, kTid = 3, kUser = 4 };
inline constexpr size_t kLockAreaCount = 5;

// passwordLocked is the Gen2 "pwd-write" (banks) or "pwd-read/write" (passwords) bit.
struct LockState {
  bool passwordLocked = false;
  bool permanent = false;
  bool operator==(const LockState& other) const {
    return passwordLocked == other.passwordLocked && permanent == other.permanent;
  }
};

// nullopt: success; a value: the error code.
using TagError = std::optional<uint8_t>;

struct WriteOutcome {
  TagError error;
  size_t wordsWritten = 0;
  bool torn = false;  // the tag stopped answering after wordsWritten words (a fault), without a code
};

inline constexpr size_t kReservedBankWords = 4;
inline constexpr size_t kMaxUserWords = 256;

struct TagContents {
  Bytes epc;                 // EPC words, high byte first; the PC word is derived from its length
  Bytes tid;
  size_t userWords = 32;
  Bytes user;                // initial user memory, shorter than userWords * 2 is zero-filled
  size_t epcCapacityWords = 16;  // room for the EPC behind the stored CRC and the PC word
  uint32_t accessPassword = 0;
  uint32_t killPassword = 0;
  uint8_t antennaMask = 0xFF;    // bit k: antenna k + 1 sees the tag
  int minPowerDbm = 0;           // read power needed to see it; writes need 3 dB more
  Presence presence;             // when it is in the field; always by default
};

class Tag {
 public:
  explicit Tag(const TagContents& contents);

  // PC word and the EPC words it announces, as inventory reports them.
  Bytes Record() const;
  uint16_t pc() const { return Word(MemoryBank::kEpc, 1); }

  size_t BankWords(MemoryBank bank) const { return banks_[static_cast<size_t>(bank)].size(); }
  uint16_t Word(MemoryBank bank, size_t address) const;

  // Access: a zero password leaves the tag open unless its own access password is zero too (then it is
  // secured at once); a matching one secures it; a wrong nonzero one fails the operation.
  TagError Authorize(const Bytes& accessPassword, bool* secured) const;

  // count 0 on Read means from address to the end of the bank.
  TagError Read(MemoryBank bank, size_t address, size_t count, bool secured, Bytes* out) const;
  // Word by word, as the reader writes them: an error stops the write where it happened.
  WriteOutcome Write(MemoryBank bank, size_t address, const Bytes& data, bool secured, size_t wordLimit = SIZE_MAX);
  // All or nothing: range and locks are checked before any word is cleared.
  TagError Erase(MemoryBank bank, size_t address, size_t count, bool secured);
  TagError Lock(const Bytes& payload, bool secured);
  TagError Kill(const Bytes& killPassword);

  LockState lock(LockArea area) const { return locks_[static_cast<size_t>(area)]; }
  void SetLock(LockArea area, LockState state) { locks_[static_cast<size_t>(area)] = state; }

  bool killed() const { return killed_; }
  uint8_t antennaMask() const { return antennaMask_; }
  void SetAntennaMask(uint8_t mask) { antennaMask_ = mask; }
  int minPowerDbm() const { return minPowerDbm_; }
  void SetMinPowerDbm(int dbm) { minPowerDbm_ = dbm; }
  const Presence& presence() const { return presence_; }
  bool PresentAt(uint64_t nowUs) const { return presence_.At(nowUs); }
  void SetPresence(const Presence& presence) { presence_ = presence; }

  // The raw memory and the killed mark, for a state that outlives the program.
  const std::vector<uint16_t>& words(MemoryBank bank) const { return banks_[static_cast<size_t>(bank)]; }
  void RestoreBank(MemoryBank bank, std::vector<uint16_t> words) { BankOf(bank) = std::move(words); }
  void RestoreKilled(bool killed) { killed_ = killed; }

 private:
  std::vector<uint16_t>& BankOf(MemoryBank bank) { return banks_[static_cast<size_t>(bank)]; }
  TagError CheckWritable(MemoryBank bank, size_t address, bool secured) const;
  TagError CheckReadable(MemoryBank bank, size_t address, bool secured) const;
  void RefreshStoredCrc();

  std::array<std::vector<uint16_t>, 4> banks_;
  std::array<LockState, kLockAreaCount> locks_{};
  bool killed_ = false;
  uint8_t antennaMask_;
  int minPowerDbm_;
  Presence presence_;
};

std::optional<MemoryBank> BankFromCode(uint8_t code);

}  // namespace quarn::sim
