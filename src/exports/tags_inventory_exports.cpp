#include "exports/export_conventions.h"
#include "quarn_api.h"
#include "tags/inventory.h"

using quarn::exports::Arg;

extern "C" {

QUARN_API int QUARN_CALL UhfStartInventory(PortHandle port, int hasParam, int param, int crcFlag) {
  return quarn::tags::StartInventory(port, Arg(hasParam), Arg(param), Arg(crcFlag)) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfReadInventory(PortHandle port, unsigned char* tagRecordLength, unsigned char* tagRecord) {
  return quarn::tags::ReadInventory(port, tagRecordLength, tagRecord) ? 1 : 0;
}

QUARN_API int QUARN_CALL UhfInventorySingleTag(PortHandle port, unsigned char* tagRecordLength,
                                               unsigned char* tagRecord, int crcFlag) {
  return quarn::tags::InventorySingleTag(port, tagRecordLength, tagRecord, Arg(crcFlag)) ? 1 : 0;
}

}  // extern "C"
