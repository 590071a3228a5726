// The Windows test program: loads Quarn_API.dll from its own folder the way an application does and
// checks what an application relies on.
//
//   quarn_dll_test.exe [COMn COMnn] [--sim COMs]
//
// With two port names (one port under a one-digit and a two-digit number, the scripted peer behind it)
// it also runs the COM port checks; with --sim, the checks against the virtual reader behind COMs.
// Exit status 0 when every check passed.

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "check_report.h"
#include "ring_checks.h"

namespace {

using quarn::win32ring::Report;

// The DLL beside this program, never one found elsewhere on the search path.
HMODULE LoadBesideProgram(char* path, DWORD pathSize) {
  const DWORD length = GetModuleFileNameA(nullptr, path, pathSize);
  if (length == 0 || length >= pathSize) return nullptr;
  char* slash = std::strrchr(path, '\\');
  const size_t folderLength = slash == nullptr ? 0 : static_cast<size_t>(slash - path + 1);
  const char kName[] = "Quarn_API.dll";
  if (folderLength + sizeof kName > pathSize) return nullptr;
  std::memcpy(path + folderLength, kName, sizeof kName);
  return LoadLibraryA(path);
}

struct Arguments {
  const char* portName = nullptr;
  const char* highPortName = nullptr;
  const char* simPortName = nullptr;
};

// The two port names by position, wherever --sim and its name stand among them.
Arguments ParseArguments(int argc, char** argv) {
  Arguments arguments;
  const char* positional[2] = {nullptr, nullptr};
  int count = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--sim") == 0 && i + 1 < argc) {
      arguments.simPortName = argv[++i];
    } else if (count < 2) {
      positional[count++] = argv[i];
    }
  }
  if (count == 2) {
    arguments.portName = positional[0];
    arguments.highPortName = positional[1];
  }
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__i386__)
  const char* architecture = "x86";
#else
  const char* architecture = "x64";
#endif
  char path[MAX_PATH];
  HMODULE dll = LoadBesideProgram(path, sizeof path);
  if (dll == nullptr) {
    std::printf("FAIL LoadLibrary(%s): error %lu\n", path, GetLastError());
    return 1;
  }
  std::printf("%s: loaded %s\n", architecture, path);

  Report report;
  report.BeginGroup("exports by name and ordinal");
  quarn::win32ring::CheckExportTable(dll, report);
  report.EndGroup();

  report.BeginGroup("calling conventions");
  quarn::win32ring::CheckCallingConventions(dll, report);
  report.EndGroup();

  report.BeginGroup("hex conversion");
  quarn::win32ring::CheckHexConversion(dll, report);
  report.EndGroup();

  const Arguments arguments = ParseArguments(argc, argv);
  if (arguments.portName != nullptr) {
    report.BeginGroup("COM port");
    quarn::win32ring::CheckComPort(dll, arguments.portName, arguments.highPortName, report);
    report.EndGroup();
  } else {
    std::printf("[COM port] skipped: no port names given\n");
  }

  if (arguments.simPortName != nullptr) {
    report.BeginGroup("virtual reader");
    quarn::win32ring::CheckVirtualReader(dll, arguments.simPortName, report);
    report.EndGroup();
  } else {
    std::printf("[virtual reader] skipped: no --sim port name given\n");
  }

  FreeLibrary(dll);
  std::printf("%s: %d checks, %d failed\n", architecture, report.checks(), report.failures());
  return report.failures() == 0 ? 0 : 1;
}
