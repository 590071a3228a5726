#include "sim/engine/trace.h"

#include <cstdio>

#include "link/command_table.h"
#include "sim/model/scenario.h"

namespace quarn::sim {

namespace {

// Stream frames carry the code of the command that started them, so every frame is named by a command.
const char* CommandName(uint8_t code) {
  const link::CommandSpec* command = link::FindCommand(code);
  return command == nullptr ? "Unknown" : command->name;
}

}  // namespace

std::string FormatTrace(const TraceEvent& event) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", static_cast<double>(event.timeUs) / 1000.0);
  if (event.kind == TraceEvent::Kind::kNote) return std::string(stamp) + "   " + event.note;
  char head[96];
  std::snprintf(head, sizeof head, "%s 0x%02X %s %s%s: ", event.kind == TraceEvent::Kind::kCommand ? "->" : "<-",
                event.code, CommandName(event.code), IsCrcCode(event.code) ? "crc" : "plain",
                event.antennaFrame ? " antenna" : "");
  std::string line = std::string(stamp) + head + ToHex(event.frame, " ");
  if (!event.note.empty()) line += "  (" + event.note + ")";
  return line;
}

}  // namespace quarn::sim
