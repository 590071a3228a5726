// quarn-sim: a virtual reader on a pseudo-terminal. Prints the device path on stdout, then serves
// until SIGINT or SIGTERM.

#include <signal.h>

#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <sstream>

#include "sim/engine/virtual_reader.h"
#include "sim/pty/pty_server.h"

namespace {

using quarn::sim::Bytes;

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
  quarn::sim::FaultSettings faults;
  std::string faultCodes;
};

std::set<uint8_t> ParseCodes(const std::string& text) {
  std::set<uint8_t> codes;
  std::stringstream stream(text);
  std::string item;
  while (std::getline(stream, item, ',')) {
    const unsigned long code = std::stoul(item, nullptr, 16);
    if (code > 0x7F) throw quarn::sim::ScenarioError("a command code is 00 to 7F: " + item);
    codes.insert(static_cast<uint8_t>(code));
  }
  return codes;
}

quarn::sim::Scenario BuildScenario(const Options& options) {
  quarn::sim::Scenario scenario;
  if (!options.scenarioFile.empty()) quarn::sim::LoadScenarioFile(options.scenarioFile, scenario);
  if (options.seed) scenario.seed = *options.seed;
  if (options.tags) scenario.generatedTags = *options.tags;
  if (options.antennas) scenario.antennaCount = static_cast<uint8_t>(*options.antennas);
  if (options.interval) scenario.streamIntervalMs = static_cast<uint8_t>(*options.interval);
  if (options.paFault) scenario.paFault = true;
  for (const std::string& epc : options.epcs) scenario.tags.push_back(quarn::sim::ParseTagEntry(epc));
  return scenario;
}

void LoadNvram(const std::string& path, quarn::sim::VirtualReader& reader) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return;
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() != quarn::sim::kRegisterCount) {
    std::cerr << "quarn-sim: ignoring " << path << ": not " << quarn::sim::kRegisterCount << " bytes\n";
    return;
  }
  quarn::sim::RegisterBytes saved{};
  std::copy(bytes.begin(), bytes.end(), saved.begin());
  reader.registers().LoadSaved(saved);
}

void SaveNvram(const std::string& path, const quarn::sim::RegisterBytes& saved) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(saved.data()), static_cast<std::streamsize>(saved.size()));
}

void AddOptions(CLI::App& app, Options& options) {
  app.add_option("--scenario", options.scenarioFile, "Scenario file (see sim/README.md)")->check(CLI::ExistingFile);
  app.add_option("--tags", options.tags, "Number of generated tags (default 3, or 0 with --epc)");
  app.add_option("--seed", options.seed, "Seed of generated EPCs, TIDs, UID and challenges");
  app.add_option("--epc", options.epcs, "A tag: EPC in hex, then key=value options (repeatable)");
  app.add_option("--antennas", options.antennas, "Number of antennas, 1 to 8 (default 4)")->check(CLI::Range(1, 8));
  app.add_option("--interval", options.interval, "Milliseconds between streamed frames (default 30)")
      ->check(CLI::Range(1, 255));
  app.add_flag("--pa-fault", options.paFault, "The PA status command reports a fault");
  app.add_option("--link", options.link, "Make a symbolic link to the device at this path");
  app.add_flag("--trace", options.trace, "Print every frame both ways on stderr");
  app.add_option("--nvram", options.nvram, "File that keeps the saved registers across runs");
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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{"quarn-sim: a virtual UHF RFID reader on a pseudo-terminal"};
  Options options;
  AddOptions(app, options);
  CLI11_PARSE(app, argc, argv);

  std::unique_ptr<quarn::sim::VirtualReader> reader;
  try {
    if (!options.faultCodes.empty()) options.faults.codes = ParseCodes(options.faultCodes);
    reader = std::make_unique<quarn::sim::VirtualReader>(BuildScenario(options), options.faults);
  } catch (const std::exception& error) {
    std::cerr << "quarn-sim: " << error.what() << "\n";
    return 2;
  }
  if (options.trace) {
    reader->SetTraceSink([](const quarn::sim::TraceEvent& event) {
      std::fprintf(stderr, "%s\n", quarn::sim::FormatTrace(event).c_str());
    });
  }
  if (!options.nvram.empty()) {
    LoadNvram(options.nvram, *reader);
    reader->SetSaveSink([path = options.nvram](const quarn::sim::RegisterBytes& saved) { SaveNvram(path, saved); });
  }

  // The serving thread inherits the blocked signals, so only sigwait below receives them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  quarn::sim::PtyServer server(std::move(reader));
  std::string error;
  if (!server.Open(&error) || (!options.link.empty() && !server.Link(options.link, &error))) {
    std::cerr << "quarn-sim: " << error << "\n";
    return 1;
  }
  server.Start();
  std::printf("%s\n", server.devicePath().c_str());
  std::fflush(stdout);

  int received = 0;
  sigwait(&stopSignals, &received);
  server.Stop();
  return 0;
}
