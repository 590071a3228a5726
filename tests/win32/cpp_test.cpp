// The C++ API's Windows test program: the static quarn_cpp linked into a mingw program as an application
// links it (its runtime static too, so wine needs no compiler DLLs), run under wine.
//
//   quarn_cpp_test.exe [--sim COMs] [--held COMh]
//
// Always: port names that do not open. With --held, a port name the prefix maps to a plain file, held by
// one Reader while another opens it (cpp_open_checks.cpp says why a file). With --sim, the virtual reader
// behind COMs with the field of sim_field.scenario, every family of commands in plain and CRC mode, and
// last the firmware update, which leaves the reader with another version. Exit status 0 when every
// check passed.

#include <cstdio>
#include <cstring>
#include <string>

#include "cpp_checks.h"

namespace {

using quarn::win32ring::Report;
namespace checks = quarn::win32ring::cppapi;

struct Arguments {
  const char* simPortName = nullptr;
  const char* heldPortName = nullptr;
  bool valid = true;
};

Arguments ParseArguments(int argc, char** argv) {
  Arguments arguments;
  for (int i = 1; i < argc; ++i) {
    const bool hasValue = i + 1 < argc;
    if (std::strcmp(argv[i], "--sim") == 0 && hasValue) {
      arguments.simPortName = argv[++i];
    } else if (std::strcmp(argv[i], "--held") == 0 && hasValue) {
      arguments.heldPortName = argv[++i];
    } else {
      arguments.valid = false;
    }
  }
  return arguments;
}

template <typename Body>
void Group(Report& report, const std::string& name, Body&& body) {
  report.BeginGroup(name.c_str());
  body();
  report.EndGroup();
}

void CheckVirtualReader(const char* portName, Report& report) {
  quarn::Reader reader;
  std::error_code ec;
  reader.Open(portName, quarn::Baud::k115200, ec);
  if (!report.Check(!ec && reader.isOpen() && reader.portName() == portName, "Open(%s): %s; expected it open", portName,
                    reader.lastError().Describe().c_str())) {
    return;
  }
  Group(report, "a second Reader on " + std::string(portName),
        [&] { checks::CheckSecondReader(reader, portName, report); });
  for (const bool crcMode : {false, true}) {
    reader.setCrcMode(crcMode);
    const std::string mode = crcMode ? ", CRC mode" : ", plain";
    Group(report, "reader management" + mode, [&] { checks::CheckReaderManagement(reader, report); });
    Group(report, "streams" + mode, [&] { checks::CheckStreams(reader, report); });
    Group(report, "tag memory by EPC" + mode, [&] { checks::CheckTagMemory(reader, report); });
    Group(report, "refusals" + mode, [&] { checks::CheckRefusals(reader, report); });
    Group(report, "filter and SAM" + mode, [&] { checks::CheckFiltersAndSam(reader, report); });
  }
  reader.Close();
  Group(report, "firmware update", [&] { checks::CheckFirmwareUpdate(portName, report); });
}

}  // namespace

int main(int argc, char** argv) {
#if defined(__i386__)
  const char* architecture = "x86";
#else
  const char* architecture = "x64";
#endif
  const Arguments arguments = ParseArguments(argc, argv);
  if (!arguments.valid) {
    std::printf("usage: %s [--sim COMs] [--held COMh]\n", argv[0]);
    return 2;
  }
  Report report;
  Group(report, "open failures", [&] { checks::CheckOpenFailures(arguments.heldPortName, report); });
  if (arguments.simPortName != nullptr) {
    CheckVirtualReader(arguments.simPortName, report);
  } else {
    std::printf("[virtual reader] skipped: no --sim port name given\n");
  }
  std::printf("%s-cpp: %d checks, %d failed\n", architecture, report.checks(), report.failures());
  return report.failures() == 0 ? 0 : 1;
}
