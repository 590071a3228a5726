#pragma once
// The connection to the reader: the global options, the port they name, and the Reader that owns it.

#include <memory>
#include <optional>
#include <string>

#include "quarn/reader.h"
#include "virtual_reader.h"

namespace quarn::cli {

struct GlobalOptions {
  std::string port;  // a path, or a name looked up under /dev/; QUARN_PORT when not given
  int baud = 115200;
  bool crc = false;
  bool sim = false;
  bool simReset = false;    // the virtual reader starts afresh, its saved state forgotten
  std::string simScenario;  // the virtual reader's field, from a scenario file
  bool json = false;
};

// The reader's rate for a baud number: 9600, 19200, 57600 or 115200; none for any other number.
std::optional<quarn::Baud> FindBaud(int baud);
// The same, ending the run with a usage error for any other number.
quarn::Baud BaudOf(int baud);
// The four rates a reader may answer at, fastest first.
constexpr int kBaudRates[] = {115200, 57600, 19200, 9600};

// The reader of one run of the tool. Its port opens on first use and closes when the session ends; with
// --sim it first starts the virtual reader and uses its terminal. A port that does not open ends the
// run with exit status 3 and the cause.
class Session {
 public:
  explicit Session(const GlobalOptions& options);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // The Reader, its port open at the chosen rate and in the chosen frame mode.
  quarn::Reader& reader();
  const GlobalOptions& options() const { return options_; }
  // The baud rate the port is open at (or will be).
  int baud() const { return baud_; }

  // The port name to open, without opening it (the update opens the port itself).
  std::string portName();
  // Opens the port at another rate, closing the current one.
  void Reopen(int baud);
  void Close() { reader_.Close(); }

 private:
  void Open(int baud);

  GlobalOptions options_;
  int baud_;
  std::unique_ptr<VirtualReader> virtualReader_;
  std::string simPath_;
  quarn::Reader reader_;
};

}  // namespace quarn::cli
