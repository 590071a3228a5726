#pragma once
// The rules by which a reply's status byte reports success, named as the commands use them.

#include <cstdint>

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

// errorCode after a reply that carries no code, success included, and after no usable reply.
inline constexpr uint8_t kNoErrorCode = 0xFF;

}  // namespace quarn::link
