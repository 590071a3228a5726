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

// The errors by which a port says that its device was removed.
bool MeansGone(DWORD error) {
  return error == ERROR_DEVICE_REMOVED || error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE ||
         error == ERROR_OPERATION_ABORTED;
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
  // When the write time-out passes, WriteFile still succeeds but reports nothing written: the byte is
  // lost, so the frame is, too.
  return written == 1 ? WriteOutcome::kWritten : WriteOutcome::kTimedOut;
}

ReadOutcome ReadByte(PortHandle port, uint8_t* value) {
  DWORD got = 0;
  if (ReadFile(port, value, 1, &got, nullptr) == 0) {
    const DWORD error = GetLastError();
    if (error == ERROR_INVALID_HANDLE) return ReadOutcome::kUnusable;
    return MeansGone(error) ? ReadOutcome::kGone : ReadOutcome::kFailed;
  }
  return got == 1 ? ReadOutcome::kByte : ReadOutcome::kNoByte;
}

uint32_t TickMs(PortHandle) { return GetTickCount(); }

}  // namespace quarn::serial
