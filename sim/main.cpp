// quarn-sim: a virtual reader on a pseudo-terminal. Prints the device path on stdout, then serves
// until SIGINT or SIGTERM. SIGUSR1 unplugs it and plugs it back in on a new terminal (whose path is
// printed as well); SIGUSR2 makes it hang until a stop command.

#include <signal.h>

#include <CLI/CLI.hpp>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>

#include "sim/quarn_sim.h"

namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kUsPerSecond = 1e6;

struct Options {
  std::string scenarioFile;
  std::optional<size_t> tags;
  std::optional<uint32_t> seed;
  std::vector<std::string> epcs;
  std::optional<unsigned> antennas;
  std::optional<unsigned> interval;
  bool paFault = false;
  std::string link;
  bool trace = false;
  std::string nvram;
  std::string state;
  double replugAfter = 1.0;
  std::optional<double> hangAfter;
  double hangFor = 0.0;
  quarn::sim::FaultSettings faults;
  std::string faultCodes;
};

std::set<uint8_t> ParseCodes(const std::string& text) {
  std::set<uint8_t> codes;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    unsigned long code = 0x100;
    try {
      code = std::stoul(item, nullptr, 16);
    } catch (const std::logic_error&) {
    }
    if (code > 0x7F) throw CLI::ValidationError("--fault-codes", "a command code is hex 00 to 7F: " + item);
    codes.insert(static_cast<uint8_t>(code));
  }
  return codes;
}

// The command-line settings as scenario lines after the file's, so that they apply on top of it.
std::string ScenarioLines(const Options& options) {
  std::string lines;
  if (options.seed) lines += "seed " + std::to_string(*options.seed) + "\n";
  if (options.tags) lines += "tags " + std::to_string(*options.tags) + "\n";
  if (options.antennas) lines += "antennas " + std::to_string(*options.antennas) + "\n";
  if (options.interval) lines += "interval " + std::to_string(*options.interval) + "\n";
  if (options.paFault) lines += "pa-fault\n";
  for (const std::string& epc : options.epcs) lines += "tag " + epc + "\n";
  return lines;
}

void AddOptions(CLI::App& app, Options& options) {
  app.add_option("--scenario", options.scenarioFile, "Scenario file (see sim/README.md)")->check(CLI::ExistingFile);
  app.add_option("--tags", options.tags, "Number of generated tags (default 3, or 0 with --epc)");
  app.add_option("--seed", options.seed, "Seed of generated EPCs, TIDs, UID and challenges");
  app.add_option("--epc", options.epcs, "A tag: EPC in hex, then key=value options and presence words (repeatable)");
  app.add_option("--antennas", options.antennas, "Number of antennas, 1 to 8 (default 4)")->check(CLI::Range(1, 8));
  app.add_option("--interval", options.interval, "Milliseconds between streamed frames (default 30)")
      ->check(CLI::Range(1, 255));
  app.add_flag("--pa-fault", options.paFault, "The PA status command reports a fault");
  app.add_option("--link", options.link, "Make a symbolic link to the device at this path");
  app.add_flag("--trace", options.trace, "Print every frame both ways on stderr");
  app.add_option("--state", options.state, "File that keeps tags, memory, filters and registers across runs");
  app.add_option("--nvram", options.nvram, "File that keeps the saved registers across runs");
  app.add_option("--replug-after", options.replugAfter, "Seconds the reader stays out after SIGUSR1 (default 1)")
      ->check(CLI::Range(0.0, 3600.0));
  app.add_option("--hang-after", options.hangAfter, "Fault: seconds after the start at which the reader hangs")
      ->check(CLI::Range(0.0, 1e9));
  app.add_option("--hang-for", options.hangFor, "Fault: a hang ends by itself after these seconds (0: at a stop)")
      ->check(CLI::Range(0.0, 1e9));
  app.add_option("--delay", options.faults.delayMs, "Fault: milliseconds before each reply");
  app.add_flag("--silent", options.faults.silent, "Fault: never reply");
  app.add_option("--drop", options.faults.dropRate, "Fault: probability that a reply byte is lost")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--corrupt", options.faults.corruptRate, "Fault: probability that a reply byte has a bit flipped")
      ->check(CLI::Range(0.0, 1.0));
  app.add_option("--noise", options.faults.noiseBytes, "Fault: random bytes before each reply");
  app.add_option("--fault-codes", options.faultCodes, "Faults hit only these plain codes, hex, comma-separated");
  app.add_option("--fault-limit", options.faults.limit, "Faults hit only this many frames");
  app.add_option("--tear-after", options.faults.tearAfterWords, "Fault: block and SR writes stop after N words");
  app.add_option("--baud", options.faults.baud, "Send at the real wire pace of this baud rate");
}

void PrintLine(const std::string& line) {
  std::printf("%s\n", line.c_str());
  std::fflush(stdout);
}

quarn::sim::ServedReaderOptions ReaderOptions(Options& options) {
  quarn::sim::ServedReaderOptions reader;
  reader.scenarioFile = options.scenarioFile;
  reader.scenarioText = ScenarioLines(options);
  if (!options.faultCodes.empty()) options.faults.codes = ParseCodes(options.faultCodes);
  if (options.hangAfter) options.faults.hangAtUs = static_cast<uint64_t>(std::llround(*options.hangAfter * kUsPerSecond));
  options.faults.hangForUs = static_cast<uint64_t>(std::llround(options.hangFor * kUsPerSecond));
  reader.faults = options.faults;
  reader.stateFile = options.state;
  reader.nvramFile = options.nvram;
  reader.linkPath = options.link;
  if (options.trace) reader.trace = [](const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); };
  reader.notice = [](const std::string& text) { std::fprintf(stderr, "quarn-sim: %s\n", text.c_str()); };
  reader.plugged = PrintLine;
  return reader;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quarn-sim: a virtual UHF RFID reader on a pseudo-terminal"};
  Options options;
  AddOptions(app, options);
  CLI11_PARSE(app, argc, argv);

  // The serving thread inherits the blocked signals, so only sigwait below receives them.
  sigset_t signals;
  sigemptyset(&signals);
  for (int signal : {SIGINT, SIGTERM, SIGUSR1, SIGUSR2}) sigaddset(&signals, signal);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);

  std::unique_ptr<quarn::sim::ServedReader> reader;
  try {
    reader = std::make_unique<quarn::sim::ServedReader>(ReaderOptions(options));
  } catch (const CLI::ValidationError& error) {
    std::cerr << "quarn-sim: " << error.what() << "\n";
    return 2;
  } catch (const quarn::sim::SimError& error) {
    std::cerr << "quarn-sim: " << error.what() << "\n";
    return error.kind() == quarn::sim::SimError::Kind::kSetup ? 2 : 1;
  }
  PrintLine(reader->devicePath());

  const auto pause = std::chrono::milliseconds(std::llround(options.replugAfter * kMsPerSecond));
  for (;;) {
    int received = 0;
    sigwait(&signals, &received);
    if (received == SIGUSR1) {
      reader->Unplug(pause);
    } else if (received == SIGUSR2) {
      reader->Hang();
    } else {
      break;
    }
  }
  reader.reset();
  return 0;
}
