#include "session.h"

#include <cstdio>
#include <cstdlib>

#include "reader_errors.h"
#include "report.h"

namespace quarn::cli {

std::optional<quarn::Baud> FindBaud(int baud) {
  switch (baud) {
    case 9600: return quarn::Baud::k9600;
    case 19200: return quarn::Baud::k19200;
    case 57600: return quarn::Baud::k57600;
    case 115200: return quarn::Baud::k115200;
    default: return std::nullopt;
  }
}

quarn::Baud BaudOf(int baud) {
  if (std::optional<quarn::Baud> found = FindBaud(baud)) return *found;
  FailUsage("baud rate " + std::to_string(baud) + " is not one of 9600, 19200, 57600, 115200 (--baud)");
}

Session::Session(const GlobalOptions& options) : options_(options), baud_(options.baud) {
  BaudOf(options_.baud);  // refuses a wrong rate before anything starts
  reader_.setCrcMode(options_.crc);
}

Session::~Session() = default;

std::string Session::portName() {
  if (options_.sim || options_.simReset) {
    if (!virtualReader_) {
      virtualReader_ = std::make_unique<VirtualReader>();
      simPath_ = virtualReader_->Start(options_.simScenario, options_.simReset);
      std::fprintf(stderr, "quarn: started the virtual reader on %s\n", simPath_.c_str());
    }
    return simPath_;
  }
  if (!options_.port.empty()) return options_.port;
  if (const char* fromEnvironment = std::getenv("QUARN_PORT"); fromEnvironment && *fromEnvironment)
    return fromEnvironment;
  FailUsage("no port: give --port PATH, set QUARN_PORT, or use --sim for the virtual reader");
}

void Session::Open(int baud) {
  const std::string name = portName();
  RefuseWhatIsNoSerialPort(name);
  std::error_code ec;
  reader_.Open(name, BaudOf(baud), ec);
  if (ec) throw OpenFailure(reader_.lastError(), name);
  baud_ = baud;
}

quarn::Reader& Session::reader() {
  if (!reader_.isOpen()) Open(baud_);
  return reader_;
}

void Session::Reopen(int baud) {
  reader_.Close();
  Open(baud);
}

}  // namespace quarn::cli
