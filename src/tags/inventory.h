#pragma once
// Finding the tags in the field: a continuous inventory (start, then one tag report per read) and the
// single-tag inventory. Each hands back the tag's record, sized by its first byte.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"

namespace quarn::tags {

link::Result StartInventory(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag);

// Sends nothing: takes the next frame the reader streams, whatever it holds.
link::Result ReadInventory(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord);

link::Result InventorySingleTag(PortHandle port, uint8_t* tagRecordLength, uint8_t* tagRecord, uint32_t crcFlag);

}  // namespace quarn::tags
