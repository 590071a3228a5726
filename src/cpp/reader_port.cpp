// The Reader's port: opening with the reason it did not open, closing, moving.

#include <utility>

#include "cpp/call.h"
#include "link/port_connection.h"
#include "link/serial/serial_backend.h"

namespace quarn {

namespace {

// The options word's baud selection, bits 1 to 3, as the port exports take it.
uint32_t PortOptionsOf(Baud baud) { return static_cast<uint32_t>(baud) << 1; }

struct OpenFailureRow {
  serial::OpenFailure failure;
  Errc errc;
  const char* reason;
};

constexpr OpenFailureRow kOpenFailures[] = {
    {serial::OpenFailure::kNoSuchPort, Errc::kNoSuchPort,
     "check the name (Linux: /dev/ttyUSB0 or ttyUSB0, /dev/ttyACM0; Windows: COM3) and that the reader is plugged in"},
    {serial::OpenFailure::kPermissionDenied, Errc::kPermissionDenied,
     "on Linux add the user to the dialout group (sudo usermod -aG dialout $USER) and log in again"},
    {serial::OpenFailure::kBusy, Errc::kBusy, "close the other program that has the port open"},
    {serial::OpenFailure::kNotSerialPort, Errc::kNotSerialPort, "name the reader's serial port"},
    {serial::OpenFailure::kBadName, Errc::kBadPortName, "give the port's name, e.g. /dev/ttyUSB0 or COM3"},
    {serial::OpenFailure::kOther, Errc::kOpenFailed, "the system refused; see whether another port name works"},
};

const OpenFailureRow& RowOf(serial::OpenFailure failure) {
  for (const OpenFailureRow& row : kOpenFailures)
    if (row.failure == failure) return row;
  return kOpenFailures[sizeof kOpenFailures / sizeof kOpenFailures[0] - 1];
}

}  // namespace

namespace detail {

void ReaderAccess::Adopt(Reader& reader, PortHandle port, const std::string& portName, Baud baud) {
  reader.Close();
  reader.port_ = cpp::FromPortHandle(port);
  reader.portName_ = portName;
  reader.baud_ = baud;
}

}  // namespace detail

Reader::Reader(const std::string& portName, Baud baud) { Open(portName, baud); }

Reader::~Reader() { Close(); }

Reader::Reader(Reader&& other) noexcept
    : port_(std::exchange(other.port_, kNoPort)),
      portName_(std::move(other.portName_)),
      baud_(other.baud_),
      crcMode_(other.crcMode_),
      lastError_(other.lastError_) {}

Reader& Reader::operator=(Reader&& other) noexcept {
  if (this != &other) {
    Close();
    port_ = std::exchange(other.port_, kNoPort);
    portName_ = std::move(other.portName_);
    baud_ = other.baud_;
    crcMode_ = other.crcMode_;
    lastError_ = other.lastError_;
  }
  return *this;
}

void Reader::Open(const std::string& portName, Baud baud) {
  cpp::OrThrow(*this, [&](std::error_code& ec) { Open(portName, baud, ec); });
}

void Reader::Open(const std::string& portName, Baud baud, std::error_code& ec) {
  Close();
  cpp::Call call(*this, "Open", ec);
  const std::optional<uint32_t> baudRate = link::SelectBaudRate(PortOptionsOf(baud));
  if (!baudRate) {
    call.Fail(Errc::kBadBaud, "use Baud::k9600, k19200, k57600 or k115200");
    return;
  }
  serial::OpenFailure why = serial::OpenFailure::kOther;
  const PortHandle port = serial::OpenExclusive(portName.c_str(), &why);
  if (port == QUARN_INVALID_PORT) {
    const OpenFailureRow& row = RowOf(why);
    call.Fail(row.errc, row.reason);
    return;
  }
  serial::Configure(port, *baudRate);
  detail::ReaderAccess::Adopt(*this, port, portName, baud);
}

void Reader::Close() noexcept {
  if (port_ == kNoPort) return;
  serial::Close(cpp::ToPortHandle(std::exchange(port_, kNoPort)));
}

bool Reader::isOpen() const noexcept { return port_ != kNoPort; }

}  // namespace quarn
