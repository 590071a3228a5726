#pragma once
// Locking a tag's memory banks and passwords: one action per lockable area, turned into the 3-byte
// payload of the Gen2 Lock command by the library's one lock-code routine (LockGenCode's).

#include <array>
#include <cstdint>

#include "quarn/config.h"

namespace quarn {

// What the Lock command does to one area. The numbers are LockGenCode's choices.
enum class LockAction : uint8_t {
  kUnchanged = 0,    // the area keeps its present lock state
  kLock = 1,         // writable (passwords: readable and writable) only in the secured state
  kUnlock = 2,       // writable in the open and the secured state
  kPermaLock = 3,    // never writable again (passwords: neither readable nor writable), in any state
  kPermaUnlock = 4,  // writable in every state, and never lockable again
};

// One action for each of the five areas; those left kUnchanged keep their state.
struct LockSettings {
  LockAction killPassword = LockAction::kUnchanged;
  LockAction accessPassword = LockAction::kUnchanged;
  LockAction epc = LockAction::kUnchanged;
  LockAction tid = LockAction::kUnchanged;
  LockAction user = LockAction::kUnchanged;
};

// The 3 bytes the lock commands send: the Gen2 Lock command's 10 mask and 10 action bits behind four
// zero bits, byte 0 first.
class QUARN_CPP_API LockPayload {
 public:
  // A payload as it stands, for one built elsewhere.
  constexpr explicit LockPayload(const std::array<uint8_t, 3>& bytes) : bytes_(bytes) {}
  // The payload of the settings: LockGenCode's bits for each area.
  LockPayload(const LockSettings& settings);

  constexpr const std::array<uint8_t, 3>& bytes() const { return bytes_; }

 private:
  std::array<uint8_t, 3> bytes_{};
};

}  // namespace quarn
