#pragma once
// The start of a continuous inventory, shared by the single-antenna and the multi-antenna forms: the same
// codes and parameter, only the reply frame differs.

#include <cstdint>

#include "link/command_frame.h"
#include "link/command_table.h"

namespace quarn::tags {

// Code 0x10 without a parameter, 0x11 with the parameter byte when the low byte of hasParam is nonzero.
inline bool InventoryStartHasParameter(uint32_t hasParam) { return (hasParam & 0xFF) != 0; }

inline const link::CommandSpec& InventoryStartSpec(uint32_t hasParam, link::FrameKind receiver) {
  const bool withParameter = InventoryStartHasParameter(hasParam);
  if (receiver == link::FrameKind::kAntenna) {
    return withParameter ? link::commands::kStartInventoryForMultiAntWithParameter
                         : link::commands::kStartInventoryForMultiAnt;
  }
  return withParameter ? link::commands::kStartInventoryWithParameter : link::commands::kStartInventory;
}

// Appends the parameter byte of the form with a parameter; the plain start has none.
inline void AppendInventoryStartParameter(link::CommandFrame& frame, uint32_t hasParam, uint32_t param) {
  if (InventoryStartHasParameter(hasParam)) frame.Byte(param);
}

}  // namespace quarn::tags
