#pragma once
// The connection to the reader: the global options, the port they name, and its opening and closing.

#include <memory>
#include <string>

#include "quarn_api.h"
#include "virtual_reader.h"

namespace quarn::cli {

struct GlobalOptions {
  std::string port;  // a path, or a name looked up under /dev/; QUARN_PORT when not given
  int baud = 115200;
  bool crc = false;
  bool sim = false;
  std::string simScenario;  // the virtual reader's field, from a scenario file
  bool json = false;
};

// portOptions bits for a baud rate: 9600, 19200, 57600 or 115200.
int PortOptionsForBaud(int baud);
// The four rates a reader may answer at, fastest first.
constexpr int kBaudRates[] = {115200, 57600, 19200, 9600};

// The open port of one run of the tool. It opens on first use and closes when the session ends; with
// --sim it first starts the virtual reader and uses its terminal.
class Session {
 public:
  explicit Session(const GlobalOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The open port, opened at the chosen baud rate on first use.
  PortHandle port();
  int crcFlag() const { return options_.crc ? 1 : 0; }
  const GlobalOptions& options() const { return options_; }

  // The port name to open, without opening it (the update opens the port itself).
  std::string portName();
  // Opens the port at another rate, closing the current one; false when it does not open.
  bool Reopen(int baud);
  void Close();

 private:
  GlobalOptions options_;
  std::unique_ptr<VirtualReader> virtualReader_;
  std::string simPath_;
  PortHandle port_ = QUARN_INVALID_PORT;
};

}  // namespace quarn::cli
