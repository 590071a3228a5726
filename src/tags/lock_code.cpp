#include "tags/lock_code.h"

#include <cstddef>

namespace quarn::tags {

namespace {

constexpr size_t kLockPayloadSize = 3;

// Where one area keeps its bits. Read as a 24-bit number with byte 0 high, the payload is 10 mask bits
// then 10 action bits; each area owns a pair of each, the higher bit for password access and the lower
// for the permanent lock.
struct LockArea {
  size_t maskByte;
  uint8_t maskBits;
  size_t actionByte;
  uint8_t actionShift;  // the area's action pair, as the value 0 to 3 shifted into place
};

constexpr LockArea kKillPassword = {0, 0x0C, 1, 0};
constexpr LockArea kAccessPassword = {0, 0x03, 2, 6};
constexpr LockArea kEpcMemory = {1, 0xC0, 2, 4};
constexpr LockArea kTidMemory = {1, 0x30, 2, 2};
constexpr LockArea kUserMemory = {1, 0x0C, 2, 0};

// The action pair for choices 1 to 4: locked 10, unlocked 00, permanently locked 11, permanently
// unlocked 01. Every choice sets both mask bits; any other choice sets nothing.
constexpr uint8_t kActionOfChoice[] = {0, 0b10, 0b00, 0b11, 0b01};
constexpr uint8_t kLastChoice = 4;

void ApplyChoice(const LockArea& area, uint32_t choice, uint8_t* lockPayload) {
  const uint8_t value = static_cast<uint8_t>(choice & 0xFF);
  if (value == 0 || value > kLastChoice) return;
  lockPayload[area.maskByte] |= area.maskBits;
  lockPayload[area.actionByte] |= static_cast<uint8_t>(kActionOfChoice[value] << area.actionShift);
}

}  // namespace

void BuildLockPayload(uint32_t killPasswordChoice, uint32_t accessPasswordChoice, uint32_t epcChoice,
                      uint32_t tidChoice, uint32_t userChoice, uint8_t* lockPayload) {
  for (size_t i = 0; i < kLockPayloadSize; ++i) lockPayload[i] = 0;
  ApplyChoice(kKillPassword, killPasswordChoice, lockPayload);
  ApplyChoice(kAccessPassword, accessPasswordChoice, lockPayload);
  ApplyChoice(kEpcMemory, epcChoice, lockPayload);
  ApplyChoice(kTidMemory, tidChoice, lockPayload);
  ApplyChoice(kUserMemory, userChoice, lockPayload);
}

}  // namespace quarn::tags
