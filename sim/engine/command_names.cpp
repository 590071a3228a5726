#include "sim/engine/command_names.h"

namespace quarn::sim {

const char* CommandName(uint8_t plainCode) {
  switch (plainCode) {
    case 0x00: return "GetPaStatus";
    case 0x01: return "GetPower";
    case 0x02: return "SetPower";
    case 0x03: return "CheckAnt";
    case 0x04: return "ChooseAnt";
    case 0x05: return "GetFrequency";
    case 0x06: return "SetFrequency";
    case 0x07: return "GetVersion";
    case 0x0A: return "GetReaderUid";
    case 0x0B: return "EnterTransparent";
    case 0x1B: return "LeaveTransparent";
    case 0x10: return "StartInventory";
    case 0x11: return "StartInventoryWithParam";
    case 0x12: return "StopOperation";
    case 0x13: return "ReadDataByEpc";
    case 0x14: return "WriteDataByEpc";
    case 0x15: return "EraseDataByEpc";
    case 0x16: return "LockMemByEpc";
    case 0x17: return "KillTagByEpc";
    case 0x18: return "InventorySingleTag";
    case 0x19: return "BlockWriteDataByEpc";
    case 0x20: return "ReadDataFromSingleTag";
    case 0x21: return "WriteDataToSingleTag";
    case 0x22: return "EraseDataFromSingleTag";
    case 0x23: return "LockMemFromSingleTag";
    case 0x24: return "KillSingleTag";
    case 0x25: return "BlockWriteDataToSingleTag";
    case 0x26: return "ReadDataFromMultiTag";
    case 0x30: return "GetRegister";
    case 0x31: return "SetRegister";
    case 0x32: return "ResetRegister";
    case 0x33: return "SaveRegister";
    case 0x38: return "AddFilter";
    case 0x39: return "DeleteFilterByIndex";
    case 0x3A: return "GetFilterByIndex";
    case 0x3B: return "SelectFilterByIndex";
    case 0x43: return "SetSam";
    case 0x44: return "GetInfoSamToSrA";
    case 0x45: return "GetInfoSamToSrB";
    case 0x46: return "SetPsamPower";
    case 0x50: return "EnterSleepMode";
    case 0x53: return "UpdateInit";
    case 0x54: return "UpdateSendRn32";
    case 0x56: return "UpdateSendSize";
    case 0x57: return "UpdateSendData";
    case 0x58: return "UpdateCommit";
    case 0x70: return "WriteSrToTagByEpc";
    case 0x71: return "WriteSrToTagSingle";
    case 0x72: return "GetSr";
    default: return "Unknown";
  }
}

}  // namespace quarn::sim
