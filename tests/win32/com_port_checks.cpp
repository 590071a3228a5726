// A real COM port: the wine prefix maps it to a pseudo-terminal whose other side is the scripted peer
// (com_peer.cpp). What the port reports after UhfOpenPort is read back with the Win32 calls themselves;
// then the scripted exchanges run through it (com_steps.cpp).

#include <windows.h>

#include <cstdint>

#include "com_steps.h"
#include "quarn_api.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

const HANDLE kHandleSentinel = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234));

struct PortExports {
  decltype(&UhfOpenPort) open;
  decltype(&UhfReaderConnect) connect;
  decltype(&UhfClosePort) close;
  decltype(&UhfReaderDisconnect) disconnect;
};

struct BaudCase {
  int portOptions;
  DWORD baudRate;
  bool throughSecondName;  // open with UhfReaderConnect
};

// Bit 0 and the bits above 3 do not take part in the selection.
const BaudCase kBaudCases[] = {
    {0x00, 9600, false}, {0x11, 9600, false}, {0x03, 19200, true}, {0x04, 57600, false}, {0x07, 115200, false},
};

const int kRefusedOptions[] = {0x08, 0x09, 0x0A, 0x0C, 0x0E};

void CheckRefusedOpens(const PortExports& exports, const char* portName, Report& report) {
  for (int options : kRefusedOptions) {
    PortHandle port = kHandleSentinel;
    const int result = exports.open(&port, portName, options);
    report.Check(result == 0 && port == INVALID_HANDLE_VALUE,
                 "UhfOpenPort(%s, options 0x%02X) = %d with handle %p; expected 0 and INVALID_HANDLE_VALUE", portName,
                 options, result, port);
  }
  // The empty name leaves the bare "\\.\" path, and an unmapped number names no device.
  for (const char* name : {"", "COM199"}) {
    PortHandle port = kHandleSentinel;
    const int result = exports.open(&port, name, 0x06);
    report.Check(result == 0 && port == INVALID_HANDLE_VALUE,
                 "UhfOpenPort(\"%s\") = %d with handle %p; expected 0 and INVALID_HANDLE_VALUE", name, result, port);
  }
}

// Each case opens the port afresh: the configuration must not depend on what an earlier open left.
void CheckBaudTable(const PortExports& exports, const char* portName, Report& report) {
  for (const BaudCase& c : kBaudCases) {
    PortHandle port = kHandleSentinel;
    const int result = (c.throughSecondName ? exports.connect : exports.open)(&port, portName, c.portOptions);
    if (!report.Check(result == 1 && port != INVALID_HANDLE_VALUE && port != kHandleSentinel,
                      "%s(%s, options 0x%02X) = %d", c.throughSecondName ? "UhfReaderConnect" : "UhfOpenPort",
                      portName, c.portOptions, result)) {
      continue;
    }
    CheckConfiguration(port, portName, c.baudRate, report);
    const PortHandle opened = port;
    report.Check(exports.close(&port) == 1 && port == opened, "UhfClosePort must return 1 and keep the variable");
  }
}

void CheckHighPortNumber(const PortExports& exports, const char* highPortName, Report& report) {
  PortHandle port = kHandleSentinel;
  if (!report.Check(exports.open(&port, highPortName, 0x02) == 1, "UhfOpenPort(%s) failed", highPortName)) return;
  CheckConfiguration(port, highPortName, 19200, report);
  const PortHandle opened = port;
  report.Check(exports.disconnect(&port, 12345) == 1 && port == opened,
               "UhfReaderDisconnect must return 1 and keep the variable");
}

// Wine does not hold a serial device for the handle that opened it with share mode 0, so there a second
// open succeeds whatever the library asks; Windows refuses it.
bool RunningUnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

void CheckSecondOpenRefused(const PortExports& exports, const char* portName, Report& report) {
  PortHandle second = kHandleSentinel;
  const int result = exports.open(&second, portName, 0x06);
  if (result == 1) exports.close(&second);
  if (RunningUnderWine()) {
    report.Note("second open of an open port: %s under wine, which does not enforce share mode 0 on devices",
                result == 0 ? "refused" : "allowed");
    return;
  }
  report.Check(result == 0 && second == INVALID_HANDLE_VALUE,
               "a second UhfOpenPort(%s) while it is open = %d with handle %p; expected 0 and INVALID_HANDLE_VALUE",
               portName, result, second);
}

}  // namespace

void CheckConfiguration(HANDLE port, const char* portName, DWORD baudRate, Report& report) {
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (report.Check(GetCommState(port, &settings) != 0, "%s: GetCommState failed (%lu)", portName, GetLastError())) {
    report.Check(settings.BaudRate == baudRate && settings.ByteSize == 8 && settings.Parity == NOPARITY &&
                     settings.StopBits == ONESTOPBIT,
                 "%s: port reports %lu baud, %u data bits, parity %u, stop bits %u; expected %lu 8N1", portName,
                 settings.BaudRate, settings.ByteSize, settings.Parity, settings.StopBits, baudRate);
  }
  COMMTIMEOUTS timeouts{};
  if (report.Check(GetCommTimeouts(port, &timeouts) != 0, "%s: GetCommTimeouts failed", portName)) {
    report.Check(timeouts.ReadIntervalTimeout == 50 && timeouts.ReadTotalTimeoutMultiplier == 50 &&
                     timeouts.ReadTotalTimeoutConstant == 3000 && timeouts.WriteTotalTimeoutMultiplier == 50 &&
                     timeouts.WriteTotalTimeoutConstant == 500,
                 "%s: time-outs %lu/%lu/%lu/%lu/%lu, expected 50/50/3000/50/500", portName,
                 timeouts.ReadIntervalTimeout, timeouts.ReadTotalTimeoutMultiplier, timeouts.ReadTotalTimeoutConstant,
                 timeouts.WriteTotalTimeoutMultiplier, timeouts.WriteTotalTimeoutConstant);
  }
}

void CheckComPort(HMODULE dll, const char* portName, const char* highPortName, Report& report) {
  const PortExports exports{QUARN_LOOKUP(dll, UhfOpenPort), QUARN_LOOKUP(dll, UhfReaderConnect),
                            QUARN_LOOKUP(dll, UhfClosePort), QUARN_LOOKUP(dll, UhfReaderDisconnect)};
  if (!report.Check(exports.open && exports.connect && exports.close && exports.disconnect,
                    "the port exports are missing")) {
    return;
  }
  CheckRefusedOpens(exports, portName, report);
  CheckBaudTable(exports, portName, report);
  CheckHighPortNumber(exports, highPortName, report);

  PortHandle port = kHandleSentinel;
  if (!report.Check(exports.open(&port, portName, 0x06) == 1, "UhfOpenPort(%s, 115200) failed", portName)) return;
  CheckSecondOpenRefused(exports, portName, report);

  ScriptContext context{dll, port, portName, report, 0};
  RunScript(context);
  report.Check(exports.close(&context.port) == 1, "UhfClosePort after the exchanges must return 1");
}

}  // namespace quarn::win32ring
