#include "sim/quarn_sim.h"

#include <fstream>
#include <iterator>

#include "sim/engine/virtual_reader.h"
#include "sim/model/scenario.h"
#include "sim/pty/pty_server.h"
#include "sim/state/reader_state.h"
#include "sim/state/state_file.h"

namespace quarn::sim {

namespace {

constexpr uint64_t kMicrosPerMs = 1000;

Scenario ScenarioOf(const ServedReaderOptions& options) {
  Scenario scenario;
  try {
    if (!options.scenarioFile.empty()) LoadScenarioFile(options.scenarioFile, scenario);
    ApplyScenarioText(options.scenarioText, scenario);
  } catch (const ScenarioError& error) {
    throw SimError(SimError::Kind::kSetup, error.what());
  }
  return scenario;
}

// With a state restored, the file sets only the saved copy; else the reader starts from it, as after
// power-on.
void LoadNvram(const ServedReaderOptions& options, bool stateRestored, VirtualReader& reader) {
  std::ifstream file(options.nvramFile, std::ios::binary);
  if (!file) return;
  const Bytes bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (bytes.size() != kRegisterCount) {
    if (options.notice) options.notice("ignoring " + options.nvramFile + ": not 512 bytes");
    return;
  }
  RegisterBytes saved{};
  std::copy(bytes.begin(), bytes.end(), saved.begin());
  if (stateRestored) {
    reader.registers().SetSaved(saved);
  } else {
    reader.registers().LoadSaved(saved);
  }
}

void SaveNvram(const std::string& path, const RegisterBytes& saved) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file.write(reinterpret_cast<const char*>(saved.data()), static_cast<std::streamsize>(saved.size()));
}

}  // namespace

ServedReader::ServedReader(const ServedReaderOptions& options) {
  auto reader = std::make_unique<VirtualReader>(ScenarioOf(options), options.faults);
  if (options.trace) {
    reader->SetTraceSink([trace = options.trace](const TraceEvent& event) { trace(FormatTrace(event)); });
  }
  bool restored = false;
  if (!options.stateFile.empty()) {
    state_ = std::make_unique<StateFile>(options.stateFile, options.notice);
    try {
      restored = state_->Attach(*reader);
    } catch (const StateError& error) {
      throw SimError(SimError::Kind::kSetup, error.what());
    }
    reader->SetCommandSink([state = state_.get(), model = reader.get()] { state->SaveIfChanged(*model); });
  }
  if (!options.nvramFile.empty()) {
    LoadNvram(options, restored, *reader);
    reader->SetSaveSink([path = options.nvramFile](const RegisterBytes& saved) { SaveNvram(path, saved); });
  }
  server_ = std::make_unique<PtyServer>(std::move(reader));
  std::string error;
  if (!server_->Open(&error) || (!options.linkPath.empty() && !server_->Link(options.linkPath, &error))) {
    throw SimError(SimError::Kind::kDevice, error);
  }
  server_->SetPlugSink(options.plugged);
  server_->Start();
}

// The server goes first: its thread may still save through the state file.
ServedReader::~ServedReader() { server_.reset(); }

std::string ServedReader::devicePath() const { return server_->devicePath(); }

void ServedReader::Unplug(std::chrono::milliseconds pause) {
  server_->Unplug(static_cast<uint64_t>(std::max<int64_t>(pause.count(), 0)) * kMicrosPerMs);
}

bool ServedReader::WaitPlugged(std::chrono::milliseconds timeout) const {
  return server_->WaitPlugged(static_cast<uint64_t>(std::max<int64_t>(timeout.count(), 0)) * kMicrosPerMs);
}

bool ServedReader::plugged() const { return server_->plugged(); }

void ServedReader::Hang(std::chrono::milliseconds duration) {
  const std::optional<uint64_t> forUs =
      duration.count() > 0 ? std::optional<uint64_t>(static_cast<uint64_t>(duration.count()) * kMicrosPerMs)
                           : std::nullopt;
  server_->WithReader([forUs](VirtualReader& reader) { reader.Hang(forUs); });
}

bool ServedReader::hung() const {
  return server_->WithReader([](VirtualReader& reader) { return reader.hung(); });
}

}  // namespace quarn::sim
