#pragma once
// Every command the library sends: its plain-mode code (CRC mode adds bit 7), the receiver that reads
// its reply and the time limit handed to that receiver. Receive-only exports have a ReceiveSpec.

#include <cstdint>

#include "link/frame_format.h"

namespace quarn::link {

struct CommandSpec {
  uint8_t code;
  uint32_t timeLimitMs;
  FrameKind receiver;
};

struct ReceiveSpec {
  uint32_t timeLimitMs;
  FrameKind receiver;
};

// Time limits by family.
inline constexpr uint32_t kManagementTimeLimitMs = 800;    // reader, inventory, filters, SAM, antennas, update start/commit
inline constexpr uint32_t kRegisterReadTimeLimitMs = 200;  // the register read
inline constexpr uint32_t kTagAccessTimeLimitMs = 10000;   // tag memory operations and multi-antenna data frames
inline constexpr uint32_t kUpdateTransferTimeLimitMs = 8000;  // firmware size and data

// The stop command is the one exchange with retries.
inline constexpr int kStopSendAttempts = 2;
inline constexpr int kStopReceiveAttempts = 5;

namespace commands {

constexpr CommandSpec Plain(uint8_t code, uint32_t limit) { return {code, limit, FrameKind::kPlain}; }
constexpr CommandSpec Antenna(uint8_t code, uint32_t limit) { return {code, limit, FrameKind::kAntenna}; }

// Reader management.
inline constexpr CommandSpec kGetPaStatus = Plain(0x00, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetPower = Plain(0x01, kManagementTimeLimitMs);
inline constexpr CommandSpec kSetPower = Plain(0x02, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetFrequency = Plain(0x05, kManagementTimeLimitMs);
inline constexpr CommandSpec kSetFrequency = Plain(0x06, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetVersion = Plain(0x07, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetReaderUid = Plain(0x0A, kManagementTimeLimitMs);
inline constexpr CommandSpec kEnterTransparentTransfer = Plain(0x0B, kManagementTimeLimitMs);
inline constexpr CommandSpec kLeaveTransparentTransfer = Plain(0x1B, kManagementTimeLimitMs);
inline constexpr CommandSpec kStopOperation = Plain(0x12, kManagementTimeLimitMs);
inline constexpr CommandSpec kEnterSleepMode = Plain(0x50, kManagementTimeLimitMs);

// Parameter registers.
inline constexpr CommandSpec kGetRegister = Plain(0x30, kRegisterReadTimeLimitMs);
inline constexpr CommandSpec kSetRegister = Plain(0x31, kManagementTimeLimitMs);
inline constexpr CommandSpec kResetRegister = Plain(0x32, kManagementTimeLimitMs);
inline constexpr CommandSpec kSaveRegister = Plain(0x33, kManagementTimeLimitMs);

// Antennas.
inline constexpr CommandSpec kCheckAntenna = Plain(0x03, kManagementTimeLimitMs);
inline constexpr CommandSpec kChooseAntenna = Plain(0x04, kManagementTimeLimitMs);

// Inventory.
inline constexpr CommandSpec kStartInventory = Plain(0x10, kManagementTimeLimitMs);
inline constexpr CommandSpec kStartInventoryWithParameter = Plain(0x11, kManagementTimeLimitMs);
inline constexpr ReceiveSpec kReadInventory = {kManagementTimeLimitMs, FrameKind::kPlain};
inline constexpr CommandSpec kInventorySingleTag = Plain(0x18, kManagementTimeLimitMs);

// Tag memory by EPC.
inline constexpr CommandSpec kReadDataByEpc = Plain(0x13, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kWriteDataByEpc = Plain(0x14, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kEraseDataByEpc = Plain(0x15, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kLockMemByEpc = Plain(0x16, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kKillTagByEpc = Plain(0x17, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kBlockWriteDataByEpc = Plain(0x19, kTagAccessTimeLimitMs);

// Tag memory of the single tag in the field.
inline constexpr CommandSpec kReadDataFromSingleTag = Plain(0x20, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kWriteDataToSingleTag = Plain(0x21, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kEraseDataFromSingleTag = Plain(0x22, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kLockMemFromSingleTag = Plain(0x23, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kKillSingleTag = Plain(0x24, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kBlockWriteDataToSingleTag = Plain(0x25, kTagAccessTimeLimitMs);

// Multi-tag read.
inline constexpr CommandSpec kStartReadDataFromMultiTag = Plain(0x26, kTagAccessTimeLimitMs);
inline constexpr ReceiveSpec kGetDataFromMultiTag = {kTagAccessTimeLimitMs, FrameKind::kPlain};

// Select filters.
inline constexpr CommandSpec kAddFilter = Plain(0x38, kManagementTimeLimitMs);
inline constexpr CommandSpec kDeleteFilterByIndex = Plain(0x39, kManagementTimeLimitMs);
inline constexpr CommandSpec kStartGetFilterByIndex = Plain(0x3A, kManagementTimeLimitMs);
inline constexpr ReceiveSpec kReadFilterByIndex = {kManagementTimeLimitMs, FrameKind::kPlain};
inline constexpr CommandSpec kSelectFilterByIndex = Plain(0x3B, kManagementTimeLimitMs);

// Secure access module and SR data.
inline constexpr CommandSpec kSetSam = Plain(0x43, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetInfoSamToSrA = Plain(0x44, kManagementTimeLimitMs);
inline constexpr CommandSpec kGetInfoSamToSrB = Plain(0x45, kManagementTimeLimitMs);
inline constexpr CommandSpec kSetPsamPower = Plain(0x46, kManagementTimeLimitMs);
inline constexpr CommandSpec kWriteSrToTagByEpc = Plain(0x70, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kWriteSrToTagSingle = Plain(0x71, kTagAccessTimeLimitMs);
inline constexpr CommandSpec kGetSr = Plain(0x72, kManagementTimeLimitMs);

// Firmware update.
inline constexpr CommandSpec kUpdateInit = Plain(0x53, kManagementTimeLimitMs);
inline constexpr CommandSpec kUpdateSendRn32 = Plain(0x54, kManagementTimeLimitMs);
inline constexpr CommandSpec kUpdateSendSize = Plain(0x56, kUpdateTransferTimeLimitMs);
inline constexpr CommandSpec kUpdateSendData = Plain(0x57, kUpdateTransferTimeLimitMs);
inline constexpr CommandSpec kUpdateCommit = Plain(0x58, kManagementTimeLimitMs);

// Multi-antenna forms: the same codes, answered in antenna reply frames.
inline constexpr CommandSpec kStartInventoryForMultiAnt = Antenna(0x10, kManagementTimeLimitMs);
inline constexpr CommandSpec kStartInventoryForMultiAntWithParameter = Antenna(0x11, kManagementTimeLimitMs);
inline constexpr ReceiveSpec kReadInventoryFromMultiAnt = {kManagementTimeLimitMs, FrameKind::kAntenna};
inline constexpr CommandSpec kStartReadDataForMultiAnt = Antenna(0x26, kManagementTimeLimitMs);
inline constexpr ReceiveSpec kGetDataFromMultiAnt = {kTagAccessTimeLimitMs, FrameKind::kAntenna};

}  // namespace commands
}  // namespace quarn::link
