// The DLL's export table as a caller sees it, and each export's calling convention.

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "export_table.h"
#include "ring_checks.h"
#include "stack_probe.h"

namespace quarn::win32ring {

namespace {

FARPROC ByName(HMODULE dll, const char* name) { return GetProcAddress(dll, name); }

FARPROC ByOrdinal(HMODULE dll, unsigned ordinal) {
  return GetProcAddress(dll, reinterpret_cast<LPCSTR>(static_cast<uintptr_t>(ordinal)));
}

// A port handle on which every write fails and every read delivers a broken frame (a head followed by a
// tail byte): a command export fails at its first write and a receive-only export at its first frame,
// instead of waiting out its time limit.
class DeadPort {
 public:
  DeadPort() {
    HANDLE writeEnd = nullptr;
    if (CreatePipe(&readEnd_, &writeEnd, nullptr, 0) == 0) return;
    std::vector<uint8_t> brokenFrames;
    for (int i = 0; i < kBrokenFrames; ++i) {
      brokenFrames.push_back(0xAA);
      brokenFrames.push_back(0x55);
    }
    DWORD written = 0;
    WriteFile(writeEnd, brokenFrames.data(), static_cast<DWORD>(brokenFrames.size()), &written, nullptr);
    CloseHandle(writeEnd);
  }
  ~DeadPort() {
    if (readEnd_ != nullptr) CloseHandle(readEnd_);
  }
  DeadPort(const DeadPort&) = delete;
  DeadPort& operator=(const DeadPort&) = delete;

  bool ready() const { return readEnd_ != nullptr; }
  HANDLE handle() const { return readEnd_; }

 private:
  // More than the most receives one export makes (the stop command's five).
  static constexpr int kBrokenFrames = 32;
  HANDLE readEnd_ = nullptr;
};

// Zeroed scratch behind every pointer argument, large enough for any buffer the header documents, so
// that an export reading a count or a record from it sees zero and writing into it stays inside.
class ProbeArguments {
 public:
  ProbeArguments() : scratch_(kMaxProbeArguments * kSlotBytes) {}

  // Returns the number of arguments laid out in values[].
  size_t LayOut(const char* kinds, HANDLE deadPort, uintptr_t* values) {
    std::memset(scratch_.data(), 0, scratch_.size());
    size_t count = 0;
    for (const char* kind = kinds; *kind != '\0' && count < kMaxProbeArguments; ++kind, ++count) {
      switch (*kind) {
        case 'h': values[count] = reinterpret_cast<uintptr_t>(deadPort); break;
        case 'p': values[count] = reinterpret_cast<uintptr_t>(scratch_.data() + count * kSlotBytes); break;
        default: values[count] = 0; break;
      }
    }
    return count;
  }

 private:
  static constexpr size_t kSlotBytes = 8192;
  std::vector<uint8_t> scratch_;
};

// The three exports that leave the removal of their arguments to the caller; every other one is stdcall.
// The header is checked against this, since the probe takes the convention from the header.
bool IsCdeclByDesign(const char* name) {
  for (const char* cdeclName : {"LockGenCode", "UhfCharToCString", "UhfCStringToChar"}) {
    if (std::strcmp(name, cdeclName) == 0) return true;
  }
  return false;
}

void CheckOneConvention(const DefExport& entry, FARPROC function, Report& report) {
  const size_t argumentCount = std::strlen(entry.argumentKinds);
  if (!report.Check(argumentCount <= kMaxProbeArguments, "%s: %u arguments, more than the probe carries",
                    entry.name, static_cast<unsigned>(argumentCount))) {
    return;
  }
  DeadPort deadPort;
  if (!report.Check(deadPort.ready(), "%s: no pipe for the dead port", entry.name)) return;
  ProbeArguments arguments;
  uintptr_t values[kMaxProbeArguments] = {};
  const size_t count = arguments.LayOut(entry.argumentKinds, deadPort.handle(), values);

  const ProbeOutcome outcome = ProbeCall(reinterpret_cast<void (*)()>(function), values, count);

  if (kConventionIsObservable) {
    const bool stdcall = entry.convention == Convention::kStdcall;
    const uint32_t expected = stdcall ? static_cast<uint32_t>(4 * count) : 0;
    report.Check(outcome.removedBytes == expected,
                 "%s: the callee removed %u argument bytes; %s with %u arguments removes %u", entry.name,
                 outcome.removedBytes, stdcall ? "stdcall" : "cdecl", static_cast<unsigned>(count), expected);
  }
  // A command on a port that cannot carry it must report failure, never success.
  if (entry.argumentKinds[0] == 'h') {
    const int result = static_cast<int>(static_cast<uint32_t>(outcome.result));
    report.Check(result == 0, "%s on a dead port returned %d, not 0", entry.name, result);
  }
}

}  // namespace

void CheckExportTable(HMODULE dll, Report& report) {
  for (const DefExport& entry : kDefExports) {
    const FARPROC named = ByName(dll, entry.name);
    const FARPROC numbered = ByOrdinal(dll, entry.ordinal);
    if (!report.Check(named != nullptr, "%s: not found by name", entry.name)) continue;
    report.Check(numbered == named, "%s: ordinal %u gives %p, the name gives %p", entry.name, entry.ordinal,
                 reinterpret_cast<void*>(numbered), reinterpret_cast<void*>(named));
    if (entry.sharedWith != nullptr) {
      const FARPROC other = ByName(dll, entry.sharedWith);
      report.Check(other == named, "%s and %s must be one entry: %p and %p", entry.name, entry.sharedWith,
                   reinterpret_cast<void*>(named), reinterpret_cast<void*>(other));
    }
  }
  report.Note("%u names of the .def", static_cast<unsigned>(sizeof kDefExports / sizeof kDefExports[0]));
}

void CheckCallingConventions(HMODULE dll, Report& report) {
  int probed = 0;
  for (const DefExport& entry : kDefExports) {
    if (!report.Check(entry.argumentKinds != nullptr,
                      "%s: exported by the .def but declared nowhere in quarn_api.h", entry.name)) {
      continue;
    }
    const bool cdeclByDesign = IsCdeclByDesign(entry.name);
    report.Check((entry.convention == Convention::kCdecl) == cdeclByDesign, "%s: quarn_api.h declares it %s",
                 entry.name,
                 cdeclByDesign ? "QUARN_CALL, it must be QUARN_CDECL" : "QUARN_CDECL, it must be QUARN_CALL");
    const FARPROC function = ByName(dll, entry.name);
    if (function == nullptr) continue;  // already reported by the export table
    CheckOneConvention(entry, function, report);
    ++probed;
  }
  report.Note(kConventionIsObservable ? "%d exports called, stack pointer checked around each"
                                      : "%d exports called (one calling convention on this architecture)",
              probed);
}

}  // namespace quarn::win32ring
