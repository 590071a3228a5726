#pragma once
// The virtual reader for programs outside sim/: a model of a UHF RFID reader and its tags, served on a
// pseudo-terminal from a background thread of the calling process. Open devicePath() like a serial
// port. sim/README.md describes the reader, the scenario lines and the state file.
//
//   quarn::sim::ServedReaderOptions options;
//   options.scenarioText = "tag 3000E2001122 user=CAFE\n";
//   quarn::sim::ServedReader reader(options);          // serving from here on
//   UhfOpenPort(&port, reader.devicePath().c_str(), 0x06);
//
// Link the CMake target quarn_sim. POSIX only.

#include <chrono>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

#include "sim/engine/faults.h"

namespace quarn::sim {

class PtyServer;
class StateFile;

struct ServedReaderOptions {
  std::string scenarioFile;  // read first, when given
  std::string scenarioText;  // scenario lines applied after the file (one setting per line)
  FaultSettings faults;
  // Tags, memory, locks, filters, registers and version kept in this file across runs: loaded at the
  // start when it exists and grew from the same scenario, saved after every change. Empty: none.
  std::string stateFile;
  // The saved registers alone, 512 raw bytes (quarn-sim --nvram). Beside a state file it decides the
  // saved copy of the registers.
  std::string nvramFile;
  std::string linkPath;  // a symbolic link to the device, moved along when the device changes
  // Each frame both ways and each remark of the reader, one formatted line (quarn-sim --trace).
  // Called on the serving thread.
  std::function<void(const std::string&)> trace;
  // Remarks for a person: a state file set aside or not saved, an nvram file ignored.
  std::function<void(const std::string&)> notice;
  // The new device path each time the reader is plugged back in. Called on the serving thread.
  std::function<void(const std::string&)> plugged;
};

class SimError : public std::runtime_error {
 public:
  // kSetup: the scenario, the state file or another option is wrong; kDevice: no pseudo-terminal.
  enum class Kind { kSetup, kDevice };
  SimError(Kind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

class ServedReader {
 public:
  // Builds the reader, opens its terminal and starts serving. Throws SimError naming the cause.
  explicit ServedReader(const ServedReaderOptions& options);
  // Stops serving, hangs up the terminal and removes the link.
  ~ServedReader();
  ServedReader(const ServedReader&) = delete;
  ServedReader& operator=(const ServedReader&) = delete;

  std::string devicePath() const;

  // Pulls the reader out: its terminal hangs up before this returns (the host's writes fail with EIO,
  // its reads find the end of the file), running streams end, and after pause it is back on a new
  // terminal with another path (the link, the plugged callback). Tags and registers stay as they were.
  void Unplug(std::chrono::milliseconds pause);
  // Waits up to timeout for the reader to be plugged in; true when it is.
  bool WaitPlugged(std::chrono::milliseconds timeout) const;
  bool plugged() const;

  // The reader stays plugged in but answers nothing and streams nothing. The first stop command it
  // receives wakes it without a reply; it answers from the next command on. A nonzero duration wakes
  // it by itself after that long.
  void Hang(std::chrono::milliseconds duration = std::chrono::milliseconds(0));
  bool hung() const;

 private:
  std::unique_ptr<StateFile> state_;
  std::unique_ptr<PtyServer> server_;
};

}  // namespace quarn::sim
