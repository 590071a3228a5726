#include "virtual_reader.h"

#include "report.h"

#if QUARN_CLI_WITH_SIM
#include "sim/engine/virtual_reader.h"
#include "sim/model/scenario.h"
#include "sim/pty/pty_server.h"
#endif

namespace quarn::cli {

#if QUARN_CLI_WITH_SIM

struct VirtualReader::Served {
  explicit Served(const sim::Scenario& scenario) : server(std::make_unique<sim::VirtualReader>(scenario)) {}
  sim::PtyServer server;
};

VirtualReader::VirtualReader() = default;

VirtualReader::~VirtualReader() {
  if (served_) served_->server.Stop();
}

std::string VirtualReader::Start(const std::string& scenarioFile) {
  sim::Scenario scenario;
  try {
    if (!scenarioFile.empty()) sim::LoadScenarioFile(scenarioFile, scenario);
    served_ = std::make_unique<Served>(scenario);
  } catch (const std::exception& error) {
    FailUsage(std::string("the virtual reader's scenario: ") + error.what());
  }
  std::string error;
  if (!served_->server.Open(&error)) throw Failure(kExitPort, "cannot start the virtual reader: " + error);
  served_->server.Start();
  return served_->server.devicePath();
}

#else

struct VirtualReader::Served {};

VirtualReader::VirtualReader() = default;
VirtualReader::~VirtualReader() = default;

std::string VirtualReader::Start(const std::string&) {
  throw Failure(kExitUsage, "this quarn was built without the virtual reader; give --port instead of --sim");
}

#endif

}  // namespace quarn::cli
