#pragma once
// The groups of checks the Windows test program runs against the loaded DLL.

#include <windows.h>

#include "check_report.h"

namespace quarn::win32ring {

// Every name of the .def by name and by ordinal, and the one entry that two names share.
void CheckExportTable(HMODULE dll, Report& report);

// Calls every export once with harmless arguments and, on 32-bit x86, checks who removed them.
void CheckCallingConventions(HMODULE dll, Report& report);

// The two byte <-> hex text conversions, through the DLL.
void CheckHexConversion(HMODULE dll, Report& report);

// Opening, configuring and closing a COM port, and the scripted exchanges through it.
// highPortName names the same port under a number of two digits.
void CheckComPort(HMODULE dll, const char* portName, const char* highPortName, Report& report);

// Inventory, reads and writes by EPC against the virtual reader behind portName, whose field
// sim_field.scenario describes.
void CheckVirtualReader(HMODULE dll, const char* portName, Report& report);

// A function of the DLL by name, typed as the public header declares it; null when it is not exported.
template <typename Function>
Function Lookup(HMODULE dll, const char* name) {
  // The detour through void (*)() keeps the cast between function types explicit and warning-free.
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(dll, name)));
}

#define QUARN_LOOKUP(dll, name) ::quarn::win32ring::Lookup<decltype(&name)>(dll, #name)

}  // namespace quarn::win32ring
