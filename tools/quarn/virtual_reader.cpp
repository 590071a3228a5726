#include "virtual_reader.h"

#include <cstdio>
#include <cstdlib>

#include "report.h"

#if QUARN_CLI_WITH_SIM
#include <filesystem>
#include <system_error>

#include "sim/quarn_sim.h"
#endif

namespace quarn::cli {

#if QUARN_CLI_WITH_SIM

namespace {

constexpr const char* kStateFileName = "sim-state.json";

void Notice(const std::string& text) { std::fprintf(stderr, "quarn: the virtual reader: %s\n", text.c_str()); }

// $XDG_STATE_HOME/quarn, else ~/.local/state/quarn; created when missing. Empty when there is no such
// folder and none can be made: the reader then starts afresh each time.
std::string StateFolder() {
  namespace fs = std::filesystem;
  fs::path folder;
  if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state == '/') {
    folder = fs::path(state) / "quarn";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    folder = fs::path(home) / ".local" / "state" / "quarn";
  } else {
    Notice("neither XDG_STATE_HOME nor HOME is set, so nothing is kept after this run");
    return {};
  }
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    Notice("cannot make " + folder.string() + " (" + error.message() + "), so nothing is kept after this run");
    return {};
  }
  return folder.string();
}

// Deletes the saved state; a file that cannot be deleted is a failure, for it would be loaded.
void Forget(const std::string& stateFile) {
  std::error_code error;
  if (std::filesystem::remove(stateFile, error)) Notice("started afresh: deleted " + stateFile);
  if (error) FailUsage("the virtual reader: cannot delete " + stateFile + " (" + error.message() + ") for --sim-reset");
}

}  // namespace

struct VirtualReader::Served {
  std::unique_ptr<sim::ServedReader> reader;
};

VirtualReader::VirtualReader() = default;
VirtualReader::~VirtualReader() = default;

std::string VirtualReader::Start(const std::string& scenarioFile, bool reset) {
  sim::ServedReaderOptions options;
  options.scenarioFile = scenarioFile;
  const std::string folder = StateFolder();
  if (!folder.empty()) options.stateFile = folder + "/" + kStateFileName;
  if (reset && !options.stateFile.empty()) Forget(options.stateFile);
  options.notice = Notice;
  served_ = std::make_unique<Served>();
  try {
    served_->reader = std::make_unique<sim::ServedReader>(options);
  } catch (const sim::SimError& error) {
    if (error.kind() == sim::SimError::Kind::kSetup) FailUsage(std::string("the virtual reader: ") + error.what());
    throw Failure(kExitPort, std::string("cannot start the virtual reader: ") + error.what());
  }
  return served_->reader->devicePath();
}

#else

struct VirtualReader::Served {};

VirtualReader::VirtualReader() = default;
VirtualReader::~VirtualReader() = default;

std::string VirtualReader::Start(const std::string&, bool) {
  throw Failure(kExitUsage, "this quarn was built without the virtual reader; give --port instead of --sim");
}

#endif

}  // namespace quarn::cli
