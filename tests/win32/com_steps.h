#pragma once
// The Windows side of the scripted exchanges: one check per step of kComScript, found by the name in
// the step's row. A check calls its export through the DLL with caller buffers pre-filled with a
// sentinel, and judges the result, what the export wrote, and that it wrote nothing more.

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "check_report.h"
#include "com_script.h"
#include "quarn_api.h"

namespace quarn::win32ring {

inline constexpr unsigned char kOutSentinel = 0x5A;

// What the steps share: the port they talk through, and what an earlier step hands to a later one.
struct ScriptContext {
  HMODULE dll;
  PortHandle port;  // the update steps replace it with the port UhfUpdateInit opens
  const char* portName;
  Report& report;
  int updateInitValue;  // the value UhfUpdateInit received, which UhfUpdateSendRN32 sends back
};

struct NamedCheck {
  const char* name;  // as in the check column of kComScript
  void (*run)(ScriptContext&);
};

struct CheckFamily {
  const NamedCheck* checks;
  size_t count;
};

template <size_t N>
constexpr CheckFamily FamilyOf(const NamedCheck (&checks)[N]) {
  return {checks, N};
}

// The checks by family; each is defined in its com_steps_*.cpp.
extern const CheckFamily kReaderChecks;
extern const CheckFamily kTagChecks;
extern const CheckFamily kSamAndUpdateChecks;

// Runs every step of kComScript in order through context.port.
void RunScript(ScriptContext& context);

// The settings ConfigureSerialPort must leave: the baud rate, 8N1, and the five time-outs.
void CheckConfiguration(HANDLE port, const char* portName, DWORD baudRate, Report& report);

template <size_t N>
void Prefill(unsigned char (&buffer)[N]) {
  for (unsigned char& b : buffer) b = kOutSentinel;
}

std::string HexText(const unsigned char* bytes, size_t count);

// Passes when buffer starts with expected and every byte after it, up to bufferSize, still holds the
// sentinel: the export wrote what it should and nothing beyond.
bool CheckWritten(Report& report, const char* what, const unsigned char* buffer, size_t bufferSize,
                  const std::vector<uint8_t>& expected);

template <size_t N>
bool CheckWritten(Report& report, const char* what, const unsigned char (&buffer)[N], const char* expectedHex) {
  return CheckWritten(report, what, buffer, N, ParseHexBytes(expectedHex));
}

}  // namespace quarn::win32ring
