#pragma once
// The virtual reader inside the tool's own process, for --sim: it serves its reader model on a
// pseudo-terminal from a background thread for as long as this object lives. Its state (tags, memory,
// filters, registers) lasts from run to run in $XDG_STATE_HOME/quarn/sim-state.json, else in
// ~/.local/state/quarn/sim-state.json; deleting the file, or starting with reset, starts afresh.

#include <memory>
#include <string>

namespace quarn::cli {

class VirtualReader {
 public:
  VirtualReader();
  ~VirtualReader();
  VirtualReader(const VirtualReader&) = delete;
  VirtualReader& operator=(const VirtualReader&) = delete;

  // Starts serving the reader a scenario file describes (the default field when empty), with the state
  // the last run left when it grew from the same scenario, or afresh with reset (the saved state is
  // deleted); returns the terminal's path, which the tool then opens like a serial port.
  std::string Start(const std::string& scenarioFile, bool reset);

 private:
  struct Served;
  std::unique_ptr<Served> served_;
};

}  // namespace quarn::cli
