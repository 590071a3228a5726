// --sim keeps its reader's state from run to run in the user's state folder: what one run writes the
// next reads, and deleting the file or naming another scenario starts afresh.

#if QUARN_CLI_WITH_SIM

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "quarn_runner.h"

namespace quarn::cli::testing {
namespace {

namespace fs = std::filesystem;

// A state folder of the test's own, as $XDG_STATE_HOME, which the runs started from here inherit.
class CliSimState : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "quarn-cli-state-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    if (const char* previous = std::getenv("XDG_STATE_HOME")) previous_ = previous;
    setenv("XDG_STATE_HOME", folder_.c_str(), 1);
    std::ofstream(Scenario("one-tag")) << "tag 3000AABBCCDD user-words=8\n";
    std::ofstream(Scenario("other")) << "tag 3000AABBCCDD user-words=9\n";
  }
  void TearDown() override {
    if (previous_) {
      setenv("XDG_STATE_HOME", previous_->c_str(), 1);
    } else {
      unsetenv("XDG_STATE_HOME");
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }

  std::string Scenario(const char* name) const { return folder_ + "/" + name + ".txt"; }
  std::string StateFile() const { return folder_ + "/quarn/sim-state.json"; }

  Outcome Sim(const char* scenario, std::vector<std::string> args) {
    args.insert(args.begin(), {"--sim", "--sim-scenario", Scenario(scenario), "--json"});
    return RunQuarn(args);
  }
  std::string UserWord(const char* scenario = "one-tag") {
    Outcome run = Sim(scenario, {"read", "user", "0", "1"});
    EXPECT_EQ(run.status, 0) << run.err;
    return run.status == 0 ? run.Json()["data"].get<std::string>() : "";
  }

  std::string folder_;
  std::optional<std::string> previous_;
};

TEST_F(CliSimState, WhatOneRunWritesTheNextReads) {
  EXPECT_EQ(UserWord(), "0000");
  EXPECT_FALSE(fs::exists(StateFile())) << "a run that changed nothing left a state";
  Outcome write = Sim("one-tag", {"write", "user", "0", "CAFE"});
  ASSERT_EQ(write.status, 0) << write.err;
  EXPECT_TRUE(fs::exists(StateFile()));
  EXPECT_EQ(UserWord(), "CAFE");
  // Reader settings last as well.
  ASSERT_EQ(Sim("one-tag", {"power", "20"}).status, 0);
  EXPECT_EQ(Sim("one-tag", {"power"}).Json()["power"], 20);
}

TEST_F(CliSimState, DeletingTheFileOrAnotherScenarioStartsAfresh) {
  ASSERT_EQ(Sim("one-tag", {"write", "user", "0", "CAFE"}).status, 0);
  fs::remove(StateFile());
  EXPECT_EQ(UserWord(), "0000");

  ASSERT_EQ(Sim("one-tag", {"write", "user", "0", "CAFE"}).status, 0);
  Outcome other = Sim("other", {"read", "user", "0", "1"});
  ASSERT_EQ(other.status, 0) << other.err;
  EXPECT_EQ(other.Json()["data"], "0000");
  EXPECT_NE(other.err.find("grew from another scenario"), std::string::npos) << other.err;
}

TEST_F(CliSimState, SimResetStartsAfreshAndKeepsWhatComesAfter) {
  ASSERT_EQ(Sim("one-tag", {"write", "user", "0", "CAFE"}).status, 0);
  Outcome reset = Sim("one-tag", {"--sim-reset", "read", "user", "0", "1"});
  ASSERT_EQ(reset.status, 0) << reset.err;
  EXPECT_EQ(reset.Json()["data"], "0000");
  EXPECT_NE(reset.err.find("started afresh: deleted " + StateFile()), std::string::npos) << reset.err;
  // --sim-reset alone starts the virtual reader too; with no state there is nothing to delete.
  fs::remove(StateFile());
  Outcome alone = RunQuarn({"--sim-reset", "--sim-scenario", Scenario("one-tag"), "--json", "write", "user", "0", "BEEF"});
  ASSERT_EQ(alone.status, 0) << alone.err;
  EXPECT_EQ(alone.err.find("deleted"), std::string::npos) << alone.err;
  EXPECT_EQ(UserWord(), "BEEF");
}

TEST_F(CliSimState, ADamagedStateIsAUsageErrorThatSaysWhatToDelete) {
  fs::create_directories(folder_ + "/quarn");
  std::ofstream(StateFile()) << "{ not json";
  Outcome run = Sim("one-tag", {"info"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.err.find("delete " + StateFile() + " to start afresh"), std::string::npos) << run.err;
}

TEST_F(CliSimState, TheHelpNamesTheFile) {
  Outcome help = RunQuarn({"--help"});
  EXPECT_NE(help.out.find("$XDG_STATE_HOME/quarn/sim-state.json"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("delete that file to start afresh"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("--sim-reset"), std::string::npos) << help.out;
}

}  // namespace
}  // namespace quarn::cli::testing

#endif
