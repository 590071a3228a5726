#pragma once
// The C++ Filter and the library's FilterRecord, the layout the filter commands send and decode.

#include "quarn/filter.h"
#include "quarn_api.h"

namespace quarn::cpp {

// The record to send, with its wire length computed. The reason it cannot be sent, or nullptr.
const char* ToFilterRecord(const Filter& filter, FilterRecord& record);

Filter FromFilterRecord(const FilterRecord& record);

}  // namespace quarn::cpp
