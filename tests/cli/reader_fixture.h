#pragma once
// A virtual reader on a pseudo-terminal for the length of one test, and quarn run against it with
// --json, so that each result is read back as a script would read it.

#if QUARN_CLI_WITH_SIM

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "quarn_runner.h"
#include "sim/engine/virtual_reader.h"
#include "sim/model/scenario.h"
#include "sim/pty/pty_server.h"

namespace quarn::cli::testing {

// The tag the tests address by EPC: protected by an access and a kill password.
inline constexpr const char* kGuardedEpc = "E20034120000000000000001";
inline constexpr const char* kAccessPassword = "12345678";
inline constexpr const char* kKillPassword = "87654321";
inline constexpr const char* kOtherEpc = "300833B2DDD9014000000002";

class ReaderTest : public ::testing::Test {
 protected:
  // Starts the reader with a field described as scenario lines.
  void StartReader(const std::string& scenarioText) {
    sim::Scenario scenario;
    sim::ApplyScenarioText(scenarioText, scenario);
    server_ = std::make_unique<sim::PtyServer>(std::make_unique<sim::VirtualReader>(scenario));
    std::string error;
    ASSERT_TRUE(server_->Open(&error)) << error;
    server_->Start();
  }
  // One tag, the guarded one.
  void StartOneTag() {
    StartReader(std::string("tag ") + kGuardedEpc + " access=" + kAccessPassword + " kill=" + kKillPassword +
                " user-words=64\n");
  }
  // The guarded tag and another.
  void StartTwoTags() {
    StartReader(std::string("tag ") + kGuardedEpc + " access=" + kAccessPassword + " kill=" + kKillPassword +
                " user-words=64\ntag " + kOtherEpc + "\n");
  }
  void TearDown() override {
    if (server_) server_->Stop();
  }

  // quarn --json --port <the reader> args...
  Outcome Quarn(std::vector<std::string> args) {
    args.insert(args.begin(), {"--json", "--port", server_->devicePath()});
    return RunQuarn(args);
  }
  // quarn --port <the reader> args..., as a person reads it.
  Outcome Text(std::vector<std::string> args) {
    args.insert(args.begin(), {"--port", server_->devicePath()});
    return RunQuarn(args);
  }
  // The same with --json, expecting success; the parsed output.
  nlohmann::json Ok(const std::vector<std::string>& args) {
    Outcome run = Quarn(args);
    EXPECT_EQ(run.status, 0) << args[0] << "\n" << run.err;
    return run.Json();
  }
  // The same, expecting the given failure status; the parsed error object.
  nlohmann::json Fails(const std::vector<std::string>& args, int status = 1) {
    Outcome run = Quarn(args);
    EXPECT_EQ(run.status, status) << args[0] << "\n" << run.out;
    auto json = run.Json();
    EXPECT_TRUE(json.contains("error")) << run.out;
    return json["error"];
  }

  // The EPCs an inventory reports.
  std::vector<std::string> InventoryEpcs(std::vector<std::string> options = {}) {
    options.insert(options.begin(), {"inventory", "--time", "0.3"});
    std::vector<std::string> epcs;
    auto inventory = Ok(options);
    for (const auto& tag : inventory["tags"]) epcs.push_back(tag["epc"]);
    std::sort(epcs.begin(), epcs.end());
    return epcs;
  }

  std::unique_ptr<sim::PtyServer> server_;
};

}  // namespace quarn::cli::testing

#endif
