#pragma once
// The port operations the frame code needs. Each backend (POSIX, Win32, and the test fake) implements
// them in a file of its own and is chosen at link time, so the codec and the exchange hold no #ifdef.

#include <cstdint>

#include "quarn_api.h"

namespace quarn::serial {

enum class ReadOutcome {
  kByte,    // one byte arrived
  kNoByte,  // the read time-out (3050 ms) passed with nothing received
  kFailed,  // the system reported an error
  kGone,      // the device hung up or went away: every later read fails at once, so waiting on is useless
  kUnusable,  // the handle is not an open port
};

enum class WriteOutcome {
  kWritten,   // the byte is on its way
  kTimedOut,  // the write time-out (550 ms) passed without the port taking the byte
  kFailed,    // the system reported an error
  kGone,      // the device hung up or went away
  kUnusable,  // the handle is not an open port
};

// Why a port did not open, in the words a person at the machine can act on.
enum class OpenFailure {
  kNone,
  kNoSuchPort,        // no device of that name
  kPermissionDenied,  // the user may not open it
  kBusy,              // another program holds it
  kNotSerialPort,     // it opens, but it is not a serial port this library can drive
  kBadName,           // the name is empty or too long for a device path
  kOther,             // the system refused for another reason
};

// Opens the named port for exclusive read and write. Returns QUARN_INVALID_PORT when it will not open,
// and then the reason through *why (when why is not nullptr).
PortHandle OpenExclusive(const char* portName, OpenFailure* why);

// Queue sizes, time-outs, baud rate with 8N1. Failures of the system calls are not reported.
void Configure(PortHandle port, uint32_t baudRate);

// Returns false when the system refuses to close the handle.
bool Close(PortHandle port);

// Discards whatever waits in the port's input.
void PurgeInput(PortHandle port);

// Bracket the bytes of one frame, so a backend may prepare the port for a run of one-byte writes once
// per frame rather than once per byte. Every BeginFrameWrite is followed by one EndFrameWrite, before
// the next read: the POSIX port makes its writes non-blocking for the bracket and its reads wait again
// after it.
void BeginFrameWrite(PortHandle port);
void EndFrameWrite(PortHandle port);

// Writes one byte, giving up when the port has not taken it within the write time-out (550 ms). Called
// only inside a frame bracket, where the POSIX port keeps that bound.
WriteOutcome WriteByte(PortHandle port, uint8_t value);

// Reads one byte, waiting at most the port's read time-out.
ReadOutcome ReadByte(PortHandle port, uint8_t* value);

enum class InputWait {
  kReady,     // a byte waits to be read, or something a read will report
  kNothing,   // nothing came within the wait
  kGone,      // the device hung up and nothing it sent before is left
  kUnusable,  // the handle is not an open port
};

// Waits at most timeoutMs for the reader to send something, without reading it. A receive that follows
// kReady takes only its frame's own time, where one on a silent port sits out its read time-out.
InputWait WaitForInput(PortHandle port, uint32_t timeoutMs);

// A millisecond counter that wraps at 32 bits; only differences of two readings mean anything.
uint32_t TickMs(PortHandle port);

}  // namespace quarn::serial
