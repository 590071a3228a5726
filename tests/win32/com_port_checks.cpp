// A real COM port: the wine prefix maps it to a pseudo-terminal whose other side is the scripted peer
// (com_peer.cpp). What the port reports after UhfOpenPort is read back with the Win32 calls themselves.

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "com_script.h"
#include "quarn_api.h"
#include "ring_checks.h"

namespace quarn::win32ring {

namespace {

const HANDLE kHandleSentinel = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(0x1234));
constexpr unsigned char kOutSentinel = 0x5A;

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

double NowMs() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The settings ConfigureSerialPort must leave: the baud rate, 8N1, and the five time-outs.
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

// ---- The scripted exchanges, one function per step of kComScript, in the same order. ----

void GetPowerPlain(HMODULE dll, HANDLE port, Report& report) {
  const auto getPower = QUARN_LOOKUP(dll, UhfGetPower);
  unsigned char power = kOutSentinel;
  const int result = getPower(port, &power, 0);
  report.Check(result == 1 && power == 0x1E, "UhfGetPower plain: result %d, power 0x%02X; expected 1, 0x1E", result,
               power);
}

void GetPowerCrc(HMODULE dll, HANDLE port, Report& report) {
  const auto getPower = QUARN_LOOKUP(dll, UhfGetPower);
  unsigned char power = kOutSentinel;
  const int result = getPower(port, &power, 1);
  report.Check(result == 1 && power == 0xB2, "UhfGetPower CRC mode: result %d, power 0x%02X; expected 1, 0xB2",
               result, power);
}

void SetPowerEscaped(HMODULE dll, HANDLE port, Report& report) {
  const auto setPower = QUARN_LOOKUP(dll, UhfSetPower);
  const int result = setPower(port, 0x155, 0x0D, 0);
  report.Check(result == 1, "UhfSetPower(0x155, 0x0D): result %d; expected 1", result);
}

void GetFrequencyRaw(HMODULE dll, HANDLE port, Report& report) {
  const auto getFrequency = QUARN_LOOKUP(dll, UhfGetFrequency);
  unsigned char f0 = kOutSentinel, f1 = kOutSentinel, f4 = kOutSentinel, f5 = kOutSentinel, f6 = kOutSentinel;
  unsigned char f23[3] = {kOutSentinel, kOutSentinel, kOutSentinel};
  const int result = getFrequency(port, &f0, &f1, f23, &f4, &f5, &f6, 0);
  report.Check(result == 1 && f0 == 0x0D && f1 == 0x0A && f23[0] == 0x11 && f23[1] == 0x13 && f23[2] == kOutSentinel &&
                   f4 == 0x7F && f5 == 0x03 && f6 == 0x04,
               "UhfGetFrequency: result %d, bytes %02X %02X %02X %02X (%02X) %02X %02X %02X; expected 1, "
               "0D 0A 11 13 (5A) 7F 03 04",
               result, f0, f1, f23[0], f23[1], f23[2], f4, f5, f6);
}

// The reader stays silent: the first read returns empty after the port's 3050 ms, and the hunt ends.
void GetPowerTimeOut(HMODULE dll, HANDLE port, Report& report) {
  const auto getPower = QUARN_LOOKUP(dll, UhfGetPower);
  unsigned char power = kOutSentinel;
  const double start = NowMs();
  const int result = getPower(port, &power, 0);
  const double elapsed = NowMs() - start;
  report.Check(result == 0 && power == kOutSentinel, "UhfGetPower with no reply: result %d, power 0x%02X; expected 0, "
               "untouched", result, power);
  report.Check(elapsed >= 2900.0 && elapsed <= 4500.0, "UhfGetPower with no reply took %.0f ms; expected about 3050",
               elapsed);
  report.Note("no-reply time-out after %.0f ms", elapsed);
}

using StepCheck = void (*)(HMODULE, HANDLE, Report&);
const StepCheck kStepChecks[] = {GetPowerPlain, GetPowerCrc, SetPowerEscaped, GetFrequencyRaw, GetPowerTimeOut};
static_assert(sizeof kStepChecks / sizeof kStepChecks[0] == kComStepCount, "one check per step of the script");

void RunScript(HMODULE dll, HANDLE port, Report& report) {
  for (size_t step = 0; step < kComStepCount; ++step) {
    const char* exportName = kComScript[step].exportName;
    // The peer skips the steps of exports not built yet in the same way.
    if (GetProcAddress(dll, exportName) == nullptr) {
      report.Note("step %u skipped: %s is not exported", static_cast<unsigned>(step + 1), exportName);
      continue;
    }
    kStepChecks[step](dll, port, report);
  }
}

}  // namespace

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

  RunScript(dll, port, report);
  report.Check(exports.close(&port) == 1, "UhfClosePort after the exchanges must return 1");
}

}  // namespace quarn::win32ring
