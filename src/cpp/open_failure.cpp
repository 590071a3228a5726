#include "cpp/open_failure.h"

namespace quarn::cpp {

namespace {

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

}  // namespace

void RecordOpenFailure(Call& call, const std::string& portName, serial::OpenFailure why) {
  call.detail().port = portName;
  for (const OpenFailureRow& row : kOpenFailures) {
    if (row.failure == why) {
      call.Fail(row.errc, row.reason);
      return;
    }
  }
  call.Fail(Errc::kOpenFailed, "the system refused; see whether another port name works");
}

}  // namespace quarn::cpp
