#pragma once
// The rules by which a reply's status byte reports success, named as the commands use them.

#include <cstdint>

#include "link/command_table.h"
#include "link/outcome.h"

namespace quarn::link {

inline constexpr uint8_t kStatusErrorBit = 0x80;
inline constexpr uint8_t kStatusFlagBit = 0x01;
inline constexpr uint8_t kStatusErrorCodeMask = kStatusErrorBit | kStatusFlagBit;

// The register commands and a few management commands succeed only on status 0.
inline bool IsZeroStatus(uint8_t status) { return status == 0; }
// Most commands, the tag reads and writes among them.
inline bool HasErrorBitClear(uint8_t status) { return (status & kStatusErrorBit) == 0; }
// The inventory start: bit 7 clear, bit 0 set.
inline bool IsInventoryStartStatus(uint8_t status) { return (status & kStatusErrorCodeMask) == kStatusFlagBit; }
// An inventory report: bits 7 and 0 clear.
inline bool IsInventoryReportStatus(uint8_t status) { return (status & kStatusErrorCodeMask) == 0; }
// The multi-antenna inventory start does not look at bit 7.
inline bool HasFlagBitSet(uint8_t status) { return (status & kStatusFlagBit) != 0; }
// The multi-tag read starts.
inline bool IsOneStatus(uint8_t status) { return status == 1; }
// Bit 7 and bit 0 both set: the reader's error code follows as reply data byte 0.
inline bool CarriesErrorCode(uint8_t status) { return (status & kStatusErrorCodeMask) == kStatusErrorCodeMask; }

inline bool PassesStatusRule(StatusRule rule, uint8_t status) {
  switch (rule) {
    case StatusRule::kZero:
      return IsZeroStatus(status);
    case StatusRule::kErrorBitClear:
      return HasErrorBitClear(status);
    case StatusRule::kInventoryStart:
      return IsInventoryStartStatus(status);
    case StatusRule::kInventoryReport:
      return IsInventoryReportStatus(status);
    case StatusRule::kFlagBitSet:
      return HasFlagBitSet(status);
    case StatusRule::kOne:
      return IsOneStatus(status);
    case StatusRule::kZeroOrOne:
      return status <= 1;
    case StatusRule::kAny:
      return true;
  }
  return false;
}

// Tag reports, and the multi-antenna start's acknowledgement, come with the code of either start form, in
// either mode, and with bit 5 set or clear. (The single-antenna start's acknowledgement echoes its code
// exactly.)
inline constexpr uint8_t kInventoryCodeMask = 0x5F;

inline bool IsInventoryCode(uint8_t code) {
  const uint8_t masked = code & kInventoryCodeMask;
  return masked == commands::kStartInventory.code || masked == commands::kStartInventoryWithParameter.code;
}

}  // namespace quarn::link
