#include "command_names.h"

namespace quarn::cli {

namespace {

using F = Field;

const FieldLayout kPassword{F::kAccessPassword, "access password"};
const FieldLayout kBank{F::kBank, "bank"};
const FieldLayout kPointer{F::kWordPointer, "word address"};
const FieldLayout kCount{F::kWordCount, "word count"};
const FieldLayout kWords{F::kWords, "data"};
const FieldLayout kRecord{F::kTagRecord, "tag"};
const FieldLayout kSr1{F::kByte, "SR parameter 1"};
const FieldLayout kSr2{F::kByte, "SR parameter 2"};
const FieldLayout kSr3{F::kByte, "SR parameter 3"};
const FieldLayout kSr4{F::kByte, "SR parameter 4"};

const std::vector<CommandInfo>& Commands() {
  static const std::vector<CommandInfo> commands = {
      {0x00, "GetPaStatus", {}},
      {0x01, "GetPower", {}},
      {0x02, "SetPower", {{F::kByte, "power 1"}, {F::kByte, "power 2"}}},
      {0x03, "CheckANT", {}},
      {0x04, "ChooseANT", {{F::kByte, "antenna"}}},
      {0x05, "GetFrequency", {}},
      {0x06, "SetFrequency", {{F::kRest, "frequency setting"}}},
      {0x07, "GetVersion", {}},
      {0x0A, "GetReaderUID", {}},
      {0x0B, "SetTransparentTransfer (on)", {}},
      {0x1B, "SetTransparentTransfer (off)", {}},
      {0x10, "StartInventory", {}},
      {0x11, "StartInventory (with parameter)", {{F::kByte, "parameter"}}},
      {0x12, "StopOperation", {}},
      {0x13, "ReadDataByEPC", {kPassword, kBank, kPointer, kCount, kRecord}},
      {0x14, "WriteDataByEPC", {kPassword, kBank, kPointer, kCount, kWords, kRecord}},
      {0x15, "EraseDataByEPC", {kPassword, kBank, kPointer, kCount, kRecord}},
      {0x16, "LockMemByEPC", {kPassword, {F::kLockPayload, "lock payload"}, kRecord}},
      {0x17, "KillTagByEPC", {{F::kKillPassword, "kill password"}, kRecord}},
      {0x18, "InventorySingleTag", {}},
      {0x19, "BlockWriteDataByEPC", {kPassword, kBank, kPointer, kCount, kWords, kRecord}},
      {0x20, "ReadDataFromSingleTag", {kPassword, kBank, kPointer, kCount}},
      {0x21, "WriteDataToSingleTag", {kPassword, kBank, kPointer, kCount, kWords}},
      {0x22, "EraseDataFromSingleTag", {kPassword, kBank, kPointer, kCount}},
      {0x23, "LockMemFromSingleTag", {kPassword, {F::kLockPayload, "lock payload"}}},
      {0x24, "KillSingleTag", {{F::kKillPassword, "kill password"}}},
      {0x25, "BlockWriteDataToSingleTag", {kPassword, kBank, kPointer, kCount, kWords}},
      {0x26, "StartReadDataFromMultiTag", {kPassword, kBank, kPointer, kCount, {F::kRest, "read options"}}},
      {0x30, "GetRegister", {{F::kRegisterAddress, "address"}, {F::kRegisterCount, "count"}}},
      {0x31, "SetRegister", {{F::kRegisterAddress, "address"}, {F::kRegisterCount, "count"}, {F::kRest, "data"}}},
      {0x32, "ResetRegister", {}},
      {0x33, "SaveRegister", {}},
      {0x38, "AddFilter", {{F::kRest, "filter record"}}},
      {0x39, "DeleteFilterByIndex", {{F::kByte, "index"}}},
      {0x3A, "StartGetFilterByIndex", {{F::kByte, "index"}, {F::kByte, "option"}}},
      {0x3B, "SelectFilterByIndex", {{F::kByte, "index"}, {F::kByte, "option"}}},
      {0x43, "SetSAM", {{F::kRest, "APDU"}}},
      {0x44, "GetInfoSAMtoSRA", {{F::kRest, "APDU"}}},
      {0x45, "GetInfoSAMtoSRB", {{F::kRest, "APDU"}}},
      {0x46, "SetPsamPowerOnOrOff", {{F::kByte, "PSAM"}, {F::kByte, "power state"}}},
      {0x50, "EnterSleepMode", {}},
      {0x53, "UpdateInit", {}},
      {0x54, "UpdateSendRN32", {{F::kRest, "RN32"}}},
      {0x56, "UpdateSendSize", {{F::kRest, "size"}}},
      {0x57, "UpdateSendData", {{F::kByte, "prefix 1"}, {F::kByte, "prefix 2"}, {F::kRest, "block"}}},
      {0x58, "UpdateCommit", {}},
      {0x70, "WriteSRtoTagByEPC", {kPassword, kBank, kPointer, kSr1, kSr2, kSr3, kSr4, kRecord}},
      {0x71, "WriteSRtoTagSingle", {kPassword, kBank, kPointer, kSr1, kSr2, kSr3, kSr4}},
      {0x72, "GetSR", {{F::kByte, "SR select"}}},
  };
  return commands;
}

}  // namespace

const CommandInfo* FindCommand(int code) {
  for (const auto& command : Commands())
    if (command.code == (code & 0x7F)) return &command;
  return nullptr;
}

}  // namespace quarn::cli
