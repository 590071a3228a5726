#include "sim/engine/trace.h"

#include <cstdio>

#include "sim/engine/command_names.h"
#include "sim/model/scenario.h"

namespace quarn::sim {

std::string FormatTrace(const TraceEvent& event) {
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%10.3f ", static_cast<double>(event.timeUs) / 1000.0);
  if (event.kind == TraceEvent::Kind::kNote) return std::string(stamp) + "   " + event.note;
  char head[96];
  std::snprintf(head, sizeof head, "%s 0x%02X %s %s%s: ", event.kind == TraceEvent::Kind::kCommand ? "->" : "<-",
                event.code, CommandName(PlainCode(event.code)), IsCrcCode(event.code) ? "crc" : "plain",
                event.antennaFrame ? " antenna" : "");
  std::string line = std::string(stamp) + head + ToHex(event.frame, " ");
  if (!event.note.empty()) line += "  (" + event.note + ")";
  return line;
}

}  // namespace quarn::sim
