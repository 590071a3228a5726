// The Reader's port: opening with the reason it did not open, closing, moving.

#include <algorithm>
#include <cstdint>
#include <utility>

#include "cpp/call.h"
#include "cpp/open_failure.h"
#include "link/port_connection.h"

namespace quarn {

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
  PortHandle port = QUARN_INVALID_PORT;
  serial::OpenFailure why = serial::OpenFailure::kOther;
  const link::Result opened = link::OpenPort(&port, portName.c_str(), cpp::PortOptionsOf(baud), &why);
  if (opened.outcome == link::Outcome::kInvalidArgument) {
    call.Fail(Errc::kBadBaud, "use Baud::k9600, k19200, k57600 or k115200");
    return;
  }
  if (!opened) {
    cpp::RecordOpenFailure(call, portName, why);
    return;
  }
  detail::ReaderAccess::Adopt(*this, port, portName, baud);
}

void Reader::Close() noexcept {
  if (port_ == kNoPort) return;
  serial::Close(cpp::ToPortHandle(std::exchange(port_, kNoPort)));
}

bool Reader::isOpen() const noexcept { return port_ != kNoPort; }

bool Reader::WaitForInput(std::chrono::milliseconds wait, std::error_code& ec) {
  cpp::Call call(*this, "WaitForInput", ec);
  if (!call.Ready()) return false;
  const auto waitMs =
      static_cast<uint32_t>(std::clamp<std::chrono::milliseconds::rep>(wait.count(), 0, UINT32_MAX));
  switch (serial::WaitForInput(call.port(), waitMs)) {
    case serial::InputWait::kReady:
      return true;
    case serial::InputWait::kNothing:
      return false;
    case serial::InputWait::kGone:
      return call.Record(link::Failed(link::Outcome::kPortGone));
    case serial::InputWait::kUnusable:
      break;
  }
  return call.Record(link::Failed(link::Outcome::kPortUnusable));
}

bool Reader::WaitForInput(std::chrono::milliseconds wait) {
  return cpp::OrThrow(*this, [&](std::error_code& ec) { return WaitForInput(wait, ec); });
}

}  // namespace quarn
