#pragma once
// A virtual reader's state in a file that outlives the program: loaded when the reader starts, saved
// after every command that changed it. A save writes a temporary file beside it and renames it over the
// old one, so a reader of the file (or a second program) never sees half a state.
//
// The file remembers the start it grew from (a digest of the state the scenario and options gave): a
// reader that starts from another scenario begins afresh and replaces the file at its first change.

#include <functional>
#include <string>

#include "sim/engine/virtual_reader.h"

namespace quarn::sim {

class StateFile {
 public:
  // notice receives remarks: a state from another start set aside, a save that failed.
  StateFile(std::string path, std::function<void(const std::string&)> notice);

  // Loads the file into the reader when it exists and grew from the reader's start; true then. Throws
  // StateError naming the file and the cause when it exists but cannot be used.
  bool Attach(VirtualReader& reader);
  // Saves when the state differs from the one last saved or loaded.
  void SaveIfChanged(const VirtualReader& reader);

  const std::string& path() const { return path_; }

 private:
  bool Write(const std::string& text, std::string* error) const;

  std::string path_;
  std::function<void(const std::string&)> notice_;
  std::string origin_;
  std::string lastSaved_;
  bool saveFailed_ = false;
};

}  // namespace quarn::sim
