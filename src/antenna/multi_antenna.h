#pragma once
// Inventory and multi-tag read over several antennas. The requests are those of the single-antenna
// forms; every reply comes in an antenna reply frame, whose marker and antenna number stand before the
// code.

#include <cstdint>

#include "link/outcome.h"
#include "quarn_api.h"
#include "tags/multi_tag_read.h"

namespace quarn::antenna {

// Accepts an acknowledgement with the marker, either inventory code in either mode, and status bit 0 set.
link::Result StartInventoryForMultiAnt(PortHandle port, uint32_t hasParam, uint32_t param, uint32_t crcFlag);

// Sends nothing: takes the next tag report and hands back its antenna number and tag record.
link::Result ReadInventoryFromMultiAnt(PortHandle port, uint8_t* antenna, uint8_t* tagRecordLength, uint8_t* tagRecord);

// The multi-tag read request; the acknowledgement carries the marker, the code sent and status 0x01.
link::Result StartReadDataForMultiAnt(PortHandle port, const tags::MultiTagReadRequest& request, uint32_t crcFlag);

// Sends nothing: takes the next data frame. As the single-antenna data read, with the antenna number
// written beside the other outputs.
link::Result GetDataFromMultiAnt(PortHandle port, uint8_t* antenna, const tags::DataFrameOutputs& outputs);

}  // namespace quarn::antenna
