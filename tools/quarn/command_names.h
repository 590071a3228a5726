#pragma once
// The reader's commands as the library's command table names them, for taking frames apart without a
// reader. The table is the one the library sends by and the virtual reader answers by.

#include "link/command_table.h"

namespace quarn::cli {

using CommandInfo = link::CommandSpec;
using link::Field;
using link::ParameterField;

// The command with this code (bit 7 ignored), or nullptr for a code the reader does not use.
inline const CommandInfo* FindCommand(int code) { return link::FindCommand(static_cast<uint8_t>(code)); }

}  // namespace quarn::cli
