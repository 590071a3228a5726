#pragma once
// What every connect applies to the reader, the first and each after a reconnect (a reader that was
// unplugged or restarted may have lost its working settings): the multi-antenna setting, the RF
// power, the select filters. What the settings leave out stays as the reader has it.

#include <optional>
#include <string>
#include <system_error>

#include "quarn/filter.h"
#include "quarn/reader.h"
#include "reader_session.h"

namespace quarn::watch {

// The setting the reader did not take, and why.
struct SetupFailure {
  std::string step;  // "multi-antenna setting", "RF power", "filter 2", ...
  std::error_code error;  // none when the reader answered but what it said leaves nothing to set

  // "RF power: refused", for the status's lastError and the log.
  std::string Describe() const;
};

std::optional<SetupFailure> ApplySettings(quarn::Reader& reader, const ReaderSettings& settings);

// The select filter in the C++ API's terms; a mask longer than the reader holds is cut to its size.
quarn::Filter ToFilter(const SelectFilter& filter);

// The value the multi-antenna register gets: 0 for single-antenna reading; else the reader's own
// nonzero setting when it has one (someone chose the antennas), else the connected antennas.
uint8_t MultiAntennaValue(bool multiAntenna, uint8_t current, uint8_t connected);

}  // namespace quarn::watch
