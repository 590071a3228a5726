#include "session.h"

#include <cstdio>
#include <cstdlib>

#include "report.h"

namespace quarn::cli {

int PortOptionsForBaud(int baud) {
  switch (baud) {
    case 9600: return 0x00;
    case 19200: return 0x02;
    case 57600: return 0x04;
    case 115200: return 0x06;
    default: FailUsage("baud rate " + std::to_string(baud) + " is not one of 9600, 19200, 57600, 115200");
  }
}

Session::Session(const GlobalOptions& options) : options_(options) {
  PortOptionsForBaud(options_.baud);  // refuses a wrong rate before anything starts
}

Session::~Session() { Close(); }

std::string Session::portName() {
  if (options_.sim) {
    if (!virtualReader_) {
      virtualReader_ = std::make_unique<VirtualReader>();
      simPath_ = virtualReader_->Start(options_.simScenario);
      std::fprintf(stderr, "quarn: started the virtual reader on %s\n", simPath_.c_str());
    }
    return simPath_;
  }
  if (!options_.port.empty()) return options_.port;
  if (const char* fromEnvironment = std::getenv("QUARN_PORT"); fromEnvironment && *fromEnvironment)
    return fromEnvironment;
  FailUsage("no port: give --port PATH, set QUARN_PORT, or use --sim for the virtual reader");
}

PortHandle Session::port() {
  if (port_ != QUARN_INVALID_PORT) return port_;
  std::string name = portName();
  PortHandle opened = QUARN_INVALID_PORT;
  if (!UhfOpenPort(&opened, name.c_str(), PortOptionsForBaud(options_.baud)))
    throw Failure(kExitPort, "cannot open the serial port " + name + " (missing, busy, or no permission)");
  port_ = opened;
  return port_;
}

bool Session::Reopen(int baud) {
  std::string name = portName();
  Close();
  PortHandle opened = QUARN_INVALID_PORT;
  if (!UhfOpenPort(&opened, name.c_str(), PortOptionsForBaud(baud))) return false;
  port_ = opened;
  return true;
}

void Session::Close() {
  if (port_ == QUARN_INVALID_PORT) return;
  UhfClosePort(&port_);
  port_ = QUARN_INVALID_PORT;
}

}  // namespace quarn::cli
