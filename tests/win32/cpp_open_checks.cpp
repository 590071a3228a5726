// Opening ports that do not open, through the Win32 backend of the static C++ library under wine. Each
// failure must come as its quarn::Errc, with its generic condition and a reason that names the fix,
// from both forms of Open, and leave the Reader without a port.
//
// A port held by another handle: wine keeps no share mode on a serial device (two CreateFile calls on
// the same pty-backed COM port both succeed), so the held port is a COM name the prefix maps to a plain
// file, held by a handle of this program with a share mode of 0, which wine enforces on a file as
// Windows does on a COM port. Windows answers a held COM port with access denied, wine a held file with
// a sharing violation; the backend takes both for busy. Once the hold is gone the name opens a plain
// file, which the backend refuses as no serial port: the busy came from the hold.

#include <windows.h>

#include <cstring>
#include <string>
#include <system_error>
#include <vector>

#include "cpp_checks.h"

namespace quarn::win32ring::cppapi {

namespace {

// No prefix maps so high a number: the ring maps COM5, COM7, COM12 and the held port only.
constexpr char kMissingPort[] = "COM250";
constexpr char kBusyReason[] = "close the other program";

struct OpenFailureCase {
  const char* what;
  std::string name;
  Baud baud;
  Errc errc;
  std::errc generic;
};

std::vector<OpenFailureCase> OpenFailureCases() {
  return {
      {"a COM port that does not exist", kMissingPort, Baud::k115200, Errc::kNoSuchPort,
       std::errc::no_such_file_or_directory},
      {"an empty name", "", Baud::k115200, Errc::kBadPortName, std::errc::invalid_argument},
      {"a name longer than a device path", "COM" + std::string(1100, '9'), Baud::k115200, Errc::kBadPortName,
       std::errc::invalid_argument},
      // The first value past the four rates, refused before the name is tried: the missing port must not
      // be what is reported.
      {"a baud rate the reader does not speak", kMissingPort, static_cast<Baud>(4), Errc::kBadBaud,
       std::errc::invalid_argument},
  };
}

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

void CheckErrorCodeForm(const OpenFailureCase& c, Report& report) {
  Reader reader;
  std::error_code ec;
  reader.Open(c.name, c.baud, ec);
  const ErrorDetail& detail = reader.lastError();
  report.Check(ec == c.errc && ec == c.generic && detail.code == ec && !reader.isOpen(),
               "Open with %s: %s, open %d; expected \"%s\", no port", c.what, ec.message().c_str(), reader.isOpen(),
               make_error_code(c.errc).message().c_str());
  report.Check(std::strcmp(detail.command, "Open") == 0 && detail.reason[0] != '\0',
               "Open with %s: lastError() names the call \"%s\" and the fix \"%s\"; expected Open and a reason", c.what,
               detail.command, detail.reason);
}

void CheckThrowingForm(const OpenFailureCase& c, Report& report) {
  try {
    Reader reader(c.name, c.baud);
    report.Check(false, "Reader(%s) opened; expected quarn::Error", c.what);
  } catch (const Error& error) {
    const std::string what = error.what();
    report.Check(error.errc() == c.errc && error.code() == c.generic &&
                     Contains(what, error.code().message().c_str()) && Contains(what, error.detail().reason),
                 "Reader(%s) threw \"%s\"; expected \"%s\" with its reason", c.what, what.c_str(),
                 make_error_code(c.errc).message().c_str());
  }
}

// The message the application shows for the missing port names it, so a log line alone tells which.
void CheckMissingPortMessage(Report& report) {
  Reader reader;
  std::error_code ec;
  reader.Open(kMissingPort, Baud::k115200, ec);
  const std::string message = reader.lastError().Describe();
  report.Check(Contains(message, kMissingPort), "the message for %s: \"%s\"; expected it to name the port",
               kMissingPort, message.c_str());
}

// The held port refuses a Reader as busy; once its holder let go, it is refused as what it is.
void CheckHeldPort(const char* portName, Report& report) {
  const std::string path = std::string("\\\\.\\") + portName;
  HANDLE holder = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (!report.Check(holder != INVALID_HANDLE_VALUE, "CreateFile(%s), the port to hold: error %lu; expected a handle",
                    portName, GetLastError())) {
    return;
  }
  Reader second;
  std::error_code ec;
  second.Open(portName, Baud::k115200, ec);
  report.Check(ec == Errc::kBusy && ec == std::errc::device_or_resource_busy && !second.isOpen() &&
                   Contains(second.lastError().reason, kBusyReason),
               "Open(%s) while another handle holds it: %s; expected kBusy, \"%s ...\"", portName,
               second.lastError().Describe().c_str(), kBusyReason);
  CloseHandle(holder);
  second.Open(portName, Baud::k115200, ec);
  report.Check(ec == Errc::kNotSerialPort && !second.isOpen(),
               "Open(%s) after the holder let go: %s; expected kNotSerialPort (a plain file)", portName,
               second.lastError().Describe().c_str());
}

}  // namespace

void CheckOpenFailures(const char* heldPortName, Report& report) {
  for (const OpenFailureCase& c : OpenFailureCases()) {
    CheckErrorCodeForm(c, report);
    CheckThrowingForm(c, report);
  }
  CheckMissingPortMessage(report);
  if (heldPortName != nullptr) {
    CheckHeldPort(heldPortName, report);
  } else {
    report.Note("the held port: skipped, no --held port name given");
  }
}

void CheckSecondReader(Reader& reader, const char* portName, Report& report) {
  Reader second;
  std::error_code ec;
  second.Open(portName, Baud::k115200, ec);
  report.Check(!ec || ec == Errc::kBusy, "a second Open(%s) while a Reader holds it: %s; expected kBusy, or open",
               portName, second.lastError().Describe().c_str());
  if (!ec)
    report.Note("a second Open(%s) while a Reader holds it: opened (wine keeps no share mode on a serial device)",
                portName);
  second.Close();
  const uint8_t power = reader.GetPower(ec);
  report.Check(!ec, "GetPower on the first Reader after the second closed: %s (power %u); expected an answer",
               reader.lastError().Describe().c_str(), power);
}

}  // namespace quarn::win32ring::cppapi
