#include "call_commands.h"

#include <cstring>

#include "link/command_table.h"

namespace quarn::cli {

namespace {

using link::CommandSpec;
namespace c = link::commands;

struct CallCommands {
  const char* call;
  const CommandSpec* command;
  const CommandSpec* alternative;  // the other command the call sends in some cases, or nullptr
};

constexpr CallCommands kCalls[] = {
    {"GetPaStatus", &c::kGetPaStatus, nullptr},
    {"GetPower", &c::kGetPower, nullptr},
    {"SetPower", &c::kSetPower, nullptr},
    {"GetFrequency", &c::kGetFrequency, nullptr},
    {"SetFrequency", &c::kSetFrequency, nullptr},
    {"GetRegisters", &c::kGetRegister, nullptr},
    {"SetRegisters", &c::kSetRegister, nullptr},
    {"ResetRegisters", &c::kResetRegister, nullptr},
    {"SaveRegisters", &c::kSaveRegister, nullptr},
    {"GetMultiAntSetting", &c::kGetRegister, nullptr},
    {"SetMultiAntSetting", &c::kSetRegister, nullptr},
    {"GetVersion", &c::kGetVersion, nullptr},
    {"GetReaderUid", &c::kGetReaderUid, nullptr},
    {"EnterSleepMode", &c::kEnterSleepMode, nullptr},
    {"StopOperation", &c::kStopOperation, nullptr},
    {"SetTransparentTransfer", &c::kEnterTransparentTransfer, &c::kLeaveTransparentTransfer},
    {"CheckAntenna", &c::kCheckAntenna, nullptr},
    {"ChooseAntenna", &c::kChooseAntenna, nullptr},
    {"InventorySingleTag", &c::kInventorySingleTag, nullptr},
    {"Inventory", &c::kStartInventory, &c::kStartInventoryWithParameter},
    {"InventoryForMultiAnt", &c::kStartInventoryForMultiAnt, &c::kStartInventoryForMultiAntWithParameter},
    {"ReadData", &c::kReadDataByEpc, nullptr},
    {"ReadMaxData", &c::kReadDataByEpc, nullptr},
    {"ReadDataFromSingleTag", &c::kReadDataFromSingleTag, nullptr},
    {"ReadMaxDataFromSingleTag", &c::kReadDataFromSingleTag, nullptr},
    {"WriteData", &c::kWriteDataByEpc, nullptr},
    {"WriteDataToSingleTag", &c::kWriteDataToSingleTag, nullptr},
    {"BlockWriteData", &c::kBlockWriteDataByEpc, nullptr},
    {"BlockWriteEpc", &c::kBlockWriteDataByEpc, nullptr},
    {"BlockWriteDataToSingleTag", &c::kBlockWriteDataToSingleTag, nullptr},
    {"BlockWriteEpcToSingleTag", &c::kBlockWriteDataToSingleTag, nullptr},
    {"EraseData", &c::kEraseDataByEpc, nullptr},
    {"EraseDataFromSingleTag", &c::kEraseDataFromSingleTag, nullptr},
    {"Lock", &c::kLockMemByEpc, nullptr},
    {"LockSingleTag", &c::kLockMemFromSingleTag, nullptr},
    {"Kill", &c::kKillTagByEpc, nullptr},
    {"KillSingleTag", &c::kKillSingleTag, nullptr},
    {"MultiTagRead", &c::kStartReadDataFromMultiTag, nullptr},
    {"MultiTagReadForMultiAnt", &c::kStartReadDataForMultiAnt, nullptr},
    {"AddFilter", &c::kAddFilter, nullptr},
    {"DeleteFilter", &c::kDeleteFilterByIndex, nullptr},
    {"SelectFilter", &c::kSelectFilterByIndex, nullptr},
    {"ListFilters", &c::kStartGetFilterByIndex, nullptr},
    {"SendApdu", &c::kSetSam, nullptr},
    {"GetInfoSamToSr", &c::kGetInfoSamToSrA, &c::kGetInfoSamToSrB},
    {"GetSr", &c::kGetSr, nullptr},
    {"SetPsamPower", &c::kSetPsamPower, nullptr},
    {"WriteSrToTag", &c::kWriteSrToTagByEpc, nullptr},
    {"WriteSrToSingleTag", &c::kWriteSrToTagSingle, nullptr},
    {"FirmwareUpdate::Start", &c::kUpdateInit, nullptr},
    {"FirmwareUpdate::SendRn32", &c::kUpdateSendRn32, nullptr},
    {"FirmwareUpdate::SendSize", &c::kUpdateSendSize, nullptr},
    {"FirmwareUpdate::SendData", &c::kUpdateSendData, nullptr},
    {"FirmwareUpdate::Commit", &c::kUpdateCommit, nullptr},
};

}  // namespace

bool CallSendsCode(const char* call, uint8_t plainCode) {
  if (call == nullptr) return false;
  for (const CallCommands& row : kCalls) {
    if (std::strcmp(row.call, call) != 0) continue;
    return row.command->code == plainCode || (row.alternative && row.alternative->code == plainCode);
  }
  return false;
}

}  // namespace quarn::cli
