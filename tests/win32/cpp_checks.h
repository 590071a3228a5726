#pragma once
// The groups of checks the C++ API's Windows test program (cpp_test.cpp) runs: the static quarn_cpp
// linked into a mingw program, against the virtual reader behind a COM port (sim_field.h) and against
// port names that do not open.

#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "check_report.h"
#include "quarn/quarn.h"

namespace quarn::win32ring::cppapi {

using Bytes = std::vector<uint8_t>;

// Names that do not open, each with its error, and a port that another handle holds.
void CheckOpenFailures(const char* heldPortName, Report& report);
// A second Reader on the reader's port while the first holds it: what wine answers, and that the
// first still works once the second is gone.
void CheckSecondReader(Reader& reader, const char* portName, Report& report);

// Version, UID, power, frequency, antennas, registers, sleep.
void CheckReaderManagement(Reader& reader, Report& report);
// Reads and writes by EPC in the Reader's present mode, block writes, a lock and its undoing.
void CheckTagMemory(Reader& reader, Report& report);
// The reader's refusals through quarn::Error and through the error_code form with lastError().
void CheckRefusals(Reader& reader, Report& report);
// Inventory and multi-tag read streams, ended by break, callback, limit and Stop.
void CheckStreams(Reader& reader, Report& report);
// A select filter added, listed and deleted; an APDU through the SAM.
void CheckFiltersAndSam(Reader& reader, Report& report);
// The whole update on a port of its own, then the new version through the Reader it returns.
void CheckFirmwareUpdate(const char* portName, Report& report);

// ---- What the groups share ----

inline const char* ModeName(const Reader& reader) { return reader.crcMode() ? "CRC mode" : "plain"; }

// Bytes from the hex text of sim_field.h.
inline Bytes Hex(const char* text) { return FromHex(text); }

inline std::string HexOf(ByteView bytes) { return bytes.empty() ? "(none)" : ToHex(bytes); }

// The reader error code of the last call as text, "none" when the reply carried none.
inline std::string ErrorCodeText(const std::optional<uint8_t>& code) {
  return code ? "0x" + ToHex(ByteView(&*code, 1)) : "none";
}

// Runs a group's body; an exception it did not expect (a throwing call that failed) is one failed check
// naming the call, and the group goes on with the next body.
template <typename Body>
void Guarded(Report& report, const char* what, Body&& body) {
  try {
    body();
  } catch (const Error& error) {
    report.Check(false, "%s: unexpected quarn::Error: %s", what, error.what());
  } catch (const std::exception& error) {
    report.Check(false, "%s: unexpected exception: %s", what, error.what());
  }
}

}  // namespace quarn::win32ring::cppapi
