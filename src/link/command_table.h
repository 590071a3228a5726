#pragma once
// Every command the library sends, and every frame it takes from a stream, as one row of data: its
// plain-mode code (CRC mode adds bit 7), the receiver and time limit, the rule its reply must pass, where
// the reply's fields sit, how a refusal reports the reader's error code, and the parameter fields it
// carries. The library, the virtual reader and the tool read these rows, so a command's code and name
// are written here and nowhere else.

#include <cstddef>
#include <cstdint>

#include "link/frame_format.h"

namespace quarn::link {

// When a reply's status byte reports success.
enum class StatusRule : uint8_t {
  kZero,             // status 0
  kErrorBitClear,    // status bit 7 clear
  kInventoryStart,   // bit 7 clear and bit 0 set
  kInventoryReport,  // bits 7 and 0 clear
  kFlagBitSet,       // bit 0 set; bit 7 is not looked at
  kOne,              // status 1
  kZeroOrOne,        // status 0, or 1 with an answer behind it
  kAny,              // the family reads the status itself
};

// Which echoed codes a reply may carry.
enum class EchoRule : uint8_t {
  kExact,          // the code as sent, bit 7 included, so a reply in the other mode is refused
  kInventoryCode,  // either inventory start code, in either mode, with bit 5 set or clear
  kEitherMode,     // the row's code with or without bit 7: the frames of a stream
};

// How a refusal tells the reader's error code.
enum class ErrorCodeForm : uint8_t {
  kNone,          // it carries none
  kAfterStatus,   // a status with bits 7 and 0 set is followed by the code in reply data byte 0
  kStatus,        // the refusing status byte is itself the code
  kWriteOutcome,  // the write outcome of a block or SR write: code, written words, the tag's record
};

// The kinds of parameter field a command frame carries, in the order the command sends them.
enum class Field : uint8_t {
  kNone,             // no further field
  kAccessPassword,   // 4 bytes
  kKillPassword,     // 4 bytes
  kBank,             // 1 byte
  kWordPointer,      // EBV, 1 or 2 bytes
  kWordCount,        // 1 byte
  kWords,            // 2 x the word count sent before
  kTagRecord,        // its size from its first byte
  kLockPayload,      // 3 bytes
  kRegisterAddress,  // 2 bytes, high first
  kRegisterCount,    // 2 bytes, high first
  kByte,             // 1 byte, named by the row
  kRest,             // everything left, named by the row
};

struct ParameterField {
  Field kind = Field::kNone;
  const char* name = nullptr;
};

inline constexpr size_t kMaxParameterFields = 8;

struct CommandSpec {
  const char* name;
  uint8_t code;
  FrameKind receiver;
  uint32_t timeLimitMs;
  StatusRule statusRule;
  EchoRule echoRule;
  ReplyLayout layout;
  ErrorCodeForm errorCodeForm;
  LengthForms lengthForms;
  bool receiveOnly;    // sends nothing: takes the next frame of a running stream
  bool markerChecked;  // an antenna reply frame whose marker byte must be 0xFE
  ParameterField parameters[kMaxParameterFields];
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

using F = ParameterField;

// Parameter fields that several commands share.
inline constexpr F kPassword{Field::kAccessPassword, "access password"};
inline constexpr F kBank{Field::kBank, "bank"};
inline constexpr F kPointer{Field::kWordPointer, "word address"};
inline constexpr F kCount{Field::kWordCount, "word count"};
inline constexpr F kWords{Field::kWords, "data"};
inline constexpr F kRecord{Field::kTagRecord, "tag"};
inline constexpr F kLockPayload{Field::kLockPayload, "lock payload"};
inline constexpr F kKillPassword{Field::kKillPassword, "kill password"};
inline constexpr F kAddress{Field::kRegisterAddress, "address"};
inline constexpr F kRegisterCount{Field::kRegisterCount, "count"};
inline constexpr F kApdu{Field::kRest, "APDU"};
inline constexpr F kSr1{Field::kByte, "SR parameter 1"};
inline constexpr F kSr2{Field::kByte, "SR parameter 2"};
inline constexpr F kSr3{Field::kByte, "SR parameter 3"};
inline constexpr F kSr4{Field::kByte, "SR parameter 4"};
inline constexpr F kFilterIndex{Field::kByte, "index"};
inline constexpr F kFilterOption{Field::kByte, "option"};
inline constexpr F kMultiTagReadOptions{Field::kRest, "read options"};

// A command answered in a short frame at the one-byte positions.
constexpr CommandSpec Short(const char* name, uint8_t code, uint32_t limit, StatusRule rule, F p0 = {}, F p1 = {},
                            F p2 = {}, F p3 = {}, F p4 = {}) {
  return {name, code, FrameKind::kPlain, limit, rule, EchoRule::kExact, ReplyLayout::kOneByteForm,
          ErrorCodeForm::kNone, LengthForms::kOneByteOnly, false, false, {p0, p1, p2, p3, p4}};
}

constexpr CommandSpec Management(const char* name, uint8_t code, StatusRule rule, F p0 = {}, F p1 = {}) {
  return Short(name, code, kManagementTimeLimitMs, rule, p0, p1);
}

// A tag operation: the reader's error code follows a refusing status with bits 7 and 0 set.
constexpr CommandSpec TagAccess(const char* name, uint8_t code, ReplyLayout layout, F p0, F p1 = {}, F p2 = {},
                                F p3 = {}, F p4 = {}, F p5 = {}) {
  return {name, code, FrameKind::kPlain, kTagAccessTimeLimitMs, StatusRule::kErrorBitClear, EchoRule::kExact, layout,
          ErrorCodeForm::kAfterStatus, LengthForms::kOneByteOnly, false, false, {p0, p1, p2, p3, p4, p5}};
}

// A block or SR write, whose outcome the write family decodes from the reply.
constexpr CommandSpec Write(const char* name, uint8_t code, LengthForms forms, F p0, F p1, F p2, F p3 = {},
                            F p4 = {}, F p5 = {}, F p6 = {}, F p7 = {}) {
  return {name, code, FrameKind::kPlain, kTagAccessTimeLimitMs, StatusRule::kErrorBitClear, EchoRule::kExact,
          ReplyLayout::kOneByteForm, ErrorCodeForm::kWriteOutcome, forms, false, false,
          {p0, p1, p2, p3, p4, p5, p6, p7}};
}

// A register or filter command: the refusing status byte is the reader's code.
constexpr CommandSpec StatusCoded(const char* name, uint8_t code, uint32_t limit, StatusRule rule, LengthForms forms,
                                  F p0 = {}, F p1 = {}, F p2 = {}) {
  return {name, code, FrameKind::kPlain, limit, rule, EchoRule::kExact, ReplyLayout::kOneByteForm,
          ErrorCodeForm::kStatus, forms, false, false, {p0, p1, p2}};
}

// A frame of a running stream, taken without sending.
constexpr CommandSpec Stream(const char* name, uint8_t code, FrameKind receiver, uint32_t limit, StatusRule rule,
                             EchoRule echo, ReplyLayout layout, bool markerChecked) {
  return {name, code, receiver, limit, rule, echo, layout, ErrorCodeForm::kNone, LengthForms::kOneByteOnly, true,
          markerChecked, {}};
}

constexpr CommandSpec AntennaStart(const char* name, uint8_t code, uint32_t limit, StatusRule rule, EchoRule echo,
                                   F p0 = {}, F p1 = {}, F p2 = {}, F p3 = {}, F p4 = {}) {
  return {name, code, FrameKind::kAntenna, limit, rule, echo, ReplyLayout::kOneByteForm, ErrorCodeForm::kNone,
          LengthForms::kOneByteOnly, false, true, {p0, p1, p2, p3, p4}};
}

constexpr CommandSpec Update(const char* name, uint8_t code, uint32_t limit, LengthForms forms, F p0 = {},
                             F p1 = {}, F p2 = {}) {
  return {name, code, FrameKind::kPlain, limit, StatusRule::kZero, EchoRule::kExact, ReplyLayout::kOneByteForm,
          ErrorCodeForm::kNone, forms, false, false, {p0, p1, p2}};
}

// Reader management.
inline constexpr CommandSpec kGetPaStatus = Management("GetPaStatus", 0x00, StatusRule::kZero);
inline constexpr CommandSpec kGetPower = Management("GetPower", 0x01, StatusRule::kErrorBitClear);
inline constexpr CommandSpec kSetPower =
    Management("SetPower", 0x02, StatusRule::kErrorBitClear, {Field::kByte, "power 1"}, {Field::kByte, "power 2"});
inline constexpr CommandSpec kGetFrequency = Management("GetFrequency", 0x05, StatusRule::kErrorBitClear);
inline constexpr CommandSpec kSetFrequency =
    Management("SetFrequency", 0x06, StatusRule::kErrorBitClear, {Field::kRest, "frequency setting"});
inline constexpr CommandSpec kGetVersion = Management("GetVersion", 0x07, StatusRule::kErrorBitClear);
inline constexpr CommandSpec kGetReaderUid = Management("GetReaderUID", 0x0A, StatusRule::kZero);
inline constexpr CommandSpec kEnterTransparentTransfer =
    Management("EnterTransparentTransfer", 0x0B, StatusRule::kZero);
inline constexpr CommandSpec kLeaveTransparentTransfer =
    Management("LeaveTransparentTransfer", 0x1B, StatusRule::kZero);
inline constexpr CommandSpec kStopOperation = Management("StopOperation", 0x12, StatusRule::kErrorBitClear);
inline constexpr CommandSpec kEnterSleepMode = Management("EnterSleepMode", 0x50, StatusRule::kZero);

// Parameter registers. The read's reply form follows from the count it asks for (the family names it).
inline constexpr CommandSpec kGetRegister = StatusCoded("GetRegister", 0x30, kRegisterReadTimeLimitMs,
                                                        StatusRule::kZero, LengthForms::kOneByteOnly, kAddress,
                                                        kRegisterCount);
inline constexpr CommandSpec kSetRegister =
    StatusCoded("SetRegister", 0x31, kManagementTimeLimitMs, StatusRule::kZero, LengthForms::kTwoByteWhenLong,
                kAddress, kRegisterCount, {Field::kRest, "data"});
inline constexpr CommandSpec kResetRegister = Management("ResetRegister", 0x32, StatusRule::kZero);
inline constexpr CommandSpec kSaveRegister = Management("SaveRegister", 0x33, StatusRule::kZero);

// Antennas.
inline constexpr CommandSpec kCheckAntenna = Management("CheckANT", 0x03, StatusRule::kZero);
inline constexpr CommandSpec kChooseAntenna =
    Management("ChooseANT", 0x04, StatusRule::kZero, {Field::kByte, "antenna"});

// Inventory. Tag reports come with either start code, in either mode.
inline constexpr CommandSpec kStartInventory = Management("StartInventory", 0x10, StatusRule::kInventoryStart);
inline constexpr CommandSpec kStartInventoryWithParameter =
    Management("StartInventoryWithParameter", 0x11, StatusRule::kInventoryStart, {Field::kByte, "parameter"});
inline constexpr CommandSpec kReadInventory =
    Stream("ReadInventory", 0x10, FrameKind::kPlain, kManagementTimeLimitMs, StatusRule::kInventoryReport,
           EchoRule::kInventoryCode, ReplyLayout::kOneByteForm, false);
inline constexpr CommandSpec kInventorySingleTag = Management("InventorySingleTag", 0x18, StatusRule::kZero);

// Tag memory by EPC. Reads arrive in the two-byte form when long, so their fields sit as received.
inline constexpr CommandSpec kReadDataByEpc =
    TagAccess("ReadDataByEPC", 0x13, ReplyLayout::kAsReceived, kPassword, kBank, kPointer, kCount, kRecord);
inline constexpr CommandSpec kWriteDataByEpc =
    TagAccess("WriteDataByEPC", 0x14, ReplyLayout::kOneByteForm, kPassword, kBank, kPointer, kCount, kWords, kRecord);
inline constexpr CommandSpec kEraseDataByEpc =
    TagAccess("EraseDataByEPC", 0x15, ReplyLayout::kOneByteForm, kPassword, kBank, kPointer, kCount, kRecord);
inline constexpr CommandSpec kLockMemByEpc =
    TagAccess("LockMemByEPC", 0x16, ReplyLayout::kOneByteForm, kPassword, kLockPayload, kRecord);
inline constexpr CommandSpec kKillTagByEpc =
    TagAccess("KillTagByEPC", 0x17, ReplyLayout::kOneByteForm, kKillPassword, kRecord);
inline constexpr CommandSpec kBlockWriteDataByEpc = Write("BlockWriteDataByEPC", 0x19, LengthForms::kTwoByteWhenLong,
                                                          kPassword, kBank, kPointer, kCount, kWords, kRecord);

// Tag memory of the single tag in the field.
inline constexpr CommandSpec kReadDataFromSingleTag =
    TagAccess("ReadDataFromSingleTag", 0x20, ReplyLayout::kAsReceived, kPassword, kBank, kPointer, kCount);
inline constexpr CommandSpec kWriteDataToSingleTag =
    TagAccess("WriteDataToSingleTag", 0x21, ReplyLayout::kOneByteForm, kPassword, kBank, kPointer, kCount, kWords);
inline constexpr CommandSpec kEraseDataFromSingleTag =
    TagAccess("EraseDataFromSingleTag", 0x22, ReplyLayout::kOneByteForm, kPassword, kBank, kPointer, kCount);
inline constexpr CommandSpec kLockMemFromSingleTag =
    TagAccess("LockMemFromSingleTag", 0x23, ReplyLayout::kOneByteForm, kPassword, kLockPayload);
inline constexpr CommandSpec kKillSingleTag =
    TagAccess("KillSingleTag", 0x24, ReplyLayout::kOneByteForm, kKillPassword);
inline constexpr CommandSpec kBlockWriteDataToSingleTag = Write(
    "BlockWriteDataToSingleTag", 0x25, LengthForms::kTwoByteWhenLong, kPassword, kBank, kPointer, kCount, kWords);

// Multi-tag read: a short acknowledgement, then data frames, long ones in the two-byte form.
inline constexpr CommandSpec kStartReadDataFromMultiTag =
    Short("StartReadDataFromMultiTag", 0x26, kTagAccessTimeLimitMs, StatusRule::kOne, kPassword, kBank, kPointer,
          kCount, kMultiTagReadOptions);
inline constexpr CommandSpec kGetDataFromMultiTag =
    Stream("GetDataFromMultiTag", 0x26, FrameKind::kPlain, kTagAccessTimeLimitMs, StatusRule::kAny,
           EchoRule::kEitherMode, ReplyLayout::kAsReceived, false);

// Select filters. The refusing status byte is the reader's code.
inline constexpr CommandSpec kAddFilter = StatusCoded("AddFilter", 0x38, kManagementTimeLimitMs, StatusRule::kZero,
                                                      LengthForms::kOneByteOnly, {Field::kRest, "filter record"});
inline constexpr CommandSpec kDeleteFilterByIndex = StatusCoded(
    "DeleteFilterByIndex", 0x39, kManagementTimeLimitMs, StatusRule::kZero, LengthForms::kOneByteOnly, kFilterIndex);
inline constexpr CommandSpec kStartGetFilterByIndex =
    StatusCoded("StartGetFilterByIndex", 0x3A, kManagementTimeLimitMs, StatusRule::kOne, LengthForms::kOneByteOnly,
                kFilterIndex, kFilterOption);
inline constexpr CommandSpec kReadFilterByIndex =
    Stream("ReadFilterByIndex", 0x3A, FrameKind::kPlain, kManagementTimeLimitMs, StatusRule::kAny,
           EchoRule::kEitherMode, ReplyLayout::kOneByteForm, false);
inline constexpr CommandSpec kSelectFilterByIndex =
    StatusCoded("SelectFilterByIndex", 0x3B, kManagementTimeLimitMs, StatusRule::kZero, LengthForms::kOneByteOnly,
                kFilterIndex, kFilterOption);

// Secure access module and SR data.
inline constexpr CommandSpec kSetSam = {"SetSAM", 0x43, FrameKind::kPlain, kManagementTimeLimitMs,
                                        StatusRule::kErrorBitClear, EchoRule::kExact, ReplyLayout::kAsReceived,
                                        ErrorCodeForm::kNone, LengthForms::kOneByteOnly, false, false, {kApdu}};
inline constexpr CommandSpec kGetInfoSamToSrA =
    Management("GetInfoSAMtoSRA", 0x44, StatusRule::kErrorBitClear, kApdu);
inline constexpr CommandSpec kGetInfoSamToSrB =
    Management("GetInfoSAMtoSRB", 0x45, StatusRule::kErrorBitClear, kApdu);
inline constexpr CommandSpec kSetPsamPower = {
    "SetPsamPowerOnOrOff", 0x46, FrameKind::kPlain, kManagementTimeLimitMs, StatusRule::kZeroOrOne,
    EchoRule::kExact, ReplyLayout::kAsReceived, ErrorCodeForm::kNone, LengthForms::kOneByteOnly, false, false,
    {{Field::kByte, "PSAM"}, {Field::kByte, "power state"}}};
inline constexpr CommandSpec kWriteSrToTagByEpc = Write("WriteSRtoTagByEPC", 0x70, LengthForms::kOneByteOnly,
                                                        kPassword, kBank, kPointer, kSr1, kSr2, kSr3, kSr4, kRecord);
inline constexpr CommandSpec kWriteSrToTagSingle = Write("WriteSRtoTagSingle", 0x71, LengthForms::kOneByteOnly,
                                                         kPassword, kBank, kPointer, kSr1, kSr2, kSr3, kSr4);
inline constexpr CommandSpec kGetSr = Management("GetSR", 0x72, StatusRule::kZero, {Field::kByte, "SR select"});

// Firmware update.
inline constexpr CommandSpec kUpdateInit = Update("UpdateInit", 0x53, kManagementTimeLimitMs, LengthForms::kOneByteOnly);
inline constexpr CommandSpec kUpdateSendRn32 =
    Update("UpdateSendRN32", 0x54, kManagementTimeLimitMs, LengthForms::kOneByteOnly, {Field::kRest, "RN32"});
inline constexpr CommandSpec kUpdateSendSize =
    Update("UpdateSendSize", 0x56, kUpdateTransferTimeLimitMs, LengthForms::kOneByteOnly, {Field::kRest, "size"});
// The one command of the update whose frame outgrows the one-byte length form.
inline constexpr CommandSpec kUpdateSendData =
    Update("UpdateSendData", 0x57, kUpdateTransferTimeLimitMs, LengthForms::kTwoByteWhenLong,
           {Field::kByte, "prefix 1"}, {Field::kByte, "prefix 2"}, {Field::kRest, "block"});
inline constexpr CommandSpec kUpdateCommit = Update("UpdateCommit", 0x58, kManagementTimeLimitMs, LengthForms::kOneByteOnly);

// Multi-antenna forms: the same codes, answered in antenna reply frames.
inline constexpr CommandSpec kStartInventoryForMultiAnt = AntennaStart(
    "StartInventoryForMultiAnt", 0x10, kManagementTimeLimitMs, StatusRule::kFlagBitSet, EchoRule::kInventoryCode);
inline constexpr CommandSpec kStartInventoryForMultiAntWithParameter =
    AntennaStart("StartInventoryForMultiAntWithParameter", 0x11, kManagementTimeLimitMs, StatusRule::kFlagBitSet,
                 EchoRule::kInventoryCode, {Field::kByte, "parameter"});
inline constexpr CommandSpec kReadInventoryFromMultiAnt =
    Stream("ReadInventoryFromMultiAnt", 0x10, FrameKind::kAntenna, kManagementTimeLimitMs,
           StatusRule::kInventoryReport, EchoRule::kInventoryCode, ReplyLayout::kOneByteForm, true);
inline constexpr CommandSpec kStartReadDataForMultiAnt =
    AntennaStart("StartReadDataForMultiAnt", 0x26, kManagementTimeLimitMs, StatusRule::kOne, EchoRule::kExact,
                 kPassword, kBank, kPointer, kCount, kMultiTagReadOptions);
// The marker of a data frame is not looked at.
inline constexpr CommandSpec kGetDataFromMultiAnt =
    Stream("GetDataFromMultiAnt", 0x26, FrameKind::kAntenna, kTagAccessTimeLimitMs, StatusRule::kAny,
           EchoRule::kEitherMode, ReplyLayout::kAsReceived, false);

// Every row, for looking one up by its code.
inline constexpr const CommandSpec* kAllCommands[] = {
    &kGetPaStatus, &kGetPower, &kSetPower, &kCheckAntenna, &kChooseAntenna, &kGetFrequency, &kSetFrequency,
    &kGetVersion, &kGetReaderUid, &kEnterTransparentTransfer, &kLeaveTransparentTransfer, &kStartInventory,
    &kStartInventoryWithParameter, &kReadInventory, &kStopOperation, &kReadDataByEpc, &kWriteDataByEpc,
    &kEraseDataByEpc, &kLockMemByEpc, &kKillTagByEpc, &kInventorySingleTag, &kBlockWriteDataByEpc,
    &kReadDataFromSingleTag, &kWriteDataToSingleTag, &kEraseDataFromSingleTag, &kLockMemFromSingleTag,
    &kKillSingleTag, &kBlockWriteDataToSingleTag, &kStartReadDataFromMultiTag, &kGetDataFromMultiTag,
    &kGetRegister, &kSetRegister, &kResetRegister, &kSaveRegister, &kAddFilter, &kDeleteFilterByIndex,
    &kStartGetFilterByIndex, &kReadFilterByIndex, &kSelectFilterByIndex, &kSetSam, &kGetInfoSamToSrA,
    &kGetInfoSamToSrB, &kSetPsamPower, &kEnterSleepMode, &kUpdateInit, &kUpdateSendRn32, &kUpdateSendSize,
    &kUpdateSendData, &kUpdateCommit, &kWriteSrToTagByEpc, &kWriteSrToTagSingle, &kGetSr,
    &kStartInventoryForMultiAnt, &kStartInventoryForMultiAntWithParameter, &kReadInventoryFromMultiAnt,
    &kStartReadDataForMultiAnt, &kGetDataFromMultiAnt,
};

}  // namespace commands

// The command a frame with this code starts (bit 7 ignored): the row of the single-antenna form, or
// nullptr for a code the library never sends. Receive-only rows are not commands.
constexpr const CommandSpec* FindCommand(uint8_t code) {
  const uint8_t plain = code & static_cast<uint8_t>(~kCrcModeCodeBit);
  for (const CommandSpec* row : commands::kAllCommands) {
    if (row->code == plain && !row->receiveOnly && row->receiver == FrameKind::kPlain) return row;
  }
  return nullptr;
}

}  // namespace quarn::link
