// quarn: a person's tool for a UHF RFID reader on a serial port, built on the Quarn_API library.

#include <CLI/CLI.hpp>
#include <cstdio>

#include "commands.h"
#include "usage_errors.h"

using namespace quarn::cli;

namespace {

const char* const kFooter =
    "Exit status: 0 done; 1 the reader refused, did not answer or the port went away; 2 wrong command line\n"
    "(or an irreversible command not confirmed); 3 the port would not open. EPCs and data are hex; banks\n"
    "are reserved, epc, tid, user; addresses count 16-bit words.";

void AddGlobalOptions(CLI::App& app, GlobalOptions& options) {
  app.add_option("-p,--port", options.port, "serial port: a path, or a name under /dev/ such as ttyUSB0")
      ->envname("QUARN_PORT");
  app.add_option("-b,--baud", options.baud, "baud rate: 9600, 19200, 57600 or 115200")
      ->check(CLI::IsMember({9600, 19200, 57600, 115200}))
      ->capture_default_str();
  app.add_flag("--crc", options.crc, "send frames in CRC mode (code bit 7 set, CRC-16 protected)");
  app.add_flag("--sim", options.sim,
               "start the virtual reader inside this process and talk to it; its tags, memory,\n"
               "filters and registers last from run to run in $XDG_STATE_HOME/quarn/sim-state.json\n"
               "(else ~/.local/state/quarn/sim-state.json): delete that file to start afresh,\n"
               "or give --sim-reset");
  app.add_flag("--sim-reset", options.simReset,
               "start the virtual reader afresh: forget the state earlier runs left (implies --sim)");
  app.add_option("--sim-scenario", options.simScenario, "the virtual reader's tags and antennas, from a scenario file")
      ->check(CLI::ExistingFile);
  app.add_flag("--json", options.json, "print machine-readable JSON on stdout");
}

void Print(const Report& report, bool json) {
  if (json) {
    std::printf("%s\n", report.data.dump(2).c_str());
  } else if (!report.text.empty()) {
    std::fputs(report.text.c_str(), stdout);
    if (report.text.back() != '\n') std::fputs("\n", stdout);
  }
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quarn: talk to a UHF RFID reader (EPC Gen2 tags) on a serial port", "quarn"};
  app.footer(kFooter);
  app.require_subcommand(1);
  app.fallthrough();
  app.failure_message(UsageErrorText);

  Context context;
  AddGlobalOptions(app, context.options);
  CommandSet commands;
  AddReaderCommands(app, commands);
  AddInventoryCommand(app, commands);
  AddTagMemoryCommands(app, commands);
  AddMultiReadCommand(app, commands);
  AddTagSecurityCommands(app, commands);
  AddFilterCommands(app, commands);
  AddAntennaCommands(app, commands);
  AddSamCommands(app, commands);
  AddUpdateCommand(app, commands);
  AddDecodeCommand(app, commands);
  AddPortsCommand(app, commands);
  AddWatchCommand(app, commands);

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    int status = app.exit(error);
    return status == 0 ? kExitOk : kExitUsage;
  }

  try {
    context.session = std::make_unique<Session>(context.options);
    if (!commands.selected()) FailUsage("name a command; quarn --help lists them");
    Report report = commands.selected()(context);
    std::fflush(stderr);
    Print(report, context.options.json);
    return report.exitStatus;
  } catch (const Failure& failure) {
    if (failure.partial() && !context.options.json) Print(*failure.partial(), false);
    std::fflush(stdout);
    std::fprintf(stderr, "quarn: %s\n", FailureText(failure).c_str());
    if (context.options.json) std::printf("%s\n", FailureJson(failure).dump(2).c_str());
    return failure.exitStatus();
  } catch (const quarn::Error& error) {
    // Every command runs its calls through the failure messages; this is the net below them.
    std::fprintf(stderr, "quarn: %s\n", error.what());
    return kExitFailed;
  }
}
