// The serial backend on Windows: the communications calls of the Win32 API on a port opened through
// its "\\.\" device path, which also reaches COM10 and above.

#include <windows.h>

#include <cstring>

#include "link/serial/serial_backend.h"

namespace quarn::serial {

namespace {

constexpr char kDevicePrefix[] = "\\\\.\\";
constexpr size_t kMaxPathLength = 1024;
constexpr DWORD kQueueSize = 1024;

// With these a one-byte read returns after at most 3050 ms and a one-byte write gives up after 550 ms.
constexpr DWORD kReadIntervalTimeoutMs = 50;
constexpr DWORD kReadTotalTimeoutMultiplierMs = 50;
constexpr DWORD kReadTotalTimeoutConstantMs = 3000;
constexpr DWORD kWriteTotalTimeoutMultiplierMs = 50;
constexpr DWORD kWriteTotalTimeoutConstantMs = 500;

}  // namespace

namespace {

OpenFailure FailureOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
      return OpenFailure::kNoSuchPort;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      // A COM port held by another program answers "access denied".
      return OpenFailure::kBusy;
    case ERROR_INVALID_NAME:
    case ERROR_FILENAME_EXCED_RANGE:
      return OpenFailure::kBadName;
    default:
      return OpenFailure::kOther;
  }
}

PortHandle Refuse(OpenFailure failure, OpenFailure* why) {
  if (why != nullptr) *why = failure;
  return QUARN_INVALID_PORT;
}

// The errors by which a port says that its device was removed. When a USB serial adapter is unplugged,
// its driver fails every later ReadFile, WriteFile and ClearCommError on the handle, each driver with its
// own code: Microsoft's usbser.sys ERROR_BAD_COMMAND ("the device does not recognize the command"), the
// FTDI and Prolific drivers ERROR_ACCESS_DENIED or ERROR_GEN_FAILURE, others ERROR_DEVICE_REMOVED or
// ERROR_DEVICE_NOT_CONNECTED; a call under way at that moment ends with
// ERROR_OPERATION_ABORTED. Access is checked when a handle is opened, so on an open port "access denied"
// too means that the device went. The handle stays useless when the adapter comes back: the caller
// closes it and opens the port again.
bool MeansGone(DWORD error) {
  switch (error) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_ACCESS_DENIED:
    case ERROR_OPERATION_ABORTED:
      return true;
    default:
      return false;
  }
}

// A read or write that moved nothing ends so when its time-out passes, but a driver may also end one
// empty, at once, once its device has gone; ClearCommError then fails and tells the two apart. Empty
// calls are rare (one per read time-out), so the check costs nothing in the common case.
bool HasGone(HANDLE port) {
  DWORD errors = 0;
  COMSTAT status{};
  return ClearCommError(port, &errors, &status) == 0 && MeansGone(GetLastError());
}

}  // namespace

PortHandle OpenExclusive(const char* portName, OpenFailure* why) {
  if (portName == nullptr || portName[0] == '\0') return Refuse(OpenFailure::kBadName, why);
  char path[kMaxPathLength];
  const size_t prefixLength = sizeof kDevicePrefix - 1;
  const size_t nameLength = std::strlen(portName);
  if (prefixLength + nameLength + 1 > kMaxPathLength) return Refuse(OpenFailure::kBadName, why);
  std::memcpy(path, kDevicePrefix, prefixLength);
  std::memcpy(path + prefixLength, portName, nameLength + 1);
  // Share mode 0 holds the port exclusively; flags 0 ask for synchronous I/O.
  const HANDLE port = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port == INVALID_HANDLE_VALUE) return Refuse(FailureOf(GetLastError()), why);
  // A name may open a device that is no serial port (NUL, CON, a disk): its reads would return nothing
  // at once, forever, instead of waiting for the read time-out. Only a port answers GetCommState.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  if (GetCommState(port, &settings) == 0) {
    CloseHandle(port);
    return Refuse(OpenFailure::kNotSerialPort, why);
  }
  return port;
}

void Configure(PortHandle port, uint32_t baudRate) {
  SetupComm(port, kQueueSize, kQueueSize);
  COMMTIMEOUTS timeouts{};
  timeouts.ReadIntervalTimeout = kReadIntervalTimeoutMs;
  timeouts.ReadTotalTimeoutMultiplier = kReadTotalTimeoutMultiplierMs;
  timeouts.ReadTotalTimeoutConstant = kReadTotalTimeoutConstantMs;
  timeouts.WriteTotalTimeoutMultiplier = kWriteTotalTimeoutMultiplierMs;
  timeouts.WriteTotalTimeoutConstant = kWriteTotalTimeoutConstantMs;
  SetCommTimeouts(port, &timeouts);
  // Every other field (binary mode, flow control, handshake lines) keeps what the port reports.
  DCB settings{};
  settings.DCBlength = sizeof settings;
  GetCommState(port, &settings);
  settings.BaudRate = baudRate;
  settings.ByteSize = 8;
  settings.Parity = NOPARITY;
  settings.StopBits = ONESTOPBIT;
  SetCommState(port, &settings);
}

bool Close(PortHandle port) { return CloseHandle(port) != 0; }

void PurgeInput(PortHandle port) { PurgeComm(port, PURGE_RXCLEAR); }

void BeginFrameWrite(PortHandle) {}

void EndFrameWrite(PortHandle) {}

WriteOutcome WriteByte(PortHandle port, uint8_t value) {
  DWORD written = 0;
  if (WriteFile(port, &value, 1, &written, nullptr) == 0) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_HANDLE) return WriteOutcome::kUnusable;
    return MeansGone(error) ? WriteOutcome::kGone : WriteOutcome::kFailed;
  }
  if (written == 1) return WriteOutcome::kWritten;
  // When the write time-out passes, WriteFile still succeeds but reports nothing written: the byte is
  // lost, so the frame is, too.
  return HasGone(port) ? WriteOutcome::kGone : WriteOutcome::kTimedOut;
}

ReadOutcome ReadByte(PortHandle port, uint8_t* value) {
  DWORD got = 0;
  if (ReadFile(port, value, 1, &got, nullptr) == 0) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_HANDLE) return ReadOutcome::kUnusable;
    return MeansGone(error) ? ReadOutcome::kGone : ReadOutcome::kFailed;
  }
  if (got == 1) return ReadOutcome::kByte;
  return HasGone(port) ? ReadOutcome::kGone : ReadOutcome::kNoByte;
}

// A synchronous handle has no wait with a time-out of its own short of a read, which would take the
// byte; the queue is looked at in short sleeps instead.
InputWait WaitForInput(PortHandle port, uint32_t timeoutMs) {
  constexpr DWORD kLookEveryMs = 5;
  const DWORD start = GetTickCount();
  for (;;) {
    DWORD errors = 0;
    COMSTAT status{};
    if (ClearCommError(port, &errors, &status) == 0) {
      const DWORD error = GetLastError();
      if (error == ERROR_INVALID_HANDLE) return InputWait::kUnusable;
      return MeansGone(error) ? InputWait::kGone : InputWait::kReady;
    }
    if (status.cbInQue > 0) return InputWait::kReady;
    const DWORD elapsed = GetTickCount() - start;
    if (elapsed >= timeoutMs) return InputWait::kNothing;
    Sleep(timeoutMs - elapsed < kLookEveryMs ? timeoutMs - elapsed : kLookEveryMs);
  }
}

uint32_t TickMs(PortHandle) { return GetTickCount(); }

}  // namespace quarn::serial
